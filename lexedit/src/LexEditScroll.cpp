// SPDX-License-Identifier: MIT
// The view: pixels and cells, the first visible row and column with their clamps, keeping the
// caret in view, the scroll bars with their user actions and the scroll hint, the wheel, and the
// cell and window size.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexTextDrawer.h"

#include <QLabel>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace lexedit {

namespace {

int ClampToInt(int64_t Value) {
    return int(std::clamp<int64_t>(Value, INT_MIN, INT_MAX));
}

// The hint shown while the vertical scroll box is dragged: one for all editors, owned by the
// window of the editor that first needs it (a later editor makes a new one when that is gone).
QPointer<QLabel> &ScrollHintWindow() {
    static QPointer<QLabel> Hint;
    return Hint;
}

} // namespace

// ---- pixels and cells ---------------------------------------------------------------------------

TDisplayCoord TCustomLexEdit::PixelsToRowColumn(int aX, int aY) const {
    const int64_t Column =
        int64_t(fPriv->fLeftChar) + (int64_t(aX) - fPriv->fGutterWidth - 2) / fPriv->fCharWidth;
    const int64_t Row = int64_t(fPriv->fTopLine) + aY / fPriv->fTextHeight;
    return DisplayCoord(std::max(1, ClampToInt(Column)), std::max(1, ClampToInt(Row)));
}

TDisplayCoord TCustomLexEdit::PixelsToNearestRowColumn(int aX, int aY) const {
    // A point in the partly visible row below the last whole row goes to that row.
    const int64_t Whole = int64_t(fPriv->fLinesInWindow) * fPriv->fTextHeight;
    if (aY >= Whole) aY = int(std::max<int64_t>(Whole - 1, 0));
    // The nearer cell boundary; a point just in the middle goes to the even one.
    const float f = float(int64_t(aX) - fPriv->fGutterWidth - 2) / float(fPriv->fCharWidth);
    const int64_t q = int64_t(std::nearbyint(f));
    const int64_t Row = int64_t(fPriv->fTopLine) + aY / fPriv->fTextHeight;
    return DisplayCoord(std::max(1, ClampToInt(fPriv->fLeftChar + q)), std::max(1, ClampToInt(Row)));
}

QPoint TCustomLexEdit::RowColumnToPixels(const TDisplayCoord &RowCol) const {
    const int64_t X = (int64_t(RowCol.Column) - 1) * fPriv->fCharWidth + fPriv->fTextOffset;
    const int64_t Y = (int64_t(RowCol.Row) - fPriv->fTopLine) * fPriv->fTextHeight;
    return QPoint(ClampToInt(X), ClampToInt(Y));
}

// ---- top line and left column -------------------------------------------------------------

void TCustomLexEdit::SetTopLine(int Value) {
    const int Count = DisplayLineCount();
    const int Max = fPriv->fOptions.Contains(eoScrollPastEof)
                        ? std::max(Count, 1)
                        : std::max(Count - fPriv->fLinesInWindow + 1, 1);
    Value = MinMax(Value, 1, Max);
    if (Value == fPriv->fTopLine) return;
    const int Delta = fPriv->fTopLine - Value;
    fPriv->fTopLine = Value;
    fPriv->ScrollView(0, Delta);
    UpdateScrollBars();
    StatusChanged({scTopLine});
}

int TLexEditPrivate::MaxLeftCharInPixels() const {
    // (LeftChar + CharsInWindow + 2) * CharWidth stays within 32 bits, so fTextOffset and the
    // pixel of every visible column do.
    return std::max(1, INT_MAX / fCharWidth - fCharsInWindow - 2);
}

void TCustomLexEdit::SetLeftChar(int Value) {
    if (WordWrap()) Value = 1;
    int Max = fPriv->MaxLeftCharInPixels();
    if (!fPriv->fOptions.Contains(eoScrollPastEol)) {
        const int Longest = fPriv->fLines->LengthOfLongestLine();
        Max = std::min(Max, Longest > fPriv->fCharsInWindow ? Longest - fPriv->fCharsInWindow + 1 : 1);
    }
    Value = MinMax(Value, 1, Max);
    if (Value == fPriv->fLeftChar) return;
    const int Delta = fPriv->fLeftChar - Value;
    fPriv->fLeftChar = Value;
    fPriv->fTextOffset = fPriv->fGutterWidth + 2 - (fPriv->fLeftChar - 1) * fPriv->fCharWidth;
    fPriv->ScrollView(Delta, 0);
    UpdateScrollBars();
    StatusChanged({scLeftChar});
}

void TLexEditPrivate::ScrollView(int DeltaColumns, int DeltaRows) {
    if (fDestroying) return;
    const bool Horizontal = DeltaColumns != 0;
    const int Delta = Horizontal ? DeltaColumns : DeltaRows;
    const int InWindow = Horizontal ? fCharsInWindow : fLinesInWindow;
    if (std::abs(Delta) >= InWindow || !Ed.viewport()->isVisible()) {
        if (Horizontal)
            Ed.InvalidateLines(-1, -1);
        else
            Ed.InvalidateAll();
    } else {
        MovePixels(DeltaColumns, DeltaRows);
    }
    fStateFlags.Include(sfCaretChanged);
    if (fPaintLock == 0) Ed.UpdateCaret();
}

void TLexEditPrivate::MovePixels(int DeltaColumns, int DeltaRows) {
    const bool Horizontal = DeltaColumns != 0;
    // The pixels move; so do the area still to repaint and the caret drawn among them.
    const QRect Client = Ed.viewport()->rect();
    QRect Moved = Client;
    int dx = 0;
    int dy = 0;
    if (Horizontal) {
        Moved.setLeft(fGutterWidth + 2);
        dx = DeltaColumns * fCharWidth;
    } else {
        dy = DeltaRows * fTextHeight;
    }
    if (!fInvalidateRect.isEmpty()) {
        const QRect Inside = fInvalidateRect.intersected(Moved);
        fInvalidateRect = fInvalidateRect.united(Inside.translated(dx, dy).intersected(Moved));
    }
    if (Moved.contains(fCaretRect)) fCaretRect.translate(dx, dy);
    if (Horizontal)
        Ed.viewport()->scroll(dx, 0, Moved);
    else
        Ed.viewport()->scroll(0, dy);
}

bool TCustomLexEdit::CaretInView() const {
    const TDisplayCoord P = DisplayXY();
    return P.Column >= fPriv->fLeftChar && P.Column <= fPriv->fLeftChar + fPriv->fCharsInWindow &&
           P.Row >= fPriv->fTopLine && P.Row <= fPriv->fTopLine + fPriv->fLinesInWindow;
}

void TCustomLexEdit::EnsureCursorPosVisible() {
    EnsureCursorPosVisibleEx(false, false);
}

void TCustomLexEdit::EnsureCursorPosVisibleEx(bool ForceToMiddle, bool EvenIfVisible) {
    TUpdateGuard Lock(*this);
    const TDisplayCoord P = DisplayXY();
    // The window holds at least one cell, so the caret always ends inside it.
    const int Chars = std::max(1, fPriv->fCharsInWindow);
    const int Lines = std::max(1, fPriv->fLinesInWindow);
    if (P.Column < fPriv->fLeftChar)
        SetLeftChar(P.Column);
    else if (P.Column >= fPriv->fLeftChar + Chars)
        SetLeftChar(P.Column - Chars + 1);
    else
        SetLeftChar(fPriv->fLeftChar);
    const int Row = P.Row;
    const int Half = Lines / 2;
    if (ForceToMiddle) {
        if (Row < fPriv->fTopLine)
            SetTopLine(Row - Half < 0 ? 1 : Row - Half + 1);
        else if (Row > fPriv->fTopLine + Lines - 2)
            SetTopLine(Row - (Lines - 1) + Half);
        else if (EvenIfVisible)
            SetTopLine(Row - Half + 1);
    } else {
        if (Row < fPriv->fTopLine)
            SetTopLine(Row);
        else if (Row > fPriv->fTopLine + Lines - 1)
            SetTopLine(Row - (Lines - 1));
        else
            SetTopLine(fPriv->fTopLine);
    }
}

// ---- scroll bars ----------------------------------------------------------------------------------

void TCustomLexEdit::UpdateScrollBars() {
    fPriv->fStateFlags.Include(sfScrollbarChanged);
    if (fPriv->fDestroying || fPriv->fPaintLock > 0 || fPriv->fInUpdateScrollBars) return;
    fPriv->fInUpdateScrollBars = true;
    // Showing or hiding a bar resizes the viewport, which asks for this again: a second pass
    // settles it.
    for (int Pass = 0; Pass < 3 && fPriv->fStateFlags.Contains(sfScrollbarChanged); ++Pass) {
        fPriv->fStateFlags.Exclude(sfScrollbarChanged);
        const bool H = (fPriv->FScrollBars == ssHorizontal || fPriv->FScrollBars == ssBoth) && !WordWrap();
        const bool V = fPriv->FScrollBars == ssVertical || fPriv->FScrollBars == ssBoth;
        // The longest line is kept by the buffer as lines change; this costs no pass over them.
        fPriv->ApplyScrollBar(true, H, std::max(fPriv->fLines->LengthOfLongestLine(), 1),
                              fPriv->fCharsInWindow, fPriv->fLeftChar);
        int MaxRows = DisplayLineCount();
        if (fPriv->fOptions.Contains(eoScrollPastEof)) MaxRows += fPriv->fLinesInWindow - 1;
        fPriv->ApplyScrollBar(false, V, std::max(MaxRows, 1), fPriv->fLinesInWindow, fPriv->fTopLine);
    }
    fPriv->fStateFlags.Exclude(sfScrollbarChanged);
    fPriv->fInUpdateScrollBars = false;
}

void TLexEditPrivate::ApplyScrollBar(bool AHorizontal, bool AWanted, int AMaxScroll, int APage,
                                     int APosition) {
    QScrollBar *Bar = AHorizontal ? Ed.horizontalScrollBar() : Ed.verticalScrollBar();
    const bool Needed = AMaxScroll > APage;
    // Not needed: disabled, or hidden with eoHideShowScrollbars.
    Qt::ScrollBarPolicy Policy = Qt::ScrollBarAlwaysOn;
    if (!AWanted)
        Policy = Qt::ScrollBarAlwaysOff;
    else if (fOptions.Contains(eoHideShowScrollbars))
        Policy = Needed ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    {
        const QSignalBlocker Blocker(Bar);
        Bar->setRange(1, std::max(1, AMaxScroll - APage + 1));
        Bar->setPageStep(std::max(1, APage));
        Bar->setSingleStep(1);
        Bar->setValue(APosition);
        Bar->setEnabled(Needed);
    }
    if (AHorizontal && Ed.horizontalScrollBarPolicy() != Policy) Ed.setHorizontalScrollBarPolicy(Policy);
    if (!AHorizontal && Ed.verticalScrollBarPolicy() != Policy) Ed.setVerticalScrollBarPolicy(Policy);
}

void TLexEditPrivate::ScrollBarAction(bool AHorizontal, int AAction) {
    QScrollBar *Bar = AHorizontal ? Ed.horizontalScrollBar() : Ed.verticalScrollBar();
    int Code = -1;
    switch (AAction) {
    case QAbstractSlider::SliderSingleStepSub:
        Code = 0;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        Code = 1;
        break;
    case QAbstractSlider::SliderPageStepSub:
        Code = 2;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        Code = 3;
        break;
    case QAbstractSlider::SliderMove:
        Code = 5;
        break;
    case QAbstractSlider::SliderToMinimum:
        Code = 6;
        break;
    case QAbstractSlider::SliderToMaximum:
        Code = 7;
        break;
    default:
        break;
    }
    if (Code < 0) return;
    if (AHorizontal)
        WMHScroll(Code, Bar->sliderPosition());
    else
        WMVScroll(Code, Bar->sliderPosition());
    // The bar goes on with the position the view took.
    const QSignalBlocker Blocker(Bar);
    Bar->setSliderPosition(AHorizontal ? fLeftChar : fTopLine);
}

void TLexEditPrivate::WMHScroll(int ACode, int APosition) {
    const int e = fOptions.Contains(eoScrollByOneLess) ? 1 : 0;
    switch (ACode) {
    case 0:
        Ed.SetLeftChar(fLeftChar - 1);
        break;
    case 1:
        Ed.SetLeftChar(fLeftChar + 1);
        break;
    case 2:
        Ed.SetLeftChar(fLeftChar - (fCharsInWindow - e));
        break;
    case 3:
        Ed.SetLeftChar(fLeftChar + (fCharsInWindow - e));
        break;
    case 4:
    case 5:
        FIsScrolling = true;
        Ed.SetLeftChar(APosition);
        break;
    case 6:
        Ed.SetLeftChar(1);
        break;
    case 7:
        Ed.SetLeftChar(fLines->LengthOfLongestLine());
        break;
    case 8:
        FIsScrolling = false;
        break;
    default:
        return;
    }
    if (Ed.OnScroll) Ed.OnScroll(&Ed, sbHorizontal);
}

void TLexEditPrivate::WMVScroll(int ACode, int APosition) {
    const int e = fOptions.Contains(eoScrollByOneLess) ? 1 : 0;
    switch (ACode) {
    case 0:
        Ed.SetTopLine(fTopLine - 1);
        break;
    case 1:
        Ed.SetTopLine(fTopLine + 1);
        break;
    case 2:
        Ed.SetTopLine(fTopLine - (fLinesInWindow - e));
        break;
    case 3:
        Ed.SetTopLine(fTopLine + (fLinesInWindow - e));
        break;
    case 4:
    case 5:
        FIsScrolling = true;
        Ed.SetTopLine(APosition);
        if (fOptions.Contains(eoShowScrollHint)) ShowScrollHint();
        break;
    case 6:
        Ed.SetTopLine(1);
        break;
    case 7:
        Ed.SetTopLine(Ed.DisplayLineCount());
        break;
    case 8:
        FIsScrolling = false;
        if (fOptions.Contains(eoShowScrollHint)) HideScrollHint();
        break;
    default:
        return;
    }
    Ed.FlushPendingInvalidation();
    if (Ed.OnScroll) Ed.OnScroll(&Ed, sbVertical);
}

void TLexEditPrivate::ShowScrollHint() {
    QPointer<QLabel> &Hint = ScrollHintWindow();
    if (Hint.isNull()) {
        Hint = new QLabel(Ed.window(), Qt::ToolTip);
        Hint->setMargin(2);
        Hint->setFrameShape(QFrame::Box);
    }
    QPalette Palette = Hint->palette();
    Palette.setColor(QPalette::Window, ColorToQColor(fScrollHintColor, Ed.palette()));
    Palette.setColor(QPalette::WindowText, Ed.palette().color(QPalette::ToolTipText));
    Hint->setPalette(Palette);
    Hint->setAutoFillBackground(true);
    QString Text;
    if (fScrollHintFormat == shfTopLineOnly)
        Text = QStringLiteral("Top Line: %1").arg(Ed.RowToLine(fTopLine));
    else
        Text = QStringLiteral("%1 - %2")
                   .arg(Ed.RowToLine(fTopLine))
                   .arg(Ed.RowToLine(fTopLine + std::min(fLinesInWindow, Ed.DisplayLineCount() - fTopLine)));
    Hint->setText(Text);
    Hint->setMaximumWidth(200);
    Hint->adjustSize();
    const int Arrow = Ed.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &Ed);
    int Y = 10;
    if (fOptions.Contains(eoScrollHintFollows)) {
        const QScrollBar *Bar = Ed.verticalScrollBar();
        const double Track =
            double(Ed.viewport()->height() - 2 * Arrow) * Bar->sliderPosition() / std::max(1, Bar->maximum());
        Y = int(std::nearbyint(Track)) + Hint->height() / 2 + Arrow;
    }
    const QPoint At(Ed.viewport()->width() - Hint->width() - 4, Y);
    Hint->move(Ed.viewport()->mapToGlobal(At));
    Hint->show();
}

void TLexEditPrivate::HideScrollHint() {
    if (!ScrollHintWindow().isNull()) ScrollHintWindow()->hide();
}

void TCustomLexEdit::scrollContentsBy(int dx, int dy) {
    // The bars never move the view themselves: their actions come back as scroll codes.
    Q_UNUSED(dx);
    Q_UNUSED(dy);
}

// ---- wheel ----------------------------------------------------------------------------------------

bool TCustomLexEdit::DoMouseWheel(TShiftState Shift, int WheelDelta, const QPoint &MousePos) {
    Q_UNUSED(MousePos);
    int Step = 3;
    if (Shift.Contains(ssCtrl))
        Step = fPriv->fOptions.Contains(eoHalfPageScroll) ? std::max(1, fPriv->fLinesInWindow / 2)
                                                          : fPriv->fLinesInWindow;
    const int64_t Sum = int64_t(fPriv->fMouseWheelAccumulator) + WheelDelta;
    const int64_t Notches = Sum / 120;
    fPriv->fMouseWheelAccumulator = int(Sum % 120);
    SetTopLine(ClampToInt(int64_t(fPriv->fTopLine) - Notches * Step));
    FlushPendingInvalidation();
    if (OnScroll) OnScroll(this, sbVertical);
    return true;
}

void TCustomLexEdit::wheelEvent(QWheelEvent *AEvent) {
    common::Guarded([&] {
        TShiftState Shift;
        const Qt::KeyboardModifiers M = AEvent->modifiers();
        if (M & Qt::ShiftModifier) Shift.Include(ssShift);
        if (M & Qt::ControlModifier) Shift.Include(ssCtrl);
        if (M & Qt::AltModifier) Shift.Include(ssAlt);
        const int Delta = AEvent->angleDelta().y();
        if (Delta != 0) DoMouseWheel(Shift, Delta, AEvent->position().toPoint());
    });
    AEvent->accept();
}

// ---- cell and window size -----------------------------------------------------------------

void TCustomLexEdit::RecalcCharExtent() {
    // The variants of bold and italic in use: those of the highlighter's attributes, else the
    // editor font's own.
    std::array<bool, 4> Used{};
    const auto Variant = [](bool Bold, bool Italic) { return (Bold ? 2 : 0) + (Italic ? 1 : 0); };
    bool HasAttributes = false;
    if (fPriv->fHighlighter != nullptr) {
        for (int i = 0; i < fPriv->fHighlighter->AttrCount(); ++i) {
            const TFontStyles S = fPriv->fHighlighter->Attribute(i)->Style();
            Used[size_t(Variant(S.Contains(fsBold), S.Contains(fsItalic)))] = true;
            HasAttributes = true;
        }
    }
    if (!HasAttributes) Used[size_t(Variant(font().bold(), font().italic()))] = true;
    fPriv->fTextDrawer->SetBaseFont(font());
    int Height = 0;
    int Width = 0;
    for (int v = 0; v < 4; ++v) {
        if (!Used[size_t(v)]) continue;
        TFontStyles Style;
        if (v & 2) Style.Include(fsBold);
        if (v & 1) Style.Include(fsItalic);
        fPriv->fTextDrawer->SetBaseStyle(Style);
        Height = std::max(Height, fPriv->fTextDrawer->CharHeight());
        Width = std::max(Width, fPriv->fTextDrawer->CharWidth());
    }
    // A cell is never empty, whatever the font or a negative line spacing says.
    fPriv->fTextHeight = std::max(1, std::max(Height, fPriv->RowHeightOfFont()) + fPriv->fExtraLineSpacing);
    fPriv->fCharWidth = std::max(1, Width);
    fPriv->fTextOffset = fPriv->fGutterWidth + 2 - (fPriv->fLeftChar - 1) * fPriv->fCharWidth;
}

int TLexEditPrivate::RowHeightOfFont() const {
    // The font's height may end above the ink of its lowest glyphs or its underline (DejaVu
    // Sans Mono at 14 px is 16 pixels high, its underscore on pixel row 16): the row grows to
    // hold them, in the plain and the bold variant.
    int Height = fTextDrawer->CharHeight();
    static const char16_t Low[] = u"_gjpqy|,;()[]{}$@";
    for (const TFontStyles Style : {TFontStyles(), TFontStyles{fsBold}}) {
        const TheFontHandle Font(FontWithStyles(fTextDrawer->BaseFont(), Style));
        Height = std::max(Height, Font.Height());
        Height = std::max(Height, Font.Ascent() + Font.UnderlinePos() + Font.LineWidth());
        for (const char16_t *p = Low; *p != 0; ++p) {
            const TheFontHandle::TGlyph &G = Font.Glyph(*p);
            if (G.Font >= 0) Height = std::max(Height, Font.Ascent() + int(std::ceil(G.InkBottom)));
        }
    }
    return Height;
}

void TCustomLexEdit::SizeOrFontChanged(bool bFont) {
    if (fPriv->fDestroying || fPriv->fCharWidth == 0) return;
    // The window holds at least one cell, also when it is smaller than that.
    fPriv->fCharsInWindow =
        std::max(1, std::max(viewport()->width() - fPriv->fGutterWidth - 2, 0) / fPriv->fCharWidth);
    fPriv->fLinesInWindow = std::max(1, viewport()->height() / fPriv->fTextHeight);
    fPriv->WrapDisplayChanged();
    UpdateScrollBars();
    if (bFont) {
        InitializeCaret();
        fPriv->fStateFlags.Exclude(sfCaretChanged);
        InvalidateAll();
    }
    // Re-clamped (the pixel cap of the left column depends on the cell width too).
    SetLeftChar(fPriv->fLeftChar);
    if (!fPriv->fOptions.Contains(eoScrollPastEof)) SetTopLine(fPriv->fTopLine);
    if (!bFont) UpdateCaret();
}

void TCustomLexEdit::resizeEvent(QResizeEvent *AEvent) {
    QAbstractScrollArea::resizeEvent(AEvent);
    common::Guarded([this] { SizeOrFontChanged(false); });
}

// ---- set-up -------------------------------------------------------------------------------------

void TLexEditPrivate::InitViewAndMouse() {
    for (const bool Horizontal : {true, false}) {
        QScrollBar *Bar = Horizontal ? Ed.horizontalScrollBar() : Ed.verticalScrollBar();
        QObject::connect(Bar, &QAbstractSlider::actionTriggered, &Ed, [this, Horizontal](int Action) {
            common::Guarded([&] { ScrollBarAction(Horizontal, Action); });
        });
        QObject::connect(Bar, &QAbstractSlider::sliderReleased, &Ed, [this, Horizontal] {
            common::Guarded([&] {
                if (Horizontal)
                    WMHScroll(8, 0);
                else
                    WMVScroll(8, 0);
            });
        });
    }
    QObject::connect(&fCaretBlinkTimer, &QTimer::timeout, &Ed,
                     [this] { common::Guarded([this] { CaretBlink(); }); });
    fScrollTimer.setInterval(100);
    QObject::connect(&fScrollTimer, &QTimer::timeout, &Ed,
                     [this] { common::Guarded([this] { Ed.ScrollTimerHandler(); }); });
    fMouseEnv = DefaultMouseEnvironment();
    Ed.viewport()->setMouseTracking(true);
    Ed.viewport()->setCursor(fTextCursor);
    // The editor is a drop target (LexEditDragDrop.cpp).
    Ed.setAcceptDrops(true);
    Ed.viewport()->setAcceptDrops(true);
}

} // namespace lexedit

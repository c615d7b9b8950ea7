// The view: pixels and cells, the first visible row and column with their clamps, keeping the
// caret in view, the scroll bars with their user actions and the scroll hint, the wheel, and the
// cell and window size.

#include "lexedit/LexEdit.h"

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
    const int64_t Column = int64_t(fLeftChar) + (int64_t(aX) - fGutterWidth - 2) / fCharWidth;
    const int64_t Row = int64_t(fTopLine) + aY / fTextHeight;
    return DisplayCoord(std::max(1, ClampToInt(Column)), std::max(1, ClampToInt(Row)));
}

TDisplayCoord TCustomLexEdit::PixelsToNearestRowColumn(int aX, int aY) const {
    // A point in the partly visible row below the last whole row goes to that row.
    const int64_t Whole = int64_t(fLinesInWindow) * fTextHeight;
    if (aY >= Whole) aY = int(std::max<int64_t>(Whole - 1, 0));
    // The nearer cell boundary; a point just in the middle goes to the even one.
    const float f = float(int64_t(aX) - fGutterWidth - 2) / float(fCharWidth);
    const int64_t q = int64_t(std::nearbyint(f));
    const int64_t Row = int64_t(fTopLine) + aY / fTextHeight;
    return DisplayCoord(std::max(1, ClampToInt(fLeftChar + q)), std::max(1, ClampToInt(Row)));
}

QPoint TCustomLexEdit::RowColumnToPixels(const TDisplayCoord &RowCol) const {
    const int64_t X = (int64_t(RowCol.Column) - 1) * fCharWidth + fTextOffset;
    const int64_t Y = (int64_t(RowCol.Row) - fTopLine) * fTextHeight;
    return QPoint(ClampToInt(X), ClampToInt(Y));
}

// ---- top line and left column -------------------------------------------------------------

void TCustomLexEdit::SetTopLine(int Value) {
    const int Count = DisplayLineCount();
    const int Max =
        fOptions.Contains(eoScrollPastEof) ? std::max(Count, 1) : std::max(Count - fLinesInWindow + 1, 1);
    Value = MinMax(Value, 1, Max);
    if (Value == fTopLine) return;
    const int Delta = fTopLine - Value;
    fTopLine = Value;
    ScrollView(0, Delta);
    UpdateScrollBars();
    StatusChanged({scTopLine});
}

int TCustomLexEdit::MaxLeftCharInPixels() const {
    // (LeftChar + CharsInWindow + 2) * CharWidth stays within 32 bits, so fTextOffset and the
    // pixel of every visible column do.
    return std::max(1, INT_MAX / fCharWidth - fCharsInWindow - 2);
}

void TCustomLexEdit::SetLeftChar(int Value) {
    if (WordWrap()) Value = 1;
    int Max = MaxLeftCharInPixels();
    if (!fOptions.Contains(eoScrollPastEol)) {
        const int Longest = fLines->LengthOfLongestLine();
        Max = std::min(Max, Longest > fCharsInWindow ? Longest - fCharsInWindow + 1 : 1);
    }
    Value = MinMax(Value, 1, Max);
    if (Value == fLeftChar) return;
    const int Delta = fLeftChar - Value;
    fLeftChar = Value;
    fTextOffset = fGutterWidth + 2 - (fLeftChar - 1) * fCharWidth;
    ScrollView(Delta, 0);
    UpdateScrollBars();
    StatusChanged({scLeftChar});
}

void TCustomLexEdit::ScrollView(int DeltaColumns, int DeltaRows) {
    if (fDestroying) return;
    const bool Horizontal = DeltaColumns != 0;
    const int Delta = Horizontal ? DeltaColumns : DeltaRows;
    const int InWindow = Horizontal ? fCharsInWindow : fLinesInWindow;
    if (std::abs(Delta) >= InWindow || !viewport()->isVisible()) {
        if (Horizontal)
            InvalidateLines(-1, -1);
        else
            InvalidateAll();
    } else {
        MovePixels(DeltaColumns, DeltaRows);
    }
    fStateFlags.Include(sfCaretChanged);
    if (fPaintLock == 0) UpdateCaret();
}

void TCustomLexEdit::MovePixels(int DeltaColumns, int DeltaRows) {
    const bool Horizontal = DeltaColumns != 0;
    // The pixels move; so do the area still to repaint and the caret drawn among them.
    const QRect Client = viewport()->rect();
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
        viewport()->scroll(dx, 0, Moved);
    else
        viewport()->scroll(0, dy);
}

bool TCustomLexEdit::CaretInView() const {
    const TDisplayCoord P = DisplayXY();
    return P.Column >= fLeftChar && P.Column <= fLeftChar + fCharsInWindow && P.Row >= fTopLine &&
           P.Row <= fTopLine + fLinesInWindow;
}

void TCustomLexEdit::EnsureCursorPosVisible() {
    EnsureCursorPosVisibleEx(false, false);
}

void TCustomLexEdit::EnsureCursorPosVisibleEx(bool ForceToMiddle, bool EvenIfVisible) {
    TUpdateGuard Lock(*this);
    const TDisplayCoord P = DisplayXY();
    // The window holds at least one cell, so the caret always ends inside it.
    const int Chars = std::max(1, fCharsInWindow);
    const int Lines = std::max(1, fLinesInWindow);
    if (P.Column < fLeftChar)
        SetLeftChar(P.Column);
    else if (P.Column >= fLeftChar + Chars)
        SetLeftChar(P.Column - Chars + 1);
    else
        SetLeftChar(fLeftChar);
    const int Row = P.Row;
    const int Half = Lines / 2;
    if (ForceToMiddle) {
        if (Row < fTopLine)
            SetTopLine(Row - Half < 0 ? 1 : Row - Half + 1);
        else if (Row > fTopLine + Lines - 2)
            SetTopLine(Row - (Lines - 1) + Half);
        else if (EvenIfVisible)
            SetTopLine(Row - Half + 1);
    } else {
        if (Row < fTopLine)
            SetTopLine(Row);
        else if (Row > fTopLine + Lines - 1)
            SetTopLine(Row - (Lines - 1));
        else
            SetTopLine(fTopLine);
    }
}

// ---- scroll bars ----------------------------------------------------------------------------------

void TCustomLexEdit::UpdateScrollBars() {
    fStateFlags.Include(sfScrollbarChanged);
    if (fDestroying || fPaintLock > 0 || fInUpdateScrollBars) return;
    fInUpdateScrollBars = true;
    // Showing or hiding a bar resizes the viewport, which asks for this again: a second pass
    // settles it.
    for (int Pass = 0; Pass < 3 && fStateFlags.Contains(sfScrollbarChanged); ++Pass) {
        fStateFlags.Exclude(sfScrollbarChanged);
        const bool H = (FScrollBars == ssHorizontal || FScrollBars == ssBoth) && !WordWrap();
        const bool V = FScrollBars == ssVertical || FScrollBars == ssBoth;
        // The longest line is kept by the buffer as lines change; this costs no pass over them.
        ApplyScrollBar(true, H, std::max(fLines->LengthOfLongestLine(), 1), fCharsInWindow, fLeftChar);
        int MaxRows = DisplayLineCount();
        if (fOptions.Contains(eoScrollPastEof)) MaxRows += fLinesInWindow - 1;
        ApplyScrollBar(false, V, std::max(MaxRows, 1), fLinesInWindow, fTopLine);
    }
    fStateFlags.Exclude(sfScrollbarChanged);
    fInUpdateScrollBars = false;
}

void TCustomLexEdit::ApplyScrollBar(bool AHorizontal, bool AWanted, int AMaxScroll, int APage,
                                    int APosition) {
    QScrollBar *Bar = AHorizontal ? horizontalScrollBar() : verticalScrollBar();
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
    if (AHorizontal && horizontalScrollBarPolicy() != Policy) setHorizontalScrollBarPolicy(Policy);
    if (!AHorizontal && verticalScrollBarPolicy() != Policy) setVerticalScrollBarPolicy(Policy);
}

void TCustomLexEdit::ScrollBarAction(bool AHorizontal, int AAction) {
    QScrollBar *Bar = AHorizontal ? horizontalScrollBar() : verticalScrollBar();
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

void TCustomLexEdit::WMHScroll(int ACode, int APosition) {
    const int e = fOptions.Contains(eoScrollByOneLess) ? 1 : 0;
    switch (ACode) {
    case 0:
        SetLeftChar(fLeftChar - 1);
        break;
    case 1:
        SetLeftChar(fLeftChar + 1);
        break;
    case 2:
        SetLeftChar(fLeftChar - (fCharsInWindow - e));
        break;
    case 3:
        SetLeftChar(fLeftChar + (fCharsInWindow - e));
        break;
    case 4:
    case 5:
        FIsScrolling = true;
        SetLeftChar(APosition);
        break;
    case 6:
        SetLeftChar(1);
        break;
    case 7:
        SetLeftChar(fLines->LengthOfLongestLine());
        break;
    case 8:
        FIsScrolling = false;
        break;
    default:
        return;
    }
    if (OnScroll) OnScroll(this, sbHorizontal);
}

void TCustomLexEdit::WMVScroll(int ACode, int APosition) {
    const int e = fOptions.Contains(eoScrollByOneLess) ? 1 : 0;
    switch (ACode) {
    case 0:
        SetTopLine(fTopLine - 1);
        break;
    case 1:
        SetTopLine(fTopLine + 1);
        break;
    case 2:
        SetTopLine(fTopLine - (fLinesInWindow - e));
        break;
    case 3:
        SetTopLine(fTopLine + (fLinesInWindow - e));
        break;
    case 4:
    case 5:
        FIsScrolling = true;
        SetTopLine(APosition);
        if (fOptions.Contains(eoShowScrollHint)) ShowScrollHint();
        break;
    case 6:
        SetTopLine(1);
        break;
    case 7:
        SetTopLine(DisplayLineCount());
        break;
    case 8:
        FIsScrolling = false;
        if (fOptions.Contains(eoShowScrollHint)) HideScrollHint();
        break;
    default:
        return;
    }
    FlushPendingInvalidation();
    if (OnScroll) OnScroll(this, sbVertical);
}

void TCustomLexEdit::ShowScrollHint() {
    QPointer<QLabel> &Hint = ScrollHintWindow();
    if (Hint.isNull()) {
        Hint = new QLabel(window(), Qt::ToolTip);
        Hint->setMargin(2);
        Hint->setFrameShape(QFrame::Box);
    }
    QPalette Palette = Hint->palette();
    Palette.setColor(QPalette::Window, ColorToQColor(fScrollHintColor, palette()));
    Palette.setColor(QPalette::WindowText, palette().color(QPalette::ToolTipText));
    Hint->setPalette(Palette);
    Hint->setAutoFillBackground(true);
    QString Text;
    if (fScrollHintFormat == shfTopLineOnly)
        Text = QStringLiteral("Top Line: %1").arg(RowToLine(fTopLine));
    else
        Text = QStringLiteral("%1 - %2")
                   .arg(RowToLine(fTopLine))
                   .arg(RowToLine(fTopLine + std::min(fLinesInWindow, DisplayLineCount() - fTopLine)));
    Hint->setText(Text);
    Hint->setMaximumWidth(200);
    Hint->adjustSize();
    const int Arrow = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    int Y = 10;
    if (fOptions.Contains(eoScrollHintFollows)) {
        const QScrollBar *Bar = verticalScrollBar();
        const double Track =
            double(viewport()->height() - 2 * Arrow) * Bar->sliderPosition() / std::max(1, Bar->maximum());
        Y = int(std::nearbyint(Track)) + Hint->height() / 2 + Arrow;
    }
    const QPoint At(viewport()->width() - Hint->width() - 4, Y);
    Hint->move(viewport()->mapToGlobal(At));
    Hint->show();
}

void TCustomLexEdit::HideScrollHint() {
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
        Step = fOptions.Contains(eoHalfPageScroll) ? std::max(1, fLinesInWindow / 2) : fLinesInWindow;
    const int64_t Sum = int64_t(fMouseWheelAccumulator) + WheelDelta;
    const int64_t Notches = Sum / 120;
    fMouseWheelAccumulator = int(Sum % 120);
    SetTopLine(ClampToInt(int64_t(fTopLine) - Notches * Step));
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
    if (fHighlighter != nullptr) {
        for (int i = 0; i < fHighlighter->AttrCount(); ++i) {
            const TFontStyles S = fHighlighter->Attribute(i)->Style();
            Used[size_t(Variant(S.Contains(fsBold), S.Contains(fsItalic)))] = true;
            HasAttributes = true;
        }
    }
    if (!HasAttributes) Used[size_t(Variant(font().bold(), font().italic()))] = true;
    fTextDrawer->SetBaseFont(font());
    int Height = 0;
    int Width = 0;
    for (int v = 0; v < 4; ++v) {
        if (!Used[size_t(v)]) continue;
        TFontStyles Style;
        if (v & 2) Style.Include(fsBold);
        if (v & 1) Style.Include(fsItalic);
        fTextDrawer->SetBaseStyle(Style);
        Height = std::max(Height, fTextDrawer->CharHeight());
        Width = std::max(Width, fTextDrawer->CharWidth());
    }
    // A cell is never empty, whatever the font or a negative line spacing says.
    fTextHeight = std::max(1, std::max(Height, RowHeightOfFont()) + fExtraLineSpacing);
    fCharWidth = std::max(1, Width);
    fTextOffset = fGutterWidth + 2 - (fLeftChar - 1) * fCharWidth;
}

int TCustomLexEdit::RowHeightOfFont() const {
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
    if (fDestroying || fCharWidth == 0) return;
    // The window holds at least one cell, also when it is smaller than that.
    fCharsInWindow = std::max(1, std::max(viewport()->width() - fGutterWidth - 2, 0) / fCharWidth);
    fLinesInWindow = std::max(1, viewport()->height() / fTextHeight);
    WrapDisplayChanged();
    UpdateScrollBars();
    if (bFont) {
        InitializeCaret();
        fStateFlags.Exclude(sfCaretChanged);
        InvalidateAll();
    }
    // Re-clamped (the pixel cap of the left column depends on the cell width too).
    SetLeftChar(fLeftChar);
    if (!fOptions.Contains(eoScrollPastEof)) SetTopLine(fTopLine);
    if (!bFont) UpdateCaret();
}

void TCustomLexEdit::resizeEvent(QResizeEvent *AEvent) {
    QAbstractScrollArea::resizeEvent(AEvent);
    common::Guarded([this] { SizeOrFontChanged(false); });
}

// ---- set-up -------------------------------------------------------------------------------------

void TCustomLexEdit::InitViewAndMouse() {
    for (const bool Horizontal : {true, false}) {
        QScrollBar *Bar = Horizontal ? horizontalScrollBar() : verticalScrollBar();
        QObject::connect(Bar, &QAbstractSlider::actionTriggered, this, [this, Horizontal](int Action) {
            common::Guarded([&] { ScrollBarAction(Horizontal, Action); });
        });
        QObject::connect(Bar, &QAbstractSlider::sliderReleased, this, [this, Horizontal] {
            common::Guarded([&] {
                if (Horizontal)
                    WMHScroll(8, 0);
                else
                    WMVScroll(8, 0);
            });
        });
    }
    QObject::connect(&fCaretBlinkTimer, &QTimer::timeout, this,
                     [this] { common::Guarded([this] { CaretBlink(); }); });
    fScrollTimer.setInterval(100);
    QObject::connect(&fScrollTimer, &QTimer::timeout, this,
                     [this] { common::Guarded([this] { ScrollTimerHandler(); }); });
    fMouseEnv = DefaultMouseEnvironment();
    viewport()->setMouseTracking(true);
    viewport()->setCursor(fTextCursor);
    // The editor is a drop target (LexEditDragDrop.cpp).
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

} // namespace lexedit

// SPDX-License-Identifier: MIT
// The gutter: its options and width, the selection colours, the bookmark options and pictures,
// the painting of line numbers, border and marks, and the ten bookmarks of the editor.

#include "lexedit/LexEditGutter.h"

#include "lexedit/LexEdit.h"

#include "LexEditFolding.h"

#include "LexEditPrivate.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexTextDrawer.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace lexedit {

// ---- TLexGutter ---------------------------------------------------------------------------------

TLexGutter::TLexGutter() : fFont(DefaultFontName(), 8) {
    fFont.setStyleHint(QFont::Monospace);
}

template <typename T> void TLexGutter::Set(T &AField, T AValue) {
    if (AField == AValue) return;
    AField = AValue;
    Changed();
}

void TLexGutter::Changed() {
    if (OnChange) OnChange();
}

void TLexGutter::Assign(const TLexGutter &Source) {
    fFont = Source.fFont;
    fFontColor = Source.fFontColor;
    fUseFontStyle = Source.fUseFontStyle;
    fColor = Source.fColor;
    fVisible = Source.fVisible;
    fWidth = Source.fWidth;
    fShowLineNumbers = Source.fShowLineNumbers;
    fLeadingZeros = Source.fLeadingZeros;
    fZeroStart = Source.fZeroStart;
    fLeftOffset = Source.fLeftOffset;
    fDigitCount = Source.fDigitCount;
    fRightMargin = Source.fRightMargin;
    fAutoSize = Source.fAutoSize;
    fAutoSizeDigitCount = Source.fAutoSizeDigitCount;
    fLineNumberStart = Source.fLineNumberStart;
    fBorderColor = Source.fBorderColor;
    fBorderStyle = Source.fBorderStyle;
    fGradient = Source.fGradient;
    fGradientStartColor = Source.fGradientStartColor;
    fGradientEndColor = Source.fGradientEndColor;
    fGradientSteps = Source.fGradientSteps;
    Changed();
}

void TLexGutter::ChangeScale(int M, int D) {
    if (D == 0) return;
    fWidth = MulDiv(fWidth, M, D);
    fLeftOffset = MulDiv(fLeftOffset, M, D);
    fRightOffset = MulDiv(fRightOffset, M, D);
    fRightMargin = MulDiv(fRightMargin, M, D);
    if (fFont.pixelSize() > 0) fFont.setPixelSize(int(std::nearbyint(double(fFont.pixelSize()) * M / D)));
    Changed();
}

int TLexGutter::LargestNumber(int ALinesCount) const {
    if (fZeroStart) return ALinesCount - 1;
    if (fLineNumberStart > 1) return ALinesCount + fLineNumberStart - 1;
    return ALinesCount;
}

QString TLexGutter::FormatLineNumber(int ALine) const {
    const int Number = LargestNumber(ALine);
    QString S = QString::number(Number);
    const int Digits = fAutoSizeDigitCount;
    if (S.size() < Digits) S = QString(Digits - int(S.size()), QLatin1Char(' ')) + S;
    if (fLeadingZeros)
        for (int i = 0; i < Digits - 1 && i < S.size() && S[i] == QLatin1Char(' '); ++i)
            S[i] = QLatin1Char('0');
    return S;
}

int TLexGutter::RealGutterWidth(int ACharWidth) const {
    if (!fVisible) return 0;
    if (fShowLineNumbers) return fLeftOffset + fRightOffset + fAutoSizeDigitCount * ACharWidth + fRightMargin;
    if (fAutoSize) return fLeftOffset + fRightOffset + fRightMargin;
    return fWidth;
}

void TLexGutter::AutoSizeDigitCount(int ALinesCount) {
    if (!(fVisible && fAutoSize && fShowLineNumbers)) {
        fAutoSizeDigitCount = fDigitCount;
        return;
    }
    const int Digits = std::max(int(QString::number(LargestNumber(ALinesCount)).size()), fDigitCount);
    Set(fAutoSizeDigitCount, Digits);
}

void TLexGutter::SetAutoSize(bool Value) {
    Set(fAutoSize, Value);
}
void TLexGutter::SetBorderStyle(TLexGutterBorderStyle Value) {
    fBorderStyle = Value;
    Changed();
}
void TLexGutter::SetColor(TColor Value) {
    Set(fColor, Value);
}
void TLexGutter::SetBorderColor(TColor Value) {
    Set(fBorderColor, Value);
}
void TLexGutter::SetDigitCount(int Value) {
    Value = MinMax(Value, 2, 12);
    if (Value == fDigitCount) return;
    fDigitCount = Value;
    fAutoSizeDigitCount = std::max(fAutoSizeDigitCount, Value);
    if (!fAutoSize) fAutoSizeDigitCount = Value;
    Changed();
}
void TLexGutter::SetFont(const QFont &Value) {
    if (Value == fFont) return;
    fFont = Value;
    Changed();
}
void TLexGutter::SetFontColor(TColor Value) {
    Set(fFontColor, Value);
}
void TLexGutter::SetLeadingZeros(bool Value) {
    Set(fLeadingZeros, Value);
}
void TLexGutter::SetLeftOffset(int Value) {
    Set(fLeftOffset, std::max(Value, 0));
}
void TLexGutter::SetRightOffset(int Value) {
    Set(fRightOffset, std::max(Value, 0));
}
void TLexGutter::SetRightMargin(int Value) {
    Set(fRightMargin, std::max(Value, 0));
}
void TLexGutter::SetShowLineNumbers(bool Value) {
    Set(fShowLineNumbers, Value);
}
void TLexGutter::SetUseFontStyle(bool Value) {
    Set(fUseFontStyle, Value);
}
void TLexGutter::SetVisible(bool Value) {
    Set(fVisible, Value);
}
void TLexGutter::SetWidth(int Value) {
    Set(fWidth, std::max(Value, 0));
}
void TLexGutter::SetZeroStart(bool Value) {
    Set(fZeroStart, Value);
}
void TLexGutter::SetLineNumberStart(int Value) {
    Value = std::max(Value, 0);
    fZeroStart = Value == 0;
    fLineNumberStart = Value;
    Changed();
}
void TLexGutter::SetGradient(bool Value) {
    Set(fGradient, Value);
}
void TLexGutter::SetGradientStartColor(TColor Value) {
    Set(fGradientStartColor, Value);
}
void TLexGutter::SetGradientEndColor(TColor Value) {
    Set(fGradientEndColor, Value);
}
void TLexGutter::SetGradientSteps(int Value) {
    Set(fGradientSteps, std::max(Value, 2));
}

// ---- TLexSelectedColor, TLexBookMarkOpt -----------------------------------------------------------

void TLexSelectedColor::SetBackground(TColor Value) {
    if (Value == fBG) return;
    fBG = Value;
    if (OnChange) OnChange();
}

void TLexSelectedColor::SetForeground(TColor Value) {
    if (Value == fFG) return;
    fFG = Value;
    if (OnChange) OnChange();
}

template <typename T> void TLexBookMarkOpt::Set(T &AField, T AValue) {
    if (AField == AValue) return;
    AField = AValue;
    if (OnChange) OnChange();
}

void TLexBookMarkOpt::SetDrawBookmarksFirst(bool Value) {
    Set(fDrawBookmarksFirst, Value);
}
void TLexBookMarkOpt::SetEnableKeys(bool Value) {
    Set(fEnableKeys, Value);
}
void TLexBookMarkOpt::SetGlyphsVisible(bool Value) {
    Set(fGlyphsVisible, Value);
}
void TLexBookMarkOpt::SetLeftMargin(int Value) {
    Set(fLeftMargin, Value);
}
void TLexBookMarkOpt::SetXoffset(int Value) {
    Set(fXoffset, Value);
}
void TLexBookMarkOpt::ChangeScale(int M, int D) {
    if (D == 0) return;
    fLeftMargin = MulDiv(fLeftMargin, M, D);
    fXoffset = MulDiv(fXoffset, M, D);
}

// ---- TLexInternalImage ------------------------------------------------------------------------------

TLexInternalImage::TLexInternalImage(QImage AStrip, int ACount)
    : fImages(std::move(AStrip)), fHeight(fImages.height()), fCount(std::max(ACount, 0)) {
    fWidth = fCount > 0 ? (fImages.width() + fCount / 2) / fCount : 0;
}

TLexInternalImage TLexInternalImage::BookmarkImages() {
    // Ten pictures of 11 x 14: a blue bookmark ribbon with a notch at the bottom and the digit.
    constexpr int W = 11, H = 14, N = 10;
    QImage Strip(W * N, H, QImage::Format_ARGB32_Premultiplied);
    Strip.fill(Qt::transparent);
    QPainter P(&Strip);
    QFont Font(DefaultFontName());
    Font.setPixelSize(9);
    Font.setBold(true);
    Font.setStyleStrategy(QFont::NoAntialias);
    P.setFont(Font);
    for (int n = 0; n < N; ++n) {
        const int X = n * W;
        const QPolygon Ribbon({QPoint(X + 1, 0), QPoint(X + W - 1, 0), QPoint(X + W - 1, H - 1),
                               QPoint(X + W / 2, H - 4), QPoint(X + 1, H - 1)});
        P.setPen(QColor(0x1F, 0x3F, 0x8F));
        P.setBrush(QColor(0x4F, 0x7F, 0xDF));
        P.drawPolygon(Ribbon);
        P.setPen(Qt::white);
        P.drawText(QRect(X + 1, 0, W - 1, H - 3), Qt::AlignCenter, QString::number(n));
    }
    P.end();
    return TLexInternalImage(Strip, N);
}

void TLexInternalImage::Draw(QPainter &ACanvas, int ANumber, int AX, int AY, int ALineHeight) const {
    if (ANumber < 0 || ANumber >= fCount || fWidth <= 0) return;
    if (ALineHeight >= fHeight) {
        ACanvas.drawImage(QPoint(AX, AY + (ALineHeight - fHeight) / 2), fImages,
                          QRect(ANumber * fWidth, 0, fWidth, fHeight));
    } else {
        ACanvas.drawImage(QPoint(AX, AY), fImages,
                          QRect(ANumber * fWidth, (fHeight - ALineHeight) / 2, fWidth, ALineHeight));
    }
}

void TLexInternalImage::ChangeScale(int M, int D) {
    if (M == D || D == 0 || fCount <= 0) return;
    fWidth = MulDiv(fWidth, M, D);
    const int NewHeight = MulDiv(fHeight, M, D);
    if (fWidth <= 0 || NewHeight <= 0) return;
    fImages = fImages.scaled(fWidth * fCount, NewHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    fHeight = NewHeight;
}

// ---- the editor: options and width ------------------------------------------------------------------

void TLexEditPrivate::InitPainting() {
    Ed.viewport()->setAttribute(Qt::WA_NoSystemBackground);
    fTextDrawer->SetPalette(Ed.palette());
    fCurrentPPI = std::max(1, Ed.logicalDpiY());
    fGutter.ChangeScale(fCurrentPPI, 96);
    fBookMarkOpt.ChangeScale(fCurrentPPI, 96);
    fGutter.OnChange = [this] { GutterChanged(); };
    fBookMarkOpt.OnChange = [this] { Ed.InvalidateGutter(); };
    fSelectedColor.OnChange = [this] { Ed.InvalidateSelection(); };
    GutterChanged();
}

void TCustomLexEdit::ChangeScale(int M, int D) {
    if (M <= 0 || D <= 0 || M == D) return;
    fPriv->fCurrentPPI = std::max(1, MulDiv(fPriv->fCurrentPPI, M, D));
    {
        // One width computation at the end instead of one per scaled value.
        TUpdateGuard Lock(*this);
        fPriv->fBookMarkOpt.ChangeScale(M, D);
        if (fPriv->fInternalImage) fPriv->fInternalImage->ChangeScale(M, D);
        fPriv->fWordWrapGlyph.ChangeScale(M, D);
        if (font().pixelSize() > 0) {
            QFont Font = font();
            Font.setPixelSize(std::max(1, MulDiv(Font.pixelSize(), M, D)));
            SetEditorFont(Font); // the cells and the gutter follow
        }
        fPriv->fGutter.ChangeScale(M, D);
        OnCodeFoldingChange(this); // the fold shapes' column at the new size
    }
    InvalidateAll();
}

void TLexEditPrivate::ScreenChanged() {
    const int Dpi = Ed.logicalDpiY();
    if (Dpi > 0 && Dpi != fCurrentPPI) Ed.ChangeScale(Dpi, fCurrentPPI);
}

void TLexEditPrivate::PaletteChanged() {
    fTextDrawer->SetPalette(Ed.palette());
    if (fGutterDrawer) fGutterDrawer->SetPalette(Ed.palette());
    Ed.InvalidateAll();
}

TheTextDrawer &TLexEditPrivate::GutterDrawer() {
    if (!fGutter.UseFontStyle()) return *fTextDrawer;
    if (!fGutterDrawer) {
        fGutterDrawer = std::make_unique<TheTextDrawer>(TFontStyles(), fGutter.Font());
        fGutterDrawer->SetPalette(Ed.palette());
    } else if (fGutterDrawer->BaseFont() != fGutter.Font()) {
        fGutterDrawer->SetBaseFont(fGutter.Font());
    }
    return *fGutterDrawer;
}

void TLexEditPrivate::GutterChanged() {
    if (fDestroying || !fTextDrawer) return;
    if (fGutter.ShowLineNumbers() && fGutter.AutoSize()) {
        // Without OnChange recursion: a change of the digit count comes back here once.
        auto Saved = std::move(fGutter.OnChange);
        fGutter.AutoSizeDigitCount(fLines->Count());
        fGutter.OnChange = std::move(Saved);
    }
    const int CellWidth = fGutter.UseFontStyle() ? GutterDrawer().CharWidth() : fCharWidth;
    const int Width = fGutter.RealGutterWidth(std::max(CellWidth, 1));
    if (Width == fGutterWidth)
        Ed.InvalidateGutter();
    else
        SetGutterWidth(Width);
}

void TLexEditPrivate::SetGutterWidth(int Value) {
    Value = std::max(Value, 0);
    if (Value == fGutterWidth) return;
    fGutterWidth = Value;
    fTextOffset = fGutterWidth + 2 - (fLeftChar - 1) * fCharWidth;
    Ed.SizeOrFontChanged(false);
    Ed.InvalidateAll();
}

void TLexEditPrivate::UpdateGutterDigits() {
    if (fGutter.ShowLineNumbers() && fGutter.AutoSize()) fGutter.AutoSizeDigitCount(fLines->Count());
}

void TCustomLexEdit::InvalidateGutter() {
    InvalidateGutterLines(-1, -1);
}

void TLexEditPrivate::MarkListChange(int FirstLine, int LastLine) {
    if (FirstLine == -1 && LastLine == -1)
        Ed.InvalidateGutter();
    else if (FirstLine == LastLine)
        Ed.InvalidateGutterLine(FirstLine);
    else
        Ed.InvalidateGutterLines(FirstLine, LastLine);
}

// ---- the editor: painting ------------------------------------------------------------------------

void TCustomLexEdit::PaintGutter(QPainter &ACanvas, const QRect &AClip, int aFirstRow, int aLastRow) {
    const int vFirstLine = RowToLine(aFirstRow);
    const int vLastLine = RowToLine(aLastRow);
    const int ClipLeft = AClip.left(), ClipTop = AClip.top();
    const int ClipRight = AClip.left() + AClip.width(), ClipBottom = AClip.top() + AClip.height();
    const QColor GutterColor = ColorToQColor(fPriv->fGutter.Color(), palette());
    const bool Gradient = fPriv->fGutter.Gradient();
    if (Gradient)
        LexDrawGradient(ACanvas, fPriv->fGutter.GradientStartColor(), fPriv->fGutter.GradientEndColor(),
                        fPriv->fGutter.GradientSteps(),
                        QRect(0, 0, fPriv->fGutterWidth, viewport()->height()), true, palette());
    if (fPriv->fGutter.ShowLineNumbers()) {
        TheTextDrawer &D = fPriv->GutterDrawer();
        D.SetStyle(TFontStyles());
        TTextDrawingGuard Drawing(D, &ACanvas);
        D.SetForeColor(fPriv->fGutter.UseFontStyle() ? fPriv->fGutter.FontColor() : clWindowText);
        D.SetBackColor(fPriv->fGutter.Color());
        const int Cell = std::max(1, D.CharWidth());
        const int Right = std::max(ClipRight, fPriv->fGutterWidth - 2);
        int Bottom = ClipTop;
        for (int Line = vFirstLine; Line <= vLastLine; Line = fPriv->fFolding->NextShownLine(Line)) {
            const int Top = (LineToRow(Line) - fPriv->fTopLine) * fPriv->fTextHeight;
            // Word wrap: the continuation rows of the line before have no number.
            if (Top > Bottom && !Gradient)
                ACanvas.fillRect(QRect(ClipLeft, Bottom, Right - ClipLeft, Top - Bottom), GutterColor);
            Bottom = Top + fPriv->fTextHeight;
            QString S = fPriv->fGutter.FormatLineNumber(Line);
            if (OnGutterGetText) OnGutterGetText(this, Line, S);
            const int TextWidth = int(S.size()) * Cell;
            const int X =
                fPriv->fGutterWidth - fPriv->fGutter.RightOffset() - fPriv->fGutter.RightMargin() - TextWidth;
            const int Y = Top + (fPriv->fTextHeight - D.CharHeight()) / 2;
            const QRect Row(ClipLeft, Top, Right - ClipLeft, fPriv->fTextHeight);
            if (Gradient) {
                D.ExtTextOut(X, Y, TTextOutOptions(), Row, S);
            } else {
                D.ExtTextOut(X, Y, TTextOutOptions{tooOpaque}, Row, S);
            }
        }
        if (ClipBottom > Bottom && !Gradient)
            ACanvas.fillRect(QRect(ClipLeft, Bottom, Right - ClipLeft, ClipBottom - Bottom), GutterColor);
    } else if (!Gradient) {
        ACanvas.fillRect(AClip, GutterColor);
    }
    fPriv->PaintWrapGlyphs(ACanvas, aFirstRow, aLastRow);
    fPriv->fFolding->PaintGutterShapes(ACanvas, aFirstRow, aLastRow);
    // The border: one pixel column in the border colour at the edge or one pixel left of it.
    if (fPriv->fGutter.BorderStyle() != gbsNone && ClipRight >= fPriv->fGutterWidth - 2 &&
        fPriv->fGutterWidth >= 2) {
        const QColor Border = ColorToQColor(fPriv->fGutter.BorderColor(), palette());
        const int Height = ClipBottom - ClipTop;
        if (fPriv->fGutter.BorderStyle() == gbsMiddle) {
            ACanvas.fillRect(QRect(fPriv->fGutterWidth - 2, ClipTop, 1, Height), Border);
            ACanvas.fillRect(QRect(fPriv->fGutterWidth - 1, ClipTop, 1, Height), GutterColor);
        } else {
            ACanvas.fillRect(QRect(fPriv->fGutterWidth - 1, ClipTop, 1, Height), Border);
        }
    }
    fPriv->PaintMarks(ACanvas, aFirstRow, aLastRow);
}

void TLexEditPrivate::PaintMarks(QPainter &ACanvas, int aFirstRow, int aLastRow) {
    const int vFirstLine = Ed.RowToLine(aFirstRow);
    const int vLastLine = Ed.RowToLine(aLastRow);
    // One x offset per painted row: where the next mark of the row goes.
    std::vector<int> aGutterOffs(size_t(std::max(0, aLastRow - aFirstRow + 1)), 0);
    if (fBookMarkOpt.GlyphsVisible() && fMarkList.Count() > 0 && vLastLine >= vFirstLine) {
        if (!fInternalImage) {
            fInternalImage = std::make_unique<TLexInternalImage>(TLexInternalImage::BookmarkImages());
            fInternalImage->ChangeScale(fCurrentPPI, 96);
        }
        const auto Qualifies = [&](const TLexEditMark &M) {
            return M.Visible && M.Line >= vFirstLine && M.Line <= vLastLine && M.Line <= fLines->Count() &&
                   !fFolding->LineHidden(M.Line);
        };
        bool SecondPass = false;
        for (int Pass = 0; Pass < 2; ++Pass) {
            for (int i = 0; i < fMarkList.Count(); ++i) {
                const TLexEditMark &M = fMarkList.Items(i);
                if (!Qualifies(M)) continue;
                const bool First = M.IsBookmark() == fBookMarkOpt.DrawBookmarksFirst();
                if (First != (Pass == 0)) {
                    SecondPass = true;
                    continue;
                }
                const int Row = Ed.LineToRow(M.Line);
                if (Row < aFirstRow || Row > aLastRow) continue;
                int &Off = aGutterOffs[size_t(Row - aFirstRow)];
                // Built-in pictures 0..9; only the first mark of a row is drawn.
                if (M.ImageIndex < 0 || M.ImageIndex > 9) continue;
                if (Off == 0)
                    fInternalImage->Draw(ACanvas, M.ImageIndex, fBookMarkOpt.LeftMargin() + Off,
                                         (Row - fTopLine) * fTextHeight, fTextHeight);
                Off += fBookMarkOpt.Xoffset();
            }
            if (!SecondPass) break;
        }
    }
    if (!Ed.OnGutterPaint) return;
    for (int Line = vFirstLine; Line <= vLastLine; Line = fFolding->NextShownLine(Line)) {
        const int Row = Ed.LineToRow(Line);
        // A row outside the painted ones (the first row continuing a line) has no offset.
        const int Index = Row - aFirstRow;
        const int X = Index >= 0 && Index < int(aGutterOffs.size()) ? aGutterOffs[size_t(Index)] : 0;
        Ed.OnGutterPaint(&Ed, Line, X, (Row - fTopLine) * fTextHeight);
    }
}

// ---- the editor: clicks ---------------------------------------------------------------------

void TCustomLexEdit::DoOnGutterClick(TMouseButton Button, int X, int Y) {
    // A fold shape takes the click first: it toggles its range.
    if (Button == mbLeft && fPriv->fFolding->GutterClick(X, Y)) return;
    if (!OnGutterClick) return;
    const TBufferCoord Pos = DisplayToBufferPos(PixelsToRowColumn(X, Y));
    const int Line = Pos.Line;
    if (Line < 1 || Line > fPriv->fLines->Count()) return;
    // The marks of the line lie side by side, one Xoffset apart: the first one whose span ends
    // right of the point is the one clicked.
    TLexEditMark *Clicked = nullptr;
    int Offset = 0;
    for (TLexEditMark *Mark : fPriv->fMarkList.GetMarksForLine(Line)) {
        Offset += fPriv->fBookMarkOpt.Xoffset();
        if (X < Offset) {
            Clicked = Mark;
            break;
        }
    }
    OnGutterClick(this, Button, X, Y, Line, Clicked);
}

// ---- the editor: bookmarks ---------------------------------------------------------------------

void TCustomLexEdit::SetBookMark(int BookMark, int X, int Y) {
    if (BookMark < 0 || BookMark > 9 || Y < 1 || Y > std::max(fPriv->fLines->Count(), 1)) return;
    TLexEditMark Mark{Y, X, BookMark, BookMark, true, true};
    bool Place = true;
    if (OnPlaceBookmark) OnPlaceBookmark(this, Mark, Place);
    if (!Place) return;
    ClearBookMark(BookMark);
    fPriv->fMarkList.Add(Mark);
}

void TCustomLexEdit::ClearBookMark(int BookMark) {
    if (BookMark < 0 || BookMark > 9) return;
    for (int i = 0; i < fPriv->fMarkList.Count(); ++i) {
        TLexEditMark &M = fPriv->fMarkList.Items(i);
        if (M.BookmarkNumber != BookMark) continue;
        if (OnClearBookmark) OnClearBookmark(this, M);
        fPriv->fMarkList.Delete(i);
        return;
    }
}

bool TCustomLexEdit::GetBookMark(int BookMark, int &X, int &Y) const {
    for (int i = 0; i < fPriv->fMarkList.Count(); ++i) {
        const TLexEditMark &M = fPriv->fMarkList.Items(i);
        if (M.IsBookmark() && M.BookmarkNumber == BookMark) {
            X = M.Char;
            Y = M.Line;
            return true;
        }
    }
    return false;
}

bool TCustomLexEdit::IsBookmark(int BookMark) const {
    int X = 0, Y = 0;
    return GetBookMark(BookMark, X, Y);
}

} // namespace lexedit

// SPDX-License-Identifier: MIT
// Code folding in the editor: the UseCodeFolding property, rescans after buffer changes,
// collapse and expand with their commands, the fold row map, the hit areas, and the painting of
// fold shapes, indent guides, the collapsed-line rule and the collapse mark.

#include "LexEditFolding.h"

#include "LexEditPrivate.h"

#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexTextDrawer.h"

#include <QPainter>

#include <algorithm>
#include <climits>

namespace lexedit {

namespace {

// Move-to/line-to with a one-pixel pen: the end point is not drawn.
void HLine(QPainter &C, int X1, int X2, int Y, const QColor &Color) {
    if (X2 > X1) C.fillRect(QRect(X1, Y, X2 - X1, 1), Color);
}

void VLine(QPainter &C, int X, int Y1, int Y2, const QColor &Color) {
    if (Y2 > Y1) C.fillRect(QRect(X, Y1, 1, Y2 - Y1), Color);
}

// The outline of the rectangle [L, R) x [T, B), Width pixels thick inwards.
void Frame(QPainter &C, int L, int T, int R, int B, int Width, const QColor &Color) {
    if (R <= L || B <= T) return;
    const int W = std::min({Width, R - L, B - T});
    C.fillRect(QRect(L, T, R - L, W), Color);
    C.fillRect(QRect(L, B - W, R - L, W), Color);
    C.fillRect(QRect(L, T, W, B - T), Color);
    C.fillRect(QRect(R - W, T, W, B - T), Color);
}

bool IsBlank(const QString &S) {
    for (QChar c : S)
        if (c.unicode() > 32) return false;
    return true;
}

} // namespace

// ---- the row map ------------------------------------------------------------------------------

TDisplayCoord TLexFoldRowMap::BufferToDisplayPos(const TBufferCoord &aPos) const {
    return DisplayCoord(aPos.Char, LineToRow(aPos.Line));
}

TBufferCoord TLexFoldRowMap::DisplayToBufferPos(const TDisplayCoord &aPos) const {
    return BufferCoord(aPos.Column, RowToLine(aPos.Row));
}

int TLexFoldRowMap::RowCount() const {
    return std::max(0, LineCount() - fFolding.Ranges.HiddenLineCount());
}

int TLexFoldRowMap::GetRowLength(int aRow) const {
    return fFolding.Ed.Lines()->ExpandedStringLengths(RowToLine(aRow) - 1);
}

int TLexFoldRowMap::LineToRow(int aLine) const {
    return fFolding.Ranges.FoldLineToRow(aLine);
}

int TLexFoldRowMap::RowToLine(int aRow) const {
    return fFolding.Ranges.FoldRowToLine(aRow);
}

int TLexFoldRowMap::LineCount() const {
    return fFolding.Ed.Lines()->Count();
}

int TLexFoldRowMap::LinesInserted(int aIndex, int aCount) {
    Q_UNUSED(aIndex);
    Q_UNUSED(aCount);
    return 0;
}

int TLexFoldRowMap::LinesDeleted(int aIndex, int aCount) {
    Q_UNUSED(aIndex);
    Q_UNUSED(aCount);
    return 0;
}

int TLexFoldRowMap::LinePut(int aIndex, const QString &OldLine) {
    Q_UNUSED(aIndex);
    Q_UNUSED(OldLine);
    return 0;
}

// ---- TLexEditFolding: updates ------------------------------------------------------------------

TLexEditFolding::TLexEditFolding(TCustomLexEdit &AEdit, TLexEditPrivate &APriv) : Ed(AEdit), P(APriv) {
    Options.SetOnChange([this](QObject *Sender) { Ed.OnCodeFoldingChange(Sender); });
}

bool TLexEditFolding::Active() const {
    return P.fUseCodeFolding;
}

int TLexEditFolding::NextShownLine(int Line) const {
    if (!Active()) return Line + 1;
    return Ranges.FoldRowToLine(Ranges.FoldLineToRow(Line) + 1);
}

void TLexEditFolding::Rescan(int From, int To) {
    Ed.ReScanForFoldRanges(From, To);
}

void TLexEditFolding::LinesInserted(int Index, int Count, int LastScanned) {
    if (!Active()) return;
    // New lines after the first line of a collapsed range would land in its hidden part.
    int k = 0;
    if (Index >= 1 && Ranges.CollapsedFoldStartAtLine(Index, k)) Ed.Uncollapse(k, true);
    Ranges.LinesInserted(Index, Count);
    // Every inserted line, and every line whose start or end state the highlighter changed.
    Rescan(Index, std::max(LastScanned, Index + Count - 1));
}

void TLexEditFolding::LinesDeleted(int Index, int Count, int LastScanned) {
    if (!Active()) return;
    Ranges.LinesDeleted(Index, Count);
    // The line that took the place of the deleted ones (when there is one) and what the
    // highlighter rescanned after it.
    Rescan(Index, std::max(LastScanned, Index));
}

void TLexEditFolding::LinePut(int Index, int LastScanned) {
    if (!Active()) return;
    int k = 0;
    if (Ranges.CollapsedFoldStartAtLine(Index + 1, k)) Ed.Uncollapse(k, true);
    Rescan(Index, std::max(LastScanned, Index));
}

void TLexEditFolding::Cleared() {
    Ranges.Reset();
    if (P.fHighlighter != nullptr)
        if (auto *H = dynamic_cast<TLexCustomCodeFoldingHighlighter *>(P.fHighlighter))
            H->InitFoldRanges(Ranges);
}

void TLexEditFolding::FinishScan() {
    if (!Ranges.StopScanning(*P.fLines)) return;
    if (auto *H = dynamic_cast<TLexCustomCodeFoldingHighlighter *>(P.fHighlighter))
        H->AdjustFoldRanges(Ranges, *P.fLines);
    // A range that ends elsewhere now hides other lines: the rows below move.
    Ed.InvalidateAll();
    P.fStateFlags.Include(sfScrollbarChanged);
}

void TLexEditFolding::LinesChanged() {
    if (!Active()) return;
    FinishScan();
    RevealCaret();
}

void TLexEditFolding::RevealCaret() {
    if (Active() && Ranges.FoldHidesLine(P.fCaretY)) Ed.UncollapseAroundLine(P.fCaretY);
}

// ---- TLexEditFolding: hit areas ------------------------------------------------------------------

void TLexEditFolding::Pressed(int X, int Y) {
    fPress = TPress{X, Y, P.fTopLine, true};
}

TLexEditFolding::TPress TLexEditFolding::PressOr(int X, int Y) const {
    return fPress.Valid ? fPress : TPress{X, Y, P.fTopLine, true};
}

bool TLexEditFolding::GutterClick(int X, int Y) {
    const TPress At = PressOr(X, Y);
    if (!Active() || P.fTextHeight <= 0 || At.Y < 0) return false;
    const int Row = At.TopLine + At.Y / P.fTextHeight;
    const int Line = Ed.RowToLine(Row);
    int Index = 0;
    if (Line > P.fLines->Count() || !Ranges.FoldStartAtLine(Line, Index)) return false;
    const QRect R = Ed.GetFoldShapeRect(Row);
    // The whole width of the shape column counts, from the row's top to its bottom.
    if (At.X < R.left() || At.X > R.right()) return false;
    if (Ranges.Ranges(Index).Collapsed)
        Ed.Uncollapse(Index, true);
    else
        Ed.Collapse(Index, true);
    return true;
}

bool TLexEditFolding::CollapseMarkClick(int X, int Y) {
    const TPress At = PressOr(X, Y);
    if (!Active() || P.fTextHeight <= 0 || At.Y < 0) return false;
    const int Row = At.TopLine + At.Y / P.fTextHeight;
    QRect R = Ed.GetCollapseMarkRect(Row);
    if (R.isNull()) return false;
    // The mark where it was drawn at the press; the release must still be on it.
    R.translate(0, (P.fTopLine - At.TopLine) * P.fTextHeight);
    if (!R.contains(At.X, At.Y) || !R.contains(X, Y)) return false;
    int Index = 0;
    if (!Ranges.CollapsedFoldStartAtLine(Ed.RowToLine(Row), Index)) return false;
    Ed.Uncollapse(Index, true);
    return true;
}

bool TLexEditFolding::OverFoldHitArea(int X, int Y) const {
    if (!Active() || P.fTextHeight <= 0 || Y < 0) return false;
    const int Row = P.fTopLine + Y / P.fTextHeight;
    const int Line = Ed.RowToLine(Row);
    if (Line > P.fLines->Count()) return false;
    if (X < P.fGutterWidth) {
        const QRect R = Ed.GetFoldShapeRect(Row);
        return Ranges.FoldStartAtLine(Line) && X >= R.left() && X <= R.right();
    }
    const QRect R = Ed.GetCollapseMarkRect(Row, Line);
    return !R.isNull() && R.contains(X, Y);
}

// ---- TLexEditFolding: painting ------------------------------------------------------------------

void TLexEditFolding::PaintGutterShapes(QPainter &ACanvas, int aFirstRow, int aLastRow) {
    if (!Active() || P.fTextHeight <= 0) return;
    const int m = MulDiv(2, P.fCurrentPPI, 96);
    const QColor Color = ColorToQColor(Options.FolderBarLinesColor(), Ed.palette());
    const int Count = P.fLines->Count();
    for (int cRow = aFirstRow; cRow <= aLastRow; ++cRow) {
        const int vLine = Ed.RowToLine(cRow);
        if (vLine > Count && Count > 0) break;
        const QRect rc = Ed.GetFoldShapeRect(cRow);
        const int L = rc.left(), T = rc.top(), R = rc.left() + rc.width(), B = rc.top() + rc.height();
        const int xMid = L + (R - L) / 2;
        const int yMid = T + (B - T) / 2;
        const int RowTop = (cRow - P.fTopLine) * P.fTextHeight;
        int Index = 0;
        if (Ranges.FoldStartAtLine(vLine, Index)) {
            Frame(ACanvas, L, T, R, B, 1, Color);
            HLine(ACanvas, L + m, R - m, yMid, Color);
            if (Ranges.Ranges(Index).Collapsed)
                VLine(ACanvas, xMid, T + m, B - m, Color);
            else
                VLine(ACanvas, xMid, B, RowTop + P.fTextHeight, Color);
            continue;
        }
        if (Ranges.FoldEndAtLine(vLine)) {
            VLine(ACanvas, xMid, RowTop, yMid, Color);
            HLine(ACanvas, xMid, R, yMid, Color);
        }
        if (Ranges.FoldAroundLine(vLine)) VLine(ACanvas, xMid, RowTop, RowTop + P.fTextHeight, Color);
    }
}

void TLexEditFolding::PaintFoldAttributes(QPainter &ACanvas, const QRect &AClip, int aFirstRow, int aLastRow,
                                          int vFirstLine, int vLastLine) {
    if (!Active() || P.fTextHeight <= 0) return;
    // Drawn inside the painted rows; the guides keep within the clip's columns themselves.
    if (Options.IndentGuides()) PaintIndentGuides(ACanvas, AClip, aFirstRow, aLastRow);
    if (Options.ShowCollapsedLine() || Options.ShowHintMark())
        PaintCollapsedLines(ACanvas, AClip, vFirstLine, vLastLine);
}

void TLexEditFolding::PaintIndentGuides(QPainter &ACanvas, const QRect &AClip, int aFirstRow, int aLastRow) {
    if (aLastRow < aFirstRow) return;
    const int Count = P.fLines->Count();
    const int TabWidth = std::max(1, P.fTabWidth);
    const QColor Color = ColorToQColor(Options.IndentGuidesColor(), Ed.palette());
    auto IndentOfRow = [&](int Row, bool &Exists, bool &Blank) {
        const int Line = Ed.RowToLine(Row);
        Exists = Line >= 1 && Line <= Count;
        const QString S = Exists ? P.fLines->Get(Line - 1) : QString();
        Blank = Exists && IsBlank(S);
        return Ed.LeftSpacesEx(S, true, true);
    };
    // A blank line shows the guides of the next non-blank row below it. The indents of the
    // painted rows come from one walk upwards, started from the first non-blank row below them.
    int NextIndent = 0;
    for (int Row = aLastRow + 1;; ++Row) {
        bool Exists = false, Blank = false;
        const int Indent = IndentOfRow(Row, Exists, Blank);
        if (!Exists) break;
        if (!Blank) {
            NextIndent = Indent;
            break;
        }
    }
    std::vector<int> Indents(size_t(aLastRow - aFirstRow + 1), 0);
    for (int Row = aLastRow; Row >= aFirstRow; --Row) {
        bool Exists = false, Blank = false;
        const int Indent = IndentOfRow(Row, Exists, Blank);
        if (!Exists)
            NextIndent = 0;
        else if (!Blank)
            NextIndent = Indent;
        Indents[size_t(Row - aFirstRow)] = NextIndent;
    }
    for (int cRow = aFirstRow; cRow <= aLastRow; ++cRow) {
        const int vLine = Ed.RowToLine(cRow);
        if (vLine > Count && Count > 0) break;
        int Y = (Ed.LineToRow(vLine) - P.fTopLine) * P.fTextHeight;
        if (P.fTextHeight % 2 == 1 && vLine % 2 == 0) ++Y; // dots of consecutive rows in phase
        const int LineIndent = Indents[size_t(cRow - aFirstRow)];
        for (int TabSteps = TabWidth; TabSteps < LineIndent; TabSteps += TabWidth) {
            if (TabSteps < P.fLeftChar) continue;
            const int X = TabSteps * P.fCharWidth + P.fTextOffset - 2;
            if (X < AClip.left() || X > AClip.right()) continue;
            for (int y = Y; y < Y + P.fTextHeight; y += 2) // every other pixel
                ACanvas.fillRect(QRect(X, y, 1, 1), Color);
        }
    }
}

void TLexEditFolding::PaintCollapsedLines(QPainter &ACanvas, const QRect &AClip, int vFirstLine,
                                          int vLastLine) {
    const QColor Color = ColorToQColor(Options.CollapsedLineColor(), Ed.palette());
    const int ClientWidth = Ed.viewport()->width();
    int CollapsedTo = 0;
    // Only the collapsed ranges from the first painted line on matter: start at the first range
    // starting there.
    int Start = 0;
    Ranges.FoldStartAtLine(vFirstLine, Start);
    const auto &All = Ranges.AllRanges();
    // A collapsed range starting before the painted lines may still hide ranges starting in
    // them: they are not visible anyway, and FoldHidesLine skips them below.
    for (size_t i = size_t(Start); i < All.size(); ++i) {
        const TLexFoldRange &R = All[i];
        if (R.FromLine > vLastLine) break;
        if (!R.Collapsed) continue;
        if (R.FromLine > CollapsedTo && R.FromLine >= vFirstLine && !Ranges.FoldHidesLine(R.FromLine)) {
            const int Row = Ed.LineToRow(R.FromLine);
            if (Options.ShowCollapsedLine()) {
                const int Y = (Row - P.fTopLine + 1) * P.fTextHeight - 1;
                HLine(ACanvas, AClip.left(), AClip.left() + AClip.width(), Y, Color);
            }
            if (Options.ShowHintMark()) {
                QRect Hint = Ed.GetCollapseMarkRect(Row, R.FromLine);
                const int HL = Hint.left();
                if (!Hint.isNull() && HL >= 1 && HL <= ClientWidth - 1) {
                    TheTextDrawer &D = *P.fTextDrawer;
                    D.SetStyle(TFontStyles());
                    {
                        TTextDrawingGuard Drawing(D, &ACanvas);
                        D.SetForeColor(Options.CollapsedLineColor());
                        D.ExtTextOut(HL + (2 * P.fCharWidth) / 7, Hint.top() - P.fTextHeight / 5,
                                     TTextOutOptions(), Hint, QStringLiteral("..."), false);
                    }
                    const int PenWidth = P.fTextHeight > 30 ? 2 : 1;
                    Frame(ACanvas, HL, Hint.top() + P.fTextHeight / 7, HL + Hint.width(),
                          Hint.top() + Hint.height(), PenWidth, Color);
                }
            }
        }
        CollapsedTo = std::max(CollapsedTo, R.ToLine);
    }
}

// ---- the editor's operations -------------------------------------------------------------------

TLexCodeFolding &TCustomLexEdit::CodeFolding() {
    return fPriv->fFolding->Options;
}

void TCustomLexEdit::SetCodeFolding(const TLexCodeFolding &Value) {
    fPriv->fFolding->Options.Assign(&Value);
}

const TLexFoldRanges &TCustomLexEdit::AllFoldRanges() const {
    return fPriv->fFolding->Ranges;
}

void TCustomLexEdit::SetUseCodeFolding(bool Value) {
    const bool CanFold = dynamic_cast<TLexCustomCodeFoldingHighlighter *>(fPriv->fHighlighter) != nullptr ||
                         bool(OnScanForFoldRanges);
    const bool Effective = Value && CanFold;
    if (Effective == fPriv->fUseCodeFolding) return;
    TUpdateGuard Lock(*this);
    const int TopBufferLine = RowToLine(fPriv->fTopLine);
    fPriv->fFolding->Ranges.Reset();
    if (auto *H = dynamic_cast<TLexCustomCodeFoldingHighlighter *>(fPriv->fHighlighter))
        H->InitFoldRanges(fPriv->fFolding->Ranges);
    fPriv->fUseCodeFolding = Effective;
    InvalidateAll();
    if (Effective) {
        SetWordWrap(false);
        fPriv->fRowMap = std::make_unique<TLexFoldRowMap>(*fPriv->fFolding);
        FullFoldScan();
    } else if (dynamic_cast<TLexFoldRowMap *>(fPriv->fRowMap.get()) != nullptr) {
        fPriv->fRowMap.reset();
    }
    OnCodeFoldingChange(this);
    InvalidateGutter();
    SetTopLine(LineToRow(TopBufferLine));
    fPriv->fStateFlags.Include(sfScrollbarChanged);
}

void TCustomLexEdit::OnCodeFoldingChange(QObject *Sender) {
    Q_UNUSED(Sender);
    const int Margin = fPriv->fGutter.RightMargin();
    if (fPriv->fUseCodeFolding)
        fPriv->fGutter.SetRightOffset(fPriv->fFolding->Options.ScaledGutterShapeSize(fPriv->fCurrentPPI) +
                                      2 * Margin);
    else
        fPriv->fGutter.SetRightOffset(Margin);
    InvalidateAll();
}

void TCustomLexEdit::FullFoldScan() {
    if (fPriv->fUseCodeFolding) ReScanForFoldRanges(0, fPriv->fLines->Count() - 1);
}

void TCustomLexEdit::ReScanForFoldRanges(int FromLine, int ToLine) {
    const int Count = fPriv->fLines->Count();
    FromLine = std::max(FromLine, 0);
    if (FromLine >= Count) return; // nothing to scan: no such line
    const int AdjustedToLine = std::max(std::min(ToLine, Count - 1), FromLine);
    TLexFoldRanges &F = fPriv->fFolding->Ranges;
    F.StartScanning();
    ScanForFoldRanges(F, *fPriv->fLines, FromLine, AdjustedToLine);
    // Inside a buffer update the rebuild waits for its end (LinesChanged).
    if (!fPriv->fStateFlags.Contains(sfLinesChanging)) fPriv->fFolding->FinishScan();
}

void TCustomLexEdit::ScanForFoldRanges(TLexFoldRanges &FoldRanges, const TLexEditStringList &LinesToScan,
                                       int FromLine, int ToLine) {
    if (auto *H = dynamic_cast<TLexCustomCodeFoldingHighlighter *>(fPriv->fHighlighter))
        H->ScanForFoldRanges(FoldRanges, LinesToScan, FromLine, ToLine);
    if (OnScanForFoldRanges) OnScanForFoldRanges(this, FoldRanges, LinesToScan, FromLine, ToLine);
}

void TCustomLexEdit::Collapse(int FoldRangeIndex, bool Invalidate) {
    TLexFoldRanges &F = fPriv->fFolding->Ranges;
    F.SetCollapsed(FoldRangeIndex, true);
    const TLexFoldRange R = F.Ranges(FoldRangeIndex);
    if (R.FromLine < fPriv->fCaretY && fPriv->fCaretY <= R.ToLine)
        SetCaretXY(BufferCoord(fPriv->fLines->LineCharLength(R.FromLine - 1) + 1, R.FromLine));
    fPriv->fFolding->Toggled(R.FromLine, Invalidate);
}

void TCustomLexEdit::Uncollapse(int FoldRangeIndex, bool Invalidate) {
    TLexFoldRanges &F = fPriv->fFolding->Ranges;
    F.SetCollapsed(FoldRangeIndex, false);
    fPriv->fFolding->Toggled(F.Ranges(FoldRangeIndex).FromLine, Invalidate);
}

void TLexEditFolding::Toggled(int AFromLine, bool AInvalidate) {
    if (!AInvalidate) {
        P.fStateFlags.Include(sfScrollbarChanged);
        return;
    }
    Ed.InvalidateLines(AFromLine, INT_MAX);
    Ed.InvalidateGutterLines(AFromLine, INT_MAX);
    Ed.UpdateScrollBars();
    KeepTopLineInRange();
}

void TLexEditFolding::KeepTopLineInRange() {
    // Rows hidden near the end lower the largest top line; the setter limits it again.
    Ed.SetTopLine(P.fTopLine);
}

void TLexEditFolding::SetCollapsedMany(const std::vector<int> &AIndexes, bool ACollapsed) {
    if (!P.fUseCodeFolding) return;
    {
        TCustomLexEdit::TUpdateGuard Lock(Ed);
        // Each collapse that hides the caret line sends the caret to the end of the range's first
        // line. Only the line is followed here and the caret moved once at the end: a caret move
        // per range would map rows anew each time, quadratic in the depth of nesting.
        int CaretLine = P.fCaretY;
        for (int i : AIndexes) {
            Ranges.SetCollapsed(i, ACollapsed);
            const TLexFoldRange &R = Ranges.AllRanges()[size_t(i)];
            if (ACollapsed && R.FromLine < CaretLine && CaretLine <= R.ToLine) CaretLine = R.FromLine;
        }
        P.fStateFlags.Include(sfScrollbarChanged);
        if (CaretLine != P.fCaretY)
            Ed.SetCaretXY(BufferCoord(P.fLines->LineCharLength(CaretLine - 1) + 1, CaretLine));
    }
    KeepTopLineInRange();
    Ed.InvalidateLines(-1, -1);
    Ed.InvalidateGutterLines(-1, -1);
    Ed.EnsureCursorPosVisible();
}

std::vector<int> TLexEditFolding::AllFromLast() const {
    std::vector<int> Indexes(size_t(Ranges.Count()));
    for (int i = 0; i < Ranges.Count(); ++i)
        Indexes[size_t(i)] = Ranges.Count() - 1 - i;
    return Indexes;
}

void TCustomLexEdit::CollapseAll() {
    fPriv->fFolding->SetCollapsedMany(fPriv->fFolding->AllFromLast(), true);
}

void TCustomLexEdit::UncollapseAll() {
    fPriv->fFolding->SetCollapsedMany(fPriv->fFolding->AllFromLast(), false);
}

void TCustomLexEdit::CollapseLevel(int Level) {
    fPriv->fFolding->SetCollapsedMany(fPriv->fFolding->Ranges.FoldsAtLevel(Level), true);
}

void TCustomLexEdit::UnCollapseLevel(int Level) {
    fPriv->fFolding->SetCollapsedMany(fPriv->fFolding->Ranges.FoldsAtLevel(Level), false);
}

void TCustomLexEdit::CollapseFoldType(int FoldType) {
    fPriv->fFolding->SetCollapsedMany(fPriv->fFolding->Ranges.FoldsOfType(FoldType), true);
}

void TCustomLexEdit::UnCollapseFoldType(int FoldType) {
    fPriv->fFolding->SetCollapsedMany(fPriv->fFolding->Ranges.FoldsOfType(FoldType), false);
}

void TCustomLexEdit::CollapseNearest() {
    if (!fPriv->fUseCodeFolding) return;
    int Index = 0;
    if (fPriv->fFolding->Ranges.FoldAroundLineEx(fPriv->fCaretY, false, true, true, Index))
        Collapse(Index, true);
    EnsureCursorPosVisible();
}

void TCustomLexEdit::UncollapseNearest() {
    if (!fPriv->fUseCodeFolding) return;
    int Index = 0;
    if (fPriv->fFolding->Ranges.CollapsedFoldStartAtLine(fPriv->fCaretY, Index)) Uncollapse(Index, true);
    EnsureCursorPosVisible();
}

void TCustomLexEdit::UncollapseAroundLine(int Line) {
    if (!fPriv->fUseCodeFolding) return;
    TLexFoldRanges &F = fPriv->fFolding->Ranges;
    // Each pass expands the innermost collapsed range still hiding the line. The repaint and the
    // scroll bars follow once, from the outermost range's first line: once per range they would
    // map rows anew each time, quadratic in the depth of nesting.
    int Index = 0;
    int From = INT_MAX;
    while (F.FoldHidesLine(Line, Index)) {
        F.SetCollapsed(Index, false);
        From = std::min(From, F.AllRanges()[size_t(Index)].FromLine);
    }
    if (From != INT_MAX) fPriv->fFolding->Toggled(From, true);
}

QRect TCustomLexEdit::GetFoldShapeRect(int Row) const {
    const int S = fPriv->fFolding->Options.ScaledGutterShapeSize(fPriv->fCurrentPPI);
    const int Left = fPriv->fGutterWidth - S - 2 * fPriv->fGutter.RightMargin();
    const int Top = (Row - fPriv->fTopLine) * fPriv->fTextHeight + (fPriv->fTextHeight - S) / 2;
    return QRect(Left, Top, S, S);
}

QRect TCustomLexEdit::GetCollapseMarkRect(int Row, int Line) const {
    if (!fPriv->fUseCodeFolding) return QRect();
    if (Line < 0) Line = RowToLine(Row);
    if (Line < 1 || Line > fPriv->fLines->Count() || !fPriv->fFolding->Ranges.CollapsedFoldStartAtLine(Line))
        return QRect();
    const int Top = (Row - fPriv->fTopLine) * fPriv->fTextHeight + 1;
    const int Bottom = Top + fPriv->fTextHeight - 2;
    int Left = (fPriv->fLines->ExpandedStringLengths(Line - 1) + 1) * fPriv->fCharWidth + fPriv->fTextOffset;
    if (fPriv->fOptions.Contains(eoShowSpecialChars)) Left += fPriv->fCharWidth;
    Left = std::max(Left, fPriv->fGutterWidth + fPriv->fCharWidth);
    const int Right = Left + 3 * fPriv->fCharWidth + 4 * (fPriv->fCharWidth / 7);
    return QRect(Left, Top, Right - Left, Bottom - Top);
}

} // namespace lexedit

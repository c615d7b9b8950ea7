// SPDX-License-Identifier: MIT
// Painting of the text area: the paint entry (gutter, text lines, events), the rows of each line
// token by token with the selection, the caret line colour, special characters and the right
// edge, the wide-glyph fillers of the display form, and the invalidation of rows.
//
// Rectangles here follow the canvas convention of the column rule: Left and Top inclusive,
// Right and Bottom exclusive (TPaintRect); they become QRects only when drawn.

#include "lexedit/LexEdit.h"

#include "LexEditFolding.h"

#include "LexEditPrivate.h"

#include "LexEditHelpers.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditWordWrap.h"
#include "lexedit/LexTextDrawer.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <climits>

namespace lexedit {

namespace {

struct TPaintRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    QRect ToQRect() const { return QRect(Left, Top, Right - Left, Bottom - Top); }
    static TPaintRect Of(const QRect &R) {
        return {R.left(), R.top(), R.left() + R.width(), R.top() + R.height()};
    }
};

bool OnlySpaces(QStringView S) {
    for (QChar c : S)
        if (c != QLatin1Char(' ')) return false;
    return true;
}

} // namespace

// ---- the per-paint state of the text area --------------------------------------------------------

// Paints the rows of one PaintTextLines call. It lives for that call: its token accumulator and
// the selection of the painted lines are set up once and reused for every row.
class TLexTextPainter {
public:
    TLexTextPainter(TCustomLexEdit &AEdit, QPainter &ACanvas)
        : E(AEdit), Canvas(ACanvas), D(*AEdit.fPriv->fTextDrawer) {}

    void Run(TPaintRect AClip, int aFirstRow, int aLastRow, int FirstCol, int LastCol);

private:
    // Colours and fills.
    TColor EditorBG() const;
    void SetDrawingColors(bool Selected);
    void Fill(int ARight);
    QColor Resolve(TColor C) const { return ColorToQColor(C, E.palette()); }
    int ColumnToX(int Col) const { return (Col - 1) * E.fPriv->fCharWidth + E.fPriv->fTextOffset; }

    void ComputeSelection();
    void PaintLine(int nLine);
    void PaintRow(int cRow);
    void PaintPlainRow();
    void PaintPlainRow(const QString &Token);
    void PaintHighlightedRow(int nLine);
    // Word wrap: the rows of one line; its tokens are scanned once and handed to its rows.
    bool Wraps(int nLine) const;
    void PaintWrappedLine(int nLine);
    void PaintWrappedPlainRows(int vStartRow, int vEndRow, int LineEndRow, int RowStart);
    void PaintWrappedHighlightedRows(int nLine, int vStartRow, int vEndRow, int LineEndRow, int RowStart);
    void PaintRightEdge();
    void AddHighlightToken(QStringView Token, int CharsBefore, TColor Foreground, TColor Background,
                           TFontStyles Style);
    void PaintHighlightToken(bool bFillToEOL);
    void AdjustEndRect();
    void PaintToken(QStringView Token, int CharsBefore, int First, int Last);
    void PaintTabArrows(QStringView Token, int CharsBefore, int First, int Last);

    TCustomLexEdit &E;
    QPainter &Canvas;
    TheTextDrawer &D;
    TLexCustomHighlighter *H = nullptr; // the enabled highlighter, if any
    bool ShowSpecial = false;

    TPaintRect Clip;
    int RowOffset = 0; // display columns of the line before the row being painted (word wrap)
    int FirstRow = 1;
    int LastRow = 0;
    int FirstCol = 1;
    int LastCol = 1;
    int vFirstLine = 1;
    int vLastLine = 0;
    bool bDoRightEdge = false;
    int nRightEdge = 0;
    bool bAnySelection = false;
    TDisplayCoord vSelStart;
    TDisplayCoord vSelEnd;
    // per line
    QString sLine;
    QString sLineExpandedAtWideGlyphs;
    bool bCurrentLine = false;
    bool bSpecialLine = false;
    TColor colFG = clWindowText;
    TColor colBG = clWindow;
    TColor colSelFG = clHighlightText;
    TColor colSelBG = clHighlight;
    TColor colFont = clWindowText;
    // per row
    int nLineSelStart = 0;
    int nLineSelEnd = 0;
    bool bComplexLine = false;
    bool bLineSelected = false;
    TPaintRect rcLine;
    TPaintRect rcToken;
    QColor FillColor;
    // the token accumulator
    QString AccuS;
    int AccuLen = 0;
    int AccuCharsBefore = 0;
    TColor AccuFG = clNone;
    TColor AccuBG = clNone;
    TFontStyles AccuStyle;
};

TColor TLexTextPainter::EditorBG() const {
    if (E.fPriv->fActiveLineColor != clNone && bCurrentLine) return E.fPriv->fActiveLineColor;
    if (E.fPriv->fHighlighter != nullptr) {
        const TLexHighlighterAttributes *A = E.fPriv->fHighlighter->GetDefaultAttribute(LEX_ATTR_WHITESPACE);
        if (A != nullptr && A->Background() != clNone) return A->Background();
    }
    return E.fPriv->fColor;
}

void TLexTextPainter::SetDrawingColors(bool Selected) {
    const TColor BG = Selected ? colSelBG : colBG;
    D.SetBackColor(BG);
    D.SetForeColor(Selected ? colSelFG : colFG);
    FillColor = Resolve(BG);
}

void TLexTextPainter::Fill(int ARight) {
    if (ARight > rcToken.Left) {
        rcToken.Right = ARight;
        Canvas.fillRect(rcToken.ToQRect(), FillColor);
    }
    rcToken.Left = std::max(rcToken.Left, ARight);
}

void TLexTextPainter::Run(TPaintRect AClip, int aFirstRow, int aLastRow, int AFirstCol, int ALastCol) {
    Clip = AClip;
    FirstRow = aFirstRow;
    LastRow = aLastRow;
    FirstCol = AFirstCol;
    LastCol = ALastCol;
    ShowSpecial = E.fPriv->fOptions.Contains(eoShowSpecialChars);
    H = E.fPriv->fHighlighter != nullptr && E.fPriv->fHighlighter->Enabled() ? E.fPriv->fHighlighter
                                                                             : nullptr;
    colFont = clWindowText;
    vFirstLine = E.RowToLine(aFirstRow);
    vLastLine = E.RowToLine(aLastRow);
    const int Gutter = E.fPriv->fGutterWidth;

    if (E.fPriv->fRightEdge > 0) {
        nRightEdge = E.fPriv->fRightEdge * E.fPriv->fCharWidth + E.fPriv->fTextOffset;
        bDoRightEdge = Clip.Left <= nRightEdge && nRightEdge <= Clip.Right;
    }
    if (E.fPriv->fHighlighter != nullptr) E.fPriv->fHighlighter->ResetRange();
    const QColor EditorColor = Resolve(EditorBG());
    // The strip between gutter and text.
    if (Clip.Left < Gutter + 2) {
        const TPaintRect Strip{std::max(Clip.Left, Gutter), Clip.Top, Gutter + 2, Clip.Bottom};
        if (Strip.Right > Strip.Left) Canvas.fillRect(Strip.ToQRect(), EditorColor);
        Clip.Left = Gutter + 2;
    }
    const QColor EdgeColor = Resolve(E.fPriv->fRightEdgeColor);
    if (vLastLine >= vFirstLine && Clip.Right > Clip.Left) {
        ComputeSelection();
        D.SetStyle(FontStylesOf(E.font()));
        TTextDrawingGuard Drawing(D, &Canvas);
        rcLine = Clip;
        rcLine.Left = Gutter + 2;
        rcLine.Bottom = (aFirstRow - E.fPriv->fTopLine) * E.fPriv->fTextHeight;
        AccuS.resize(std::max(128, E.fPriv->fCharsInWindow));
        // Lines hidden by collapsed ranges are skipped.
        for (int nLine = vFirstLine; nLine <= vLastLine; nLine = E.fPriv->fFolding->NextShownLine(nLine)) {
            PaintLine(nLine);
            if (bDoRightEdge)
                Canvas.fillRect(QRect(nRightEdge, rcLine.Top, 1, rcLine.Bottom + 1 - rcLine.Top), EdgeColor);
        }
    }
    // Below the last row.
    TPaintRect Below = Clip;
    Below.Top = std::max(Clip.Top, (aLastRow - E.fPriv->fTopLine + 1) * E.fPriv->fTextHeight);
    if (Below.Top < Below.Bottom && Below.Right > Below.Left) {
        if (E.fPriv->fHighlighter != nullptr) E.fPriv->fHighlighter->ResetRange();
        bCurrentLine = false;
        Canvas.fillRect(Below.ToQRect(), Resolve(EditorBG()));
        if (bDoRightEdge)
            Canvas.fillRect(QRect(nRightEdge, Below.Top, 1, Below.Bottom - Below.Top), EdgeColor);
    }
    // Indent guides, the collapsed-line rule and the collapse marks over the text.
    if (Clip.Right > Clip.Left)
        E.fPriv->fFolding->PaintFoldAttributes(Canvas, Clip.ToQRect(), aFirstRow, aLastRow, vFirstLine,
                                               vLastLine);
}

void TLexTextPainter::ComputeSelection() {
    bAnySelection = false;
    if (E.fPriv->fHideSelection && !E.hasFocus()) return;
    TBufferCoord Start = E.fPriv->fBlockBegin;
    TBufferCoord End = E.fPriv->fBlockEnd;
    if (Start == End) return;
    if (End < Start) std::swap(Start, End);
    if (End.Line < vFirstLine || Start.Line > vLastLine) return;
    bAnySelection = true;
    vSelStart = E.BufferToDisplayPos(Start);
    vSelEnd = E.BufferToDisplayPos(End);
    if (E.fPriv->fActiveSelectionMode == smLine) {
        // Every row of the selected lines.
        vSelStart.Row = E.LineToRow(Start.Line);
        vSelEnd.Row = E.LineToRow(End.Line + 1) - 1;
    }
    if (E.fPriv->fActiveSelectionMode == smColumn && vSelStart.Column > vSelEnd.Column)
        std::swap(vSelStart.Column, vSelEnd.Column);
}

void TLexTextPainter::PaintLine(int nLine) {
    sLine = E.fPriv->fLines->ExpandedStrings(nLine - 1);
    sLineExpandedAtWideGlyphs = E.ExpandAtWideGlyphs(sLine);
    bCurrentLine = nLine == E.fPriv->fCaretY;
    colFG = colFont;
    colBG = EditorBG();
    bSpecialLine = E.DoOnSpecialLineColors(nLine, colFG, colBG);
    if (bSpecialLine) {
        colSelFG = colBG;
        colSelBG = colFG;
    } else {
        colSelFG = E.fPriv->fSelectedColor.Foreground();
        colSelBG = E.fPriv->fSelectedColor.Background();
    }
    if (Wraps(nLine)) {
        PaintWrappedLine(nLine);
        bCurrentLine = false;
        return;
    }
    // Without word wrap and folding every line is one row.
    RowOffset = 0;
    PaintRow(E.LineToRow(nLine));
    if (H != nullptr)
        PaintHighlightedRow(nLine);
    else
        PaintPlainRow();
    bCurrentLine = false;
}

void TLexTextPainter::PaintRow(int cRow) {
    bComplexLine = false;
    nLineSelStart = 0;
    nLineSelEnd = 0;
    if (bAnySelection && vSelStart.Row <= cRow && cRow <= vSelEnd.Row) {
        nLineSelStart = FirstCol;
        nLineSelEnd = LastCol + 1;
        const TLexSelectionMode Mode = E.fPriv->fActiveSelectionMode;
        if (Mode == smColumn || (Mode == smNormal && cRow == vSelStart.Row)) {
            if (vSelStart.Column > LastCol) {
                nLineSelStart = 0;
                nLineSelEnd = 0;
            } else if (vSelStart.Column > FirstCol) {
                nLineSelStart = vSelStart.Column;
                bComplexLine = true;
            }
        }
        if (Mode == smColumn || (Mode == smNormal && cRow == vSelEnd.Row)) {
            if (vSelEnd.Column < FirstCol) {
                nLineSelStart = 0;
                nLineSelEnd = 0;
            } else if (vSelEnd.Column < LastCol) {
                nLineSelEnd = vSelEnd.Column;
                bComplexLine = true;
            }
        }
    }
    rcLine.Top = rcLine.Bottom;
    rcLine.Bottom += E.fPriv->fTextHeight;
    bLineSelected = !bComplexLine && nLineSelStart > 0;
    rcToken = rcLine;
}

void TLexTextPainter::PaintPlainRow() {
    // The row's characters up to LastCol, and the end-of-line glyph when it is visible.
    QString Token = sLineExpandedAtWideGlyphs.left(LastCol);
    if (ShowSpecial && sLineExpandedAtWideGlyphs.size() < LastCol) Token += LexLineBreakGlyph;
    PaintPlainRow(Token);
}

void TLexTextPainter::PaintPlainRow(const QString &Token) {
    D.SetStyle(FontStylesOf(E.font()));
    if (bComplexLine) {
        SetDrawingColors(false);
        rcToken.Left = std::max(rcLine.Left, ColumnToX(FirstCol));
        rcToken.Right = std::min(rcLine.Right, ColumnToX(nLineSelStart));
        PaintToken(Token, 0, FirstCol, nLineSelStart);
        rcToken.Left = std::max(rcLine.Left, ColumnToX(nLineSelEnd));
        rcToken.Right = std::min(rcLine.Right, ColumnToX(LastCol));
        PaintToken(Token, 0, nLineSelEnd, LastCol);
        SetDrawingColors(true);
        rcToken.Left = std::max(rcLine.Left, ColumnToX(nLineSelStart));
        rcToken.Right = std::min(rcLine.Right, ColumnToX(nLineSelEnd));
        PaintToken(Token, 0, nLineSelStart, nLineSelEnd - 1);
    } else {
        SetDrawingColors(bLineSelected);
        PaintToken(Token, 0, FirstCol, LastCol);
    }
}

void TLexTextPainter::PaintHighlightedRow(int nLine) {
    if (nLine == 1)
        H->ResetRange();
    else
        H->SetRange(E.fPriv->fLines->GetRange(nLine - 2));
    H->SetLineExpandedAtWideGlyphs(sLine, sLineExpandedAtWideGlyphs, nLine - 1);
    AccuLen = 0;
    int nTokenPos = 0;
    int nTokenLen = 0;
    const TLexHighlighterAttributes *Attr = nullptr;
    const TFontStyles FontStyle = FontStylesOf(E.font());
    const QStringView Display(sLineExpandedAtWideGlyphs);
    while (!H->GetEol()) {
        nTokenPos = H->GetExpandedTokenPos();
        nTokenLen = int(H->GetExpandedToken().size());
        if (nTokenPos + nTokenLen >= FirstCol) {
            if (nTokenPos + nTokenLen > LastCol) {
                if (nTokenPos > LastCol) break;
                nTokenLen = LastCol - nTokenPos;
            }
            Attr = H->GetTokenAttribute();
            const QStringView Token = Display.mid(nTokenPos, std::max(0, nTokenLen));
            if (Attr != nullptr)
                AddHighlightToken(Token, nTokenPos, Attr->Foreground(), Attr->Background(), Attr->Style());
            else
                AddHighlightToken(Token, nTokenPos, colFG, colBG, FontStyle);
        }
        H->Next();
    }
    if (ShowSpecial && H->GetEol()) {
        // The end-of-line glyph in the whitespace colours, or the comment colours when the line
        // ends inside a comment; the line's own colours when the highlighter has neither.
        const TLexHighlighterAttributes *Comment = H->GetDefaultAttribute(LEX_ATTR_COMMENT);
        if (Attr == nullptr || Attr != Comment) Attr = H->GetDefaultAttribute(LEX_ATTR_WHITESPACE);
        static const QChar Glyph[1] = {LexLineBreakGlyph};
        AddHighlightToken(QStringView(Glyph, 1), nTokenPos + nTokenLen,
                          Attr != nullptr ? Attr->Foreground() : colFG,
                          Attr != nullptr ? Attr->Background() : colBG, TFontStyles());
    }
    PaintHighlightToken(true);
}

void TLexTextPainter::AddHighlightToken(QStringView Token, int CharsBefore, TColor Foreground,
                                        TColor Background, TFontStyles Style) {
    if (Background == clNone || (E.fPriv->fActiveLineColor != clNone && bCurrentLine))
        Background = EditorBG();
    if (Foreground == clNone) Foreground = colFont;
    if (AccuLen > 0) {
        int Spaces = -1; // unknown
        const auto IsSpaces = [&] {
            // Shown as dots, blanks keep their own look like any other character.
            if (Spaces < 0) Spaces = !ShowSpecial && OnlySpaces(Token) ? 1 : 0;
            return Spaces == 1;
        };
        const bool StyleFits = Style == AccuStyle || (!Style.Contains(fsUnderline) &&
                                                      !AccuStyle.Contains(fsUnderline) && IsSpaces());
        const bool ColourFits = (bSpecialLine && !E.fPriv->fOptions.Contains(eoSpecialLineDefaultFg)) ||
                                bLineSelected ||
                                (Background == AccuBG && (Foreground == AccuFG || IsSpaces()));
        // A token that continues the run exactly is appended; anything else starts a new run.
        if (StyleFits && ColourFits && CharsBefore == AccuCharsBefore + AccuLen) {
            const int Len = int(Token.size());
            if (AccuLen + Len > AccuS.size()) AccuS.resize(AccuLen + Len + 32);
            std::copy(Token.begin(), Token.end(), AccuS.begin() + AccuLen);
            AccuLen += Len;
            return;
        }
        PaintHighlightToken(false);
    }
    const int Len = int(Token.size());
    if (Len > AccuS.size()) AccuS.resize(Len + 32);
    std::copy(Token.begin(), Token.end(), AccuS.begin());
    AccuLen = Len;
    AccuCharsBefore = CharsBefore;
    AccuFG = Foreground;
    AccuBG = Background;
    AccuStyle = Style;
}

void TLexTextPainter::PaintHighlightToken(bool bFillToEOL) {
    const int nC1 = std::max(FirstCol, AccuCharsBefore + 1);
    const int nC2 = std::min(LastCol, AccuCharsBefore + AccuLen + 1);
    bool bU1 = false, bSel = bLineSelected, bU2 = false, bComplexToken = false;
    if (bComplexLine) {
        bU1 = nC1 < nLineSelStart;
        bSel = nC1 < nLineSelEnd && nC2 >= nLineSelStart;
        bU2 = nC2 >= nLineSelEnd;
        bComplexToken = bSel && (bU1 || bU2);
    }
    const QStringView Token(AccuS.constData(), AccuLen);
    if (AccuLen > 0) {
        if (!bSpecialLine) {
            colBG = AccuBG;
            colFG = AccuFG;
        } else if (E.fPriv->fOptions.Contains(eoSpecialLineDefaultFg)) {
            colFG = AccuFG;
        }
        D.SetStyle(AccuStyle);
        if (bComplexToken) {
            if (bU1) {
                SetDrawingColors(false);
                rcToken.Right = ColumnToX(nLineSelStart);
                PaintToken(Token, AccuCharsBefore, nC1, nLineSelStart);
            }
            SetDrawingColors(true);
            const int nC1Sel = std::max(nLineSelStart, nC1);
            const int nC2Sel = std::min(nLineSelEnd, nC2);
            rcToken.Right = ColumnToX(nC2Sel);
            PaintToken(Token, AccuCharsBefore, nC1Sel, nC2Sel);
            if (bU2) {
                SetDrawingColors(false);
                rcToken.Right = ColumnToX(nC2);
                PaintToken(Token, AccuCharsBefore, nLineSelEnd, nC2);
            }
        } else {
            SetDrawingColors(bSel);
            rcToken.Right = ColumnToX(nC2);
            PaintToken(Token, AccuCharsBefore, nC1, nC2);
        }
    }
    if (bFillToEOL && rcToken.Left < rcLine.Right) {
        if (!bSpecialLine) colBG = EditorBG();
        const bool Overhang = AccuLen > 0 && !AccuStyle.Empty();
        const auto FillTo = [&](bool Selected, int ARight) {
            if (rcToken.Left >= ARight) return;
            SetDrawingColors(Selected);
            if (Overhang) AdjustEndRect();
            Fill(ARight);
        };
        if (bComplexLine) {
            FillTo(false, ColumnToX(nLineSelStart));
            FillTo(true, ColumnToX(nLineSelEnd));
            FillTo(false, rcLine.Right);
        } else {
            FillTo(bLineSelected, rcLine.Right);
        }
    }
}

void TLexTextPainter::AdjustEndRect() {
    // The ink of a bold or italic last glyph may reach past its cell; the fill leaves it.
    const auto &Font = D.FontStock().FontHandle();
    if (!Font || AccuLen <= 0) return;
    const QChar Last = AccuS[AccuLen - 1];
    const TheFontHandle::TGlyph &G = Font->Glyph(Last.unicode());
    const int Real = int(std::ceil(G.InkRight));
    const int Normal =
        D.CharColumns(QStringView(&AccuS.constData()[AccuLen - 1], 1), 0) * E.fPriv->fCharWidth;
    // Only the part beyond the run's last cell, which the run's own rectangle already covers.
    const int RunEnd = ColumnToX(AccuCharsBefore + AccuLen + 1);
    if (Real > Normal && rcToken.Left == RunEnd) rcToken.Left += Real - Normal;
}

void TLexTextPainter::PaintToken(QStringView Token, int CharsBefore, int First, int Last) {
    if (Last < First || rcToken.Right <= rcToken.Left) {
        rcToken.Left = std::max(rcToken.Left, rcToken.Right);
        return;
    }
    int nX = ColumnToX(First);
    const int TokenLen = int(Token.size());
    int p = First - CharsBefore; // 1-based position in the token
    const int q = Last - CharsBefore;
    int Count = 0;
    QString Text;
    if (p <= TokenLen) {
        // A glyph cut at the left edge is drawn from its own first cell and clipped: a low
        // surrogate half goes back to its high half, fillers lead to their glyph.
        if (p > 1 && Token[p - 1].isLowSurrogate() && Token[p - 2].isHighSurrogate()) {
            --p;
            nX -= E.fPriv->fCharWidth;
        }
        int FillerCount = 0;
        while (p + FillerCount <= TokenLen && Token[p + FillerCount - 1] == FillerChar)
            ++FillerCount;
        const int Glyph = p + FillerCount; // 1-based
        if (Glyph <= TokenLen && FillerCount == 0 && Token[Glyph - 1].unicode() > 255) {
            const int Cols = D.CharColumns(Token, Glyph - 1);
            nX -= std::max(0, Cols - 1) * E.fPriv->fCharWidth;
        }
        Count = std::min(q - p + 1, TokenLen - p + 1);
        // One plain neighbour on either side is drawn as well, clipped away: the ink a bold or
        // italic glyph puts into the next cell then does not depend on where the run was cut.
        const auto Plain = [&](int APos) {
            return APos >= 1 && APos <= TokenLen && Token[APos - 1].unicode() <= 255;
        };
        if (Plain(p - 1) && Plain(p)) {
            --p;
            ++Count;
            nX -= E.fPriv->fCharWidth;
        }
        if (Plain(p + Count) && Plain(p + Count - 1)) ++Count;
        Text = E.ShrinkAtWideGlyphs(Token.toString(), p, Count);
        // Special characters: blanks as dots, tabs as blanks (their arrows come after).
        for (QChar &c : Text) {
            if (c == QLatin1Char(' ')) {
                if (ShowSpecial) c = LexSpaceGlyph;
            } else if (c == QLatin1Char('\t')) {
                c = QLatin1Char(' ');
            }
        }
    }
    D.ExtTextOut(nX, rcToken.Top, TTextOutOptions{tooOpaque, tooClipped}, rcToken.ToQRect(), Text.constData(),
                 Count, E.fPriv->fOptions.Contains(eoShowLigatures) && !bCurrentLine);
    if (ShowSpecial && p <= TokenLen) PaintTabArrows(Token, CharsBefore, First, Last);
    rcToken.Left = rcToken.Right;
}

void TLexTextPainter::PaintTabArrows(QStringView Token, int CharsBefore, int First, int Last) {
    // Every run of tab cells (one tab) that overlaps the drawn columns gets its arrow centred
    // over the run, clipped to the drawn rectangle, so the picture does not depend on where a
    // row was cut.
    const int TokenLen = int(Token.size());
    int p = std::max(1, First - CharsBefore);
    const int q = std::min(TokenLen, Last - CharsBefore);
    while (p <= q) {
        if (Token[p - 1] != QLatin1Char('\t')) {
            ++p;
            continue;
        }
        // The tab's first cell: back to the previous tab stop within the run.
        int Start = p;
        // Tab stops count from the line's start (a wrapped row starts RowOffset columns in).
        while (Start > 1 && Token[Start - 2] == QLatin1Char('\t') &&
               (Start + CharsBefore + RowOffset - 1) % E.fPriv->fTabWidth != 0)
            --Start;
        int TabLen = 1;
        while ((Start + CharsBefore + RowOffset + TabLen - 1) % E.fPriv->fTabWidth != 0)
            ++TabLen;
        int nX = ColumnToX(CharsBefore + Start + TabLen / 2 - 1);
        nX += TabLen % 2 == 0 ? E.fPriv->fCharWidth / 2 : E.fPriv->fCharWidth;
        const TPaintRect Cell{std::max(nX, rcToken.Left), rcToken.Top,
                              std::min(nX + E.fPriv->fCharWidth, rcToken.Right), rcToken.Bottom};
        if (Cell.Right > Cell.Left) {
            static const QChar Arrow[1] = {LexTabGlyph};
            D.ExtTextOut(nX, rcToken.Top, TTextOutOptions{tooOpaque, tooClipped}, Cell.ToQRect(), Arrow, 1,
                         false);
        }
        p = Start + TabLen;
    }
}

// ---- word wrap: the rows of one line ---------------------------------------------------------------

bool TLexTextPainter::Wraps(int nLine) const {
    const TLexWordWrapPlugin *W = E.fPriv->fWordWrapPlugin;
    return W != nullptr && W->MaxRowLength() > 0 && nLine >= 1 && nLine <= W->LineCount();
}

void TLexTextPainter::PaintRightEdge() {
    if (bDoRightEdge)
        Canvas.fillRect(QRect(nRightEdge, rcLine.Top, 1, rcLine.Bottom + 1 - rcLine.Top),
                        Resolve(E.fPriv->fRightEdgeColor));
}

void TLexTextPainter::PaintWrappedLine(int nLine) {
    const int LineFirstRow = E.LineToRow(nLine);
    const int LineEndRow = E.LineToRow(nLine + 1) - 1; // the line's last row
    const int vStartRow = std::max(LineFirstRow, FirstRow);
    const int vEndRow = std::max(std::min(LineEndRow, LastRow), vStartRow);
    // The display column before the first painted row: the rows of the line above the clip.
    int RowStart = 0;
    for (int r = LineFirstRow; r < vStartRow; ++r)
        RowStart += E.GetRowLength(r);
    if (H != nullptr)
        PaintWrappedHighlightedRows(nLine, vStartRow, vEndRow, LineEndRow, RowStart);
    else
        PaintWrappedPlainRows(vStartRow, vEndRow, LineEndRow, RowStart);
}

void TLexTextPainter::PaintWrappedPlainRows(int vStartRow, int vEndRow, int LineEndRow, int RowStart) {
    const int Limit = std::min(LastCol, int(E.fPriv->fWordWrapPlugin->MaxRowLength()) + 1);
    for (int cRow = vStartRow; cRow <= vEndRow; ++cRow) {
        const int Len = E.GetRowLength(cRow);
        RowOffset = RowStart;
        PaintRow(cRow);
        QString Token = sLineExpandedAtWideGlyphs.mid(RowStart, Len);
        // The end-of-line glyph after the last row's characters.
        if (ShowSpecial && cRow == LineEndRow && Len < Limit) Token += LexLineBreakGlyph;
        PaintPlainRow(Token);
        PaintRightEdge();
        RowStart += Len;
    }
}

void TLexTextPainter::PaintWrappedHighlightedRows(int nLine, int vStartRow, int vEndRow, int LineEndRow,
                                                  int RowStart) {
    if (nLine == 1)
        H->ResetRange();
    else
        H->SetRange(E.fPriv->fLines->GetRange(nLine - 2));
    H->SetLineExpandedAtWideGlyphs(sLine, sLineExpandedAtWideGlyphs, nLine - 1);
    const TFontStyles FontStyle = FontStylesOf(E.font());
    const QStringView Display(sLineExpandedAtWideGlyphs);
    int cRow = vStartRow;
    int RowEnd = RowStart + E.GetRowLength(cRow);
    RowOffset = RowStart;
    PaintRow(cRow);
    AccuLen = 0;
    // Ends the current row; false when it was the last one to paint.
    const auto NextRow = [&] {
        PaintHighlightToken(true);
        PaintRightEdge();
        if (cRow >= vEndRow) return false;
        ++cRow;
        RowStart = RowEnd;
        RowEnd = RowStart + E.GetRowLength(cRow);
        RowOffset = RowStart;
        PaintRow(cRow);
        AccuLen = 0;
        return true;
    };
    const TLexHighlighterAttributes *Attr = nullptr;
    int TokenEnd = 0;
    bool Done = false;
    // One scan of the line: each token is cut at the row ends it crosses.
    while (!Done && !H->GetEol()) {
        const int nTokenPos = H->GetExpandedTokenPos();
        TokenEnd = nTokenPos + int(H->GetExpandedToken().size());
        if (TokenEnd > RowStart) {
            Attr = H->GetTokenAttribute();
            const TColor FG = Attr != nullptr ? Attr->Foreground() : colFG;
            const TColor BG = Attr != nullptr ? Attr->Background() : colBG;
            const TFontStyles Style = Attr != nullptr ? Attr->Style() : FontStyle;
            int From = std::max(nTokenPos, RowStart);
            for (;;) {
                if (From >= RowEnd) {
                    if (!NextRow()) {
                        Done = true;
                        break;
                    }
                    continue;
                }
                const int To = std::min(TokenEnd, RowEnd);
                AddHighlightToken(Display.mid(From, To - From), From - RowStart, FG, BG, Style);
                if (TokenEnd <= RowEnd) break;
                From = RowEnd;
            }
        }
        if (!Done) H->Next();
    }
    if (Done) return;
    // The rows after the last token; the end-of-line glyph on the line's last row.
    for (;;) {
        if (ShowSpecial && cRow == LineEndRow && H->GetEol()) {
            const TLexHighlighterAttributes *Comment = H->GetDefaultAttribute(LEX_ATTR_COMMENT);
            if (Attr == nullptr || Attr != Comment) Attr = H->GetDefaultAttribute(LEX_ATTR_WHITESPACE);
            static const QChar Glyph[1] = {LexLineBreakGlyph};
            AddHighlightToken(QStringView(Glyph, 1), std::max(TokenEnd, RowStart) - RowStart,
                              Attr != nullptr ? Attr->Foreground() : colFG,
                              Attr != nullptr ? Attr->Background() : colBG, TFontStyles());
        }
        if (!NextRow()) break;
    }
}

// ---- the editor's side ------------------------------------------------------------------------

bool TCustomLexEdit::DoOnSpecialLineColors(int Line, TColor &Foreground, TColor &Background) {
    bool Special = false;
    if (OnSpecialLineColors) OnSpecialLineColors(this, Line, Special, Foreground, Background);
    return Special;
}

void TCustomLexEdit::PaintTextLines(QPainter &ACanvas, const QRect &AClip, int aFirstRow, int aLastRow,
                                    int FirstCol, int LastCol) {
    TLexTextPainter(*this, ACanvas).Run(TPaintRect::Of(AClip), aFirstRow, aLastRow, FirstCol, LastCol);
}

void TCustomLexEdit::paintArea(QPainter &APainter, const QRect &AClip) {
    const TPaintRect Clip = TPaintRect::Of(AClip);
    if (Clip.Right <= Clip.Left || Clip.Bottom <= Clip.Top) return;
    const int CharWidth = std::max(1, fPriv->fCharWidth);
    const int TextHeight = std::max(1, fPriv->fTextHeight);
    int nC1 = fPriv->fLeftChar;
    if (Clip.Left > fPriv->fGutterWidth + 2) nC1 += (Clip.Left - fPriv->fGutterWidth - 2) / CharWidth;
    const int nC2 = fPriv->fLeftChar + (Clip.Right - fPriv->fGutterWidth - 2 + CharWidth - 1) / CharWidth;
    const int nL1 = std::max(fPriv->fTopLine + Clip.Top / TextHeight, fPriv->fTopLine);
    const int nL2 =
        MinMax(fPriv->fTopLine + (Clip.Bottom + TextHeight - 1) / TextHeight, 1, DisplayLineCount());
    APainter.save();
    APainter.setClipRect(AClip);
    fPriv->fPaintingPainter = &APainter;
    struct TRestore {
        TCustomLexEdit &E;
        QPainter &P;
        ~TRestore() {
            E.fPriv->fPaintingPainter = nullptr;
            P.restore();
        }
    } Restore{*this, APainter};
    if (Clip.Left < fPriv->fGutterWidth) {
        TPaintRect G = Clip;
        G.Right = fPriv->fGutterWidth;
        PaintGutter(APainter, G.ToQRect(), nL1, nL2);
    }
    if (Clip.Right > fPriv->fGutterWidth) {
        TPaintRect T = Clip;
        T.Left = std::max(T.Left, fPriv->fGutterWidth);
        PaintTextLines(APainter, T.ToQRect(), nL1, nL2, nC1, nC2);
    }
    for (TLexEditPlugin *Plugin : std::vector<TLexEditPlugin *>(fPriv->fPlugins))
        if (Plugin->Handlers().Contains(phAfterPaint)) Plugin->AfterPaint(APainter, AClip, nL1, nL2);
    if (OnPaint) {
        APainter.setFont(font());
        APainter.setBrush(ColorToQColor(fPriv->fColor, palette()));
        OnPaint(this, APainter);
    }
    DoOnPaintTransient(ttAfter);
}

void TCustomLexEdit::DoOnPaintTransientEx(TTransientType TransientType, bool Lock) {
    bool DoTransient = fPriv->FPaintTransientLock == 0;
    if (Lock) {
        if (TransientType == ttBefore) {
            ++fPriv->FPaintTransientLock;
        } else {
            fPriv->FPaintTransientLock = std::max(0, fPriv->FPaintTransientLock - 1);
            DoTransient = fPriv->FPaintTransientLock == 0;
        }
    }
    if (!DoTransient) return;
    // Outside a paint there is no painter: plug-ins and the handler are told without one and
    // ask for an update of what they draw.
    for (TLexEditPlugin *Plugin : std::vector<TLexEditPlugin *>(fPriv->fPlugins))
        if (Plugin->Handlers().Contains(phPaintTransient))
            Plugin->PaintTransient(fPriv->fPaintingPainter, TransientType);
    if (OnPaintTransient) OnPaintTransient(this, fPriv->fPaintingPainter, TransientType);
}

void TCustomLexEdit::paintEvent(QPaintEvent *AEvent) {
    common::Guarded([&] {
        QPainter Painter(viewport());
        paintArea(Painter, AEvent->rect());
        // The input method's composition string, over the text at the caret.
        PaintPreedit(Painter);
        // The caret last, over everything.
        fPriv->PaintCaret(Painter, AEvent->rect());
    });
}

// ---- wide glyphs ----------------------------------------------------------------------------

QString TCustomLexEdit::ShrinkAtWideGlyphs(const QString &S, int First, int &CharCount) const {
    const int Len = int(S.size());
    const int From = std::max(First, 1) - 1; // 0-based
    const int To = std::min(Len, From + std::max(CharCount, 0));
    QString Result;
    Result.reserve(std::max(0, To - From));
    int i = From;
    while (i < To) {
        if (S[i] != FillerChar) {
            Result += S[i++];
            continue;
        }
        // A run of U+E000: only the cells a following wide glyph asks for are fillers, the
        // characters before them are the text's own.
        int RunStart = i;
        while (RunStart > 0 && S[RunStart - 1] == FillerChar)
            --RunStart;
        int RunEnd = i;
        while (RunEnd < Len && S[RunEnd] == FillerChar)
            ++RunEnd;
        int Fillers = 0;
        if (RunEnd < Len && S[RunEnd].unicode() > 255 && fPriv->fTextDrawer)
            Fillers = std::min(RunEnd - RunStart, fPriv->fTextDrawer->CharColumns(S, RunEnd) - 1);
        const int Own = RunEnd - Fillers; // characters before Own are the text's
        for (; i < std::min(RunEnd, To); ++i)
            if (i < Own) Result += S[i];
    }
    CharCount = int(Result.size());
    return Result;
}

// ---- invalidation -------------------------------------------------------------------------------

void TCustomLexEdit::InvalidateRect(const QRect &aRect) {
    if (fPriv->fDestroying || aRect.isEmpty()) return;
    if (fPriv->fPaintLock > 0 || fPriv->fStateFlags.Contains(sfLinesChanging))
        fPriv->fInvalidateRect = fPriv->fInvalidateRect.united(aRect);
    else
        viewport()->update(aRect);
}

void TLexEditPrivate::InvalidateRows(int FirstLine, int LastLine, int ALeft, int ARight) {
    if (fTextHeight <= 0 || ARight <= ALeft) return;
    const int Height = Ed.viewport()->height();
    int Top = 0;
    int Bottom = Height;
    if (FirstLine > 0) Top = std::max(0, (Ed.LineToRow(FirstLine) - fTopLine) * fTextHeight);
    // Down to the last row of LastLine (the row before the next line's first).
    if (LastLine > 0 && LastLine < INT_MAX)
        Bottom = std::min<int64_t>(Height, (int64_t(Ed.LineToRow(LastLine + 1)) - fTopLine) * fTextHeight);
    if (Bottom > Top) Ed.InvalidateRect(QRect(ALeft, Top, ARight - ALeft, Bottom - Top));
}

void TCustomLexEdit::InvalidateLines(int FirstLine, int LastLine) {
    fPriv->InvalidateRows(FirstLine, LastLine, fPriv->fGutterWidth, viewport()->width());
}

void TCustomLexEdit::InvalidateGutterLines(int FirstLine, int LastLine) {
    if (FirstLine != -1 || LastLine != -1) FirstLine = std::max(FirstLine, 1);
    fPriv->InvalidateRows(FirstLine, LastLine, 0, fPriv->fGutterWidth);
}

void TCustomLexEdit::InvalidateGutterLine(int aLine) {
    if (aLine >= 1 && aLine <= fPriv->fLines->Count()) InvalidateGutterLines(aLine, aLine);
}

void TCustomLexEdit::InvalidateSelection() {
    if (fPriv->fBlockBegin == fPriv->fBlockEnd) return;
    const TBufferCoord B = BlockBegin();
    const TBufferCoord E = BlockEnd();
    InvalidateLines(B.Line, E.Line);
}

void TCustomLexEdit::InvalidateAll() {
    InvalidateRect(viewport()->rect());
}

void TCustomLexEdit::FlushPendingInvalidation() {
    if (fPriv->fPaintLock > 0 || fPriv->fStateFlags.Contains(sfLinesChanging) ||
        fPriv->fInvalidateRect.isEmpty())
        return;
    const QRect R = fPriv->fInvalidateRect;
    fPriv->fInvalidateRect = QRect();
    if (!fPriv->fDestroying) viewport()->update(R);
}

// ---- text drawer ----------------------------------------------------------------------------------

void TCustomLexEdit::SetTextDrawer(std::unique_ptr<TheTextDrawer> ADrawer) {
    if (!ADrawer) return;
    fPriv->fTextDrawer = std::move(ADrawer);
    fPriv->fTextDrawer->SetPalette(palette());
    fPriv->LexFontChanged();
}

} // namespace lexedit

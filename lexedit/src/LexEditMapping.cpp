// SPDX-License-Identifier: MIT
// Mapping between buffer positions, display positions and character offsets, and the word rules
// of the editor.
//
// With word wrap the word-wrap plug-in turns a column of a line into a column of one of its rows
// and back; the walk over the characters stays the same.
//
// Column rule: a tab advances to the next multiple of the tab width; every other code unit takes
// the columns the text drawer gives it (one for codes up to 255, at least one otherwise, so a
// zero-width mark or a lone surrogate still has a cell); a surrogate pair is one glyph whose
// columns are those of its two halves together. Positions past the end of a line take one column
// each.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "LexEditHelpers.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditWordWrap.h"
#include "lexedit/LexTextDrawer.h"

#include <algorithm>
#include <climits>

namespace lexedit {

int TCustomLexEdit::DisplayLineCount() const {
    const int Count = fPriv->fLines->Count();
    if (!fPriv->fRowMap || Count == 0) return Count;
    // Lines the row map has not mapped yet (no window width so far) are one row each.
    return fPriv->fRowMap->RowCount() + std::max(0, Count - fPriv->fRowMap->LineCount());
}

int TCustomLexEdit::LineToRow(int aLine) const {
    return fPriv->fRowMap ? fPriv->fRowMap->LineToRow(aLine) : aLine;
}

int TCustomLexEdit::RowToLine(int aRow) const {
    return fPriv->fRowMap ? fPriv->fRowMap->RowToLine(aRow) : aRow;
}

int TCustomLexEdit::GetRowLength(int aRow) const {
    if (fPriv->fRowMap && aRow >= 1 && aRow <= fPriv->fRowMap->RowCount())
        return fPriv->fRowMap->GetRowLength(aRow);
    return fPriv->fLines->ExpandedStringLengths(RowToLine(aRow) - 1);
}

int TLexEditPrivate::LineLength(int ALine) const {
    if (ALine < 1 || ALine > fLines->Count()) return 0;
    return fLines->LineCharLength(ALine - 1);
}

int TLexEditPrivate::CharColumnsAt(QStringView ALine, int AIndex, int ACol) const {
    const QChar c = ALine[AIndex];
    if (c == QLatin1Char('\t')) return fTabWidth - ACol % fTabWidth;
    if (c.unicode() <= 255) return 1;
    if (IsSurrogatePairAt(ALine, AIndex))
        return fTextDrawer->CharColumns(ALine, AIndex) + 1; // the low half takes one more
    return fTextDrawer->CharColumns(ALine, AIndex);
}

QString TCustomLexEdit::ExpandAtWideGlyphs(const QString &S) const {
    if (!fPriv->fTextDrawer) return S;
    const QStringView V(S);
    const int n = int(S.size());
    int i = int(IndexOfFirstAbove255(V));
    if (i == n) return S;
    QString Result;
    Result.reserve(n + n / 2);
    Result.append(V.left(i));
    while (i < n) {
        const QChar c = V[i];
        if (c.unicode() <= 255 || c.isLowSurrogate()) {
            Result.append(c);
            ++i;
            continue;
        }
        // Tabs are already expanded here (one tab character per column), so the drawer's
        // columns apply; a pair's fillers go before its high half.
        const int Cols = fPriv->fTextDrawer->CharColumns(V, i);
        for (int k = 1; k < Cols; ++k)
            Result.append(FillerChar);
        Result.append(c);
        ++i;
    }
    return Result;
}

TDisplayCoord TCustomLexEdit::BufferToDisplayPos(const TBufferCoord &p) const {
    TDisplayCoord Result = fPriv->LineColumnOf(p);
    if (fPriv->fRowMap && Result.Row >= 1 && Result.Column >= 1)
        Result = fPriv->fRowMap->BufferToDisplayPos(BufferCoord(Result.Column, Result.Row));
    return Result;
}

TDisplayCoord TLexEditPrivate::LineColumnOf(const TBufferCoord &p) const {
    TDisplayCoord Result{p.Char, p.Line};
    if (p.Line > fLines->Count()) return Result;
    const QString S = p.Line >= 1 ? fLines->Get(p.Line - 1) : QString();
    const QStringView V(S);
    const int Len = int(S.size());
    const int64_t Walk = int64_t(p.Char) - 1; // code units before the position
    int64_t Col = 0;
    int i = 0;
    while (i < Walk && i < Len) {
        if (IsSurrogatePairAt(V, i) && i + 1 < Walk) {
            Col += CharColumnsAt(V, i, int(Col));
            i += 2;
        } else {
            // A position between the halves of a pair sees only the high half's columns.
            Col += IsSurrogatePairAt(V, i) ? fTextDrawer->CharColumns(V, i) : CharColumnsAt(V, i, int(Col));
            ++i;
        }
    }
    if (Walk > Len) Col += Walk - Len; // past the end: one column each
    Result.Column = ClampToInt(Col + 1);
    return Result;
}

TBufferCoord TCustomLexEdit::DisplayToBufferPos(const TDisplayCoord &p) const {
    if (fPriv->fRowMap && p.Row >= 1 && p.Column >= 1) {
        const TBufferCoord InLine = fPriv->fRowMap->DisplayToBufferPos(p);
        return fPriv->CharOfLineColumn(DisplayCoord(InLine.Char, InLine.Line));
    }
    return fPriv->CharOfLineColumn(p);
}

TBufferCoord TLexEditPrivate::CharOfLineColumn(const TDisplayCoord &p) const {
    TBufferCoord Result{p.Column, p.Row};
    if (p.Row < 1 || p.Row > fLines->Count()) return Result;
    const QString S = fLines->Get(p.Row - 1);
    const QStringView V(S);
    const int Len = int(S.size());
    int64_t Col = 0; // columns before character i
    int i = 0;
    while (i < Len) {
        const int W = CharColumnsAt(V, i, int(Col));
        if (Col + W >= p.Column) break; // the column lies on character i
        Col += W;
        i += IsSurrogatePairAt(V, i) ? 2 : 1;
    }
    if (i < Len || Col >= p.Column) {
        Result.Char = i + 1;
    } else {
        Result.Char = ClampToInt(int64_t(Len) + 1 + (int64_t(p.Column) - 1 - Col));
    }
    if (Result.Char < 1) Result.Char = 1;
    return Result;
}

// ---- character offsets ------------------------------------------------------------------------

int TCustomLexEdit::RowColToCharIndex(const TBufferCoord &RowCol) const {
    const int i = std::max(std::min(RowCol.Line, fPriv->fLines->Count()) - 1, 0);
    return ClampToInt(int64_t(fPriv->fLines->LineCharIndex(i)) + 2 * int64_t(i) + RowCol.Char - 1);
}

TBufferCoord TCustomLexEdit::CharIndexToRowCol(int Index) const {
    const int Count = fPriv->fLines->Count();
    if (Count == 0 || Index < 0) return BufferCoord(1, 1);
    // Offset of line i: its cumulative character index plus two per line break before it.
    auto Offset = [this](int i) { return int64_t(fPriv->fLines->LineCharIndex(i)) + 2 * int64_t(i); };
    const int64_t Last = Offset(Count - 1);
    if (Index > Last + fPriv->fLines->LineCharLength(Count - 1) + 1) return BufferCoord(1, Count + 1);
    int Lo = 0;
    int Hi = Count - 1;
    while (Lo < Hi) { // the last line whose offset is at most Index
        const int Mid = Lo + (Hi - Lo + 1) / 2;
        if (Offset(Mid) <= Index)
            Lo = Mid;
        else
            Hi = Mid - 1;
    }
    return BufferCoord(int(Index - Offset(Lo) + 1), Lo + 1);
}

// ---- word rules -------------------------------------------------------------------------------

namespace {

bool IsDefaultWordBreak(char16_t c) {
    return c <= 47 || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 || (c >= 123 && c <= 126) ||
           c == 167 || c == 176 || c == 180;
}

} // namespace

bool TCustomLexEdit::IsWordBreakChar(QChar AChar) const {
    if (fPriv->fHighlighter != nullptr) return fPriv->fHighlighter->IsWordBreakChar(AChar);
    const char16_t c = AChar.unicode();
    if (c > 255) return false;
    if (fPriv->FAdditionalIdentChars.Contains(c)) return false;
    return IsDefaultWordBreak(c) || fPriv->FAdditionalWordBreakChars.Contains(c);
}

bool TCustomLexEdit::IsIdentChar(QChar AChar) const {
    if (fPriv->fHighlighter != nullptr) return fPriv->fHighlighter->IsIdentChar(AChar);
    const char16_t c = AChar.unicode();
    if (c > 255 || IsWordBreakChar(AChar)) return false;
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           fPriv->FAdditionalIdentChars.Contains(c);
}

bool TCustomLexEdit::IsWhiteChar(QChar AChar) const {
    if (fPriv->fHighlighter != nullptr) return fPriv->fHighlighter->IsWhiteChar(AChar);
    if (AChar.unicode() <= 32) return true;
    return !IsIdentChar(AChar) && !IsWordBreakChar(AChar);
}

TBufferCoord TCustomLexEdit::WordStartEx(const TBufferCoord &XY) const {
    if (XY.Line < 1 || XY.Line > fPriv->fLines->Count()) return XY;
    const QString S = fPriv->fLines->Get(XY.Line - 1);
    int x = int(std::min<int64_t>(std::max(XY.Char, 1), int64_t(S.size()) + 1));
    if (x > 1 && !IsWordBreakChar(S[x - 2]))
        x = StrRScanForCharInCategory(S, x - 1, [this](QChar c) { return IsWordBreakChar(c); }) + 1;
    return BufferCoord(x, XY.Line);
}

TBufferCoord TCustomLexEdit::WordEndEx(const TBufferCoord &XY) const {
    if (XY.Line < 1 || XY.Line > fPriv->fLines->Count()) return XY;
    const QString S = fPriv->fLines->Get(XY.Line - 1);
    int x = StrScanForCharInCategory(S, std::max(XY.Char, 1), [this](QChar c) { return IsWordBreakChar(c); });
    if (x == 0) x = int(S.size()) + 1;
    return BufferCoord(x, XY.Line);
}

TBufferCoord TCustomLexEdit::NextWordPosEx(const TBufferCoord &XY) const {
    const int Count = fPriv->fLines->Count();
    if (XY.Line < 1 || XY.Line > Count) return XY;
    const QString S = fPriv->fLines->Get(XY.Line - 1);
    const int Len = int(S.size());
    const auto Ident = [this](QChar c) { return IsIdentChar(c); };
    const auto Break = [this](QChar c) { return IsWordBreakChar(c); };
    int x = std::max(XY.Char, 1);
    // A position on the last character is still inside the line: the move goes to its end
    // first, and only from there to the next line.
    if (x <= Len) {
        if (IsIdentChar(S[x - 1])) x = StrScanForCharInCategory(S, x, Break);
        if (x > 0) x = StrScanForCharInCategory(S, x, Ident);
        if (x == 0) x = Len + 1;
        return BufferCoord(x, XY.Line);
    }
    if (XY.Line < Count) {
        const QString Next = fPriv->fLines->Get(XY.Line);
        x = StrScanForCharInCategory(Next, 1, Ident);
        return BufferCoord(x == 0 ? 1 : x, XY.Line + 1);
    }
    return BufferCoord(x, XY.Line);
}

TBufferCoord TCustomLexEdit::PrevWordPosEx(const TBufferCoord &XY) const {
    if (XY.Line < 1 || XY.Line > fPriv->fLines->Count()) return XY;
    const QString S = fPriv->fLines->Get(XY.Line - 1);
    const auto Ident = [this](QChar c) { return IsIdentChar(c); };
    const auto Break = [this](QChar c) { return IsWordBreakChar(c); };
    int x = int(std::min<int64_t>(std::max(XY.Char, 1), int64_t(S.size()) + 1));
    if (x > 1) {
        if (IsWordBreakChar(S[x - 2])) x = StrRScanForCharInCategory(S, x - 1, Ident);
        if (x > 0) x = StrRScanForCharInCategory(S, x - 1, Break) + 1;
        if (x == 0) {
            if (XY.Line > 1) return BufferCoord(fPriv->LineLength(XY.Line - 1) + 1, XY.Line - 1);
            return BufferCoord(1, XY.Line);
        }
        return BufferCoord(x, XY.Line);
    }
    if (XY.Line > 1) return BufferCoord(fPriv->LineLength(XY.Line - 1) + 1, XY.Line - 1);
    return BufferCoord(1, XY.Line);
}

QString TCustomLexEdit::GetWordAtRowCol(TBufferCoord XY) const {
    if (XY.Line < 1 || XY.Line > fPriv->fLines->Count()) return QString();
    const QString S = fPriv->fLines->Get(XY.Line - 1);
    const int Len = int(S.size());
    if (XY.Char < 1 || XY.Char > Len || !IsIdentChar(S[XY.Char - 1])) return QString();
    int Start = XY.Char - 1;
    while (Start > 0 && IsIdentChar(S[Start - 1]))
        --Start;
    int End = XY.Char;
    while (End < Len && IsIdentChar(S[End]))
        ++End;
    return S.mid(Start, End - Start);
}

} // namespace lexedit

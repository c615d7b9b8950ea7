// SPDX-License-Identifier: MIT
// Indentation, case and line commands: Tab and Shift+Tab (smart tabs, tab indent), block indent
// and unindent, the four case changes, copying, moving and deleting lines, and the search for
// the matching bracket.
//
// Every text change goes through the replacement primitive (or, for unindent, records one
// crUnindent item), inside one undo block together with the caret and selection records, so one
// undo restores the text, caret and selection before the command. The final caret and selection
// are placed inside that block too: a caret that leaves a line may trim it, and that trim must
// belong to the same step.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "LexEditBrackets.h"
#include "LexEditHelpers.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <QStringList>

#include <algorithm>

namespace lexedit {

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Each opening bracket at an even index, its closing partner at the next odd index.
constexpr char16_t Brackets[8] = {u'(', u')', u'[', u']', u'{', u'}', u'<', u'>'};

bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// Runs AFunction with eoTrimTrailingSpaces switched off, restoring it also on failure.
template <typename F> void WithoutTrim(TLexEditorOptions &AOptions, F &&AFunction) {
    const bool Trim = AOptions.Contains(eoTrimTrailingSpaces);
    AOptions.Exclude(eoTrimTrailingSpaces);
    try {
        AFunction();
    } catch (...) {
        if (Trim) AOptions.Include(eoTrimTrailingSpaces);
        throw;
    }
    if (Trim) AOptions.Include(eoTrimTrailingSpaces);
}

// Simple (one-to-one) case mapping of a code point; the result keeps the number of code units,
// so positions and selections stay valid.
char32_t MapCase(char32_t C, bool AUpper) {
    const char32_t R = AUpper ? QChar::toUpper(C) : QChar::toLower(C);
    return QChar::requiresSurrogates(R) == QChar::requiresSurrogates(C) ? R : C;
}

// The caret and selection placed as a command leaves them; an empty selection lies on the caret
// (the caret and the block ends are limited differently past a line end).
void PlaceCaretAndSelection(TCustomLexEdit &AEdit, const TBufferCoord &ACaret, const TBufferCoord &ABegin,
                            const TBufferCoord &AEnd) {
    if (ABegin == AEnd) {
        AEdit.SetCaretXY(ACaret);
        return;
    }
    AEdit.SetCaretAndSelection(ACaret, ABegin, AEnd);
    // Both ends may have been limited to one place at a line end.
    if (!AEdit.SelAvail()) AEdit.SetCaretXY(AEdit.CaretXY());
}

} // namespace

// ---- Tab and Shift+Tab ----------------------------------------------------------------------------

// A line-mode selection shows whole lines, so Tab and Shift+Tab indent and unindent them, with
// or without tab indent: replacing the characters between the selection's ends would delete text
// the user never saw selected.
bool TLexEditPrivate::LineModeSelection() const {
    return fActiveSelectionMode == smLine && Ed.SelAvail();
}

void TCustomLexEdit::DoTabKey() {
    if (fPriv->LineModeSelection()) {
        DoBlockIndent();
        return;
    }
    if (fPriv->fOptions.Contains(eoTabIndent) && (SelTabBlock() || SelTabLine())) {
        const bool TabLine = SelTabLine();
        DoBlockIndent();
        // A whole line selected stays selected from its first character.
        if (TabLine) {
            if (fPriv->fBlockBegin.Char < fPriv->fBlockEnd.Char)
                fPriv->fBlockBegin.Char = 1;
            else
                fPriv->fBlockEnd.Char = 1;
        }
        return;
    }
    const int L = fPriv->fCaretY;
    bool HasTarget = false;
    int Skipped = 0;
    int TargetColumn = 0;
    if (fPriv->fOptions.Contains(eoSmartTabs) && L > 1) {
        const int D = DisplayX();
        for (int k = std::min(L - 1, fPriv->fLines->Count()); k >= 1 && !HasTarget; --k) {
            const QString S = fPriv->fLines->Get(k - 1);
            const TBufferCoord P = DisplayToBufferPos(DisplayCoord(D, LineToRow(k)));
            if (P.Char > S.size()) continue;
            int i = P.Char - 1;
            while (i < S.size() && !IsBlank(S[i]))
                ++i;
            while (i < S.size() && IsBlank(S[i]))
                ++i;
            HasTarget = true;
            Skipped = i - (P.Char - 1);
            TargetColumn = BufferToDisplayPos(BufferCoord(i + 1, k)).Column;
        }
    }
    TUndoBlockGuard Block(*fPriv->fUndoRedo);
    if (SelAvail()) SetSelText(QString());
    const int X = fPriv->fCaretX;
    QString Text;
    if (fPriv->fOptions.Contains(eoTabsToSpaces)) {
        Text = QString(HasTarget ? Skipped : fPriv->fTabWidth - (X - 1) % fPriv->fTabWidth, QLatin1Char(' '));
    } else if (HasTarget) {
        const QString S = LineText().left(X - 1);
        bool NonBlank = false;
        for (QChar c : S)
            NonBlank = NonBlank || !IsBlank(c);
        if (NonBlank) {
            Text = QStringLiteral("\t");
        } else {
            const int D = DisplayX();
            const int T = TargetColumn;
            if (T > D) {
                const int r = fPriv->fTabWidth - (D - 1) % fPriv->fTabWidth;
                int Rest = T - D;
                if (Rest >= r) {
                    Text += QLatin1Char('\t');
                    Rest -= r;
                    Text += QString(Rest / fPriv->fTabWidth, QLatin1Char('\t'));
                    Rest %= fPriv->fTabWidth;
                }
                Text += QString(Rest, QLatin1Char(' '));
            }
        }
    } else {
        Text = QStringLiteral("\t");
    }
    WithoutTrim(fPriv->fOptions, [&] {
        if (!Text.isEmpty()) SetSelText(Text);
    });
    ForceCaretX(X + int(Text.size()));
    fPriv->fBlockBegin = fPriv->fBlockEnd = CaretXY();
    EnsureCursorPosVisible();
}

void TCustomLexEdit::DoShiftTabKey() {
    if (fPriv->LineModeSelection() ||
        (fPriv->fOptions.Contains(eoTabIndent) && (SelTabBlock() || SelTabLine()))) {
        DoBlockUnindent();
        return;
    }
    const int L = fPriv->fCaretY;
    const int X = fPriv->fCaretX;
    const QString Temp = LineText();
    const int Len = int(Temp.size());
    int NewX = X;
    if (fPriv->fOptions.Contains(eoSmartTabs) && X > 1 && L > 1) {
        for (int k = std::min(L - 1, fPriv->fLines->Count()); k >= 1; --k) {
            const QString S = fPriv->fLines->Get(k - 1);
            if (S.size() < X - 1) continue;
            int j = X - 1;
            while (j > 1 && S[j - 1] == QLatin1Char(' '))
                --j;
            while (j > 1 && S[j - 2] != QLatin1Char(' '))
                --j;
            NewX = j;
            break;
        }
    }
    if (NewX == X) {
        const int p = std::max(1, ((X - 2) / fPriv->fTabWidth) * fPriv->fTabWidth + 1);
        if (X > Len)
            NewX = p;
        else if (p < NewX && X >= 2 && Temp[X - 2] == QLatin1Char('\t'))
            NewX = X - 1;
        else
            while (NewX > p && NewX >= 2 && Temp[NewX - 2] == QLatin1Char(' '))
                --NewX;
    }
    if (NewX < X && IsSurrogatePairAt(Temp, NewX - 2)) --NewX;
    if (NewX == X || NewX < 1) return;
    // Only the blanks directly before the caret go; past them (letters, or the line end) the
    // caret just moves.
    int From = X;
    if (X <= Len + 1)
        while (From > NewX && IsBlank(Temp[From - 2]))
            --From;
    if (From == X) {
        SetCaretXY(BufferCoord(NewX, L));
        return;
    }
    TUndoBlockGuard Block(*fPriv->fUndoRedo);
    {
        // The blanks go as a normal-mode deletion; the selection mode comes back also when the
        // deletion throws.
        common::ScopedValue<TLexSelectionMode> NormalMode(fPriv->fActiveSelectionMode, smNormal);
        WithoutTrim(fPriv->fOptions, [&] {
            TUpdateGuard Lock(*this);
            fPriv->fBlockBegin = BufferCoord(From, L);
            fPriv->fBlockEnd = BufferCoord(X, L);
            SetSelTextPrimitiveEx(smNormal, QString(), true, false);
        });
    }
    ForceCaretX(From);
    fPriv->fBlockBegin = fPriv->fBlockEnd = CaretXY();
}

// ---- block indent and unindent --------------------------------------------------------------------

void TCustomLexEdit::DoBlockIndent() {
    if (!SelAvail()) return;
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    const TBufferCoord Caret = CaretXY();
    const TBufferCoord BB = BlockBegin();
    const TBufferCoord BE = BlockEnd();
    const int Last = std::min(fPriv->LastBlockLine(BE), std::max(fPriv->fLines->Count(), 1));
    const bool Spaces = fPriv->fOptions.Contains(eoTabsToSpaces);
    const QString Unit = Spaces ? QString(fPriv->fTabWidth, QLatin1Char(' ')) : QStringLiteral("\t");
    const int n = int(Unit.size());
    const int X = BE.Char == 1 && Mode != smLine ? 1 : Caret.Char + n;
    QStringList Rows;
    for (int L = BB.Line; L <= Last; ++L)
        Rows << Unit;
    TUndoBlockGuard Block(*fPriv->fUndoRedo);
    const auto Place = [&] {
        PlaceCaretAndSelection(*this, BufferCoord(X, Caret.Line), BufferCoord(BB.Char + n, BB.Line),
                               BufferCoord(BE.Char > 1 ? BE.Char + n : BE.Char, BE.Line));
        fPriv->fActiveSelectionMode = Mode;
    };
    try {
        const TBufferCoord Pos =
            Mode == smColumn ? BufferCoord(std::min(BB.Char, BE.Char), BB.Line) : BufferCoord(1, BB.Line);
        // Undo ends by selecting the block as it was, in the mode it was selected in (the rows
        // go in as a column); re-applying ends by selecting the shifted block.
        fPriv->fUndoRedo->AddUndoChange(crIndent, BB, BE, QString(), Mode);
        InsertBlock(Pos, Pos, Rows.join(CRLF), true);
        fPriv->fUndoRedo->AddUndoChange(crIndent, BufferCoord(BB.Char + n, BB.Line),
                                        BufferCoord(BE.Char + n, BE.Line), QString(), Mode);
    } catch (...) {
        Place();
        throw;
    }
    Place();
}

int TLexEditPrivate::LastBlockLine(const TBufferCoord &ABlockEnd) const {
    // A selection that ends at the start of a line leaves that line alone, except in line mode,
    // where that line is shown selected too.
    return ABlockEnd.Char == 1 && fActiveSelectionMode != smLine ? ABlockEnd.Line - 1 : ABlockEnd.Line;
}

int TLexEditPrivate::GetDelLen(const QString &S, int AFrom) const {
    const int Len = int(S.size());
    if (AFrom >= Len) return 0;
    if (S[AFrom] == QLatin1Char('\t')) return 1;
    int n = 0;
    while (n < fTabWidth && AFrom + n < Len && S[AFrom + n] == QLatin1Char(' '))
        ++n;
    if (n < fTabWidth && AFrom + n < Len && S[AFrom + n] == QLatin1Char('\t')) ++n;
    return n;
}

void TCustomLexEdit::DoBlockUnindent() {
    if (!SelAvail()) return;
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    const bool Column = Mode == smColumn;
    const TBufferCoord Caret = CaretXY();
    const TBufferCoord OldBegin = fPriv->fBlockBegin;
    const TBufferCoord OldEnd = fPriv->fBlockEnd;
    TBufferCoord BB = BlockBegin();
    TBufferCoord BE = BlockEnd();
    const int Last = std::min(fPriv->LastBlockLine(BE), fPriv->fLines->Count());
    const int c = Column ? std::min(BB.Char, BE.Char) : 1;
    QStringList Removed;
    std::vector<int> Counts;
    int X = Caret.Char;
    bool Any = false;
    for (int L = BB.Line; L <= Last; ++L) {
        const QString S = fPriv->fLines->Get(L - 1);
        const int From = Column ? std::min(c - 1, int(S.size())) : 0;
        const int n = fPriv->GetDelLen(S, From);
        Removed << S.mid(From, n);
        Counts.push_back(n);
        if (L == Caret.Line && X != 1) X = std::max(1, X - n);
        Any = Any || n > 0;
    }
    if (!Any) return;
    TUndoBlockGuard Block(*fPriv->fUndoRedo);
    {
        TOwnBufferBracket Bracket(*this);
        for (int L = BB.Line; L <= Last; ++L) {
            const int n = Counts[size_t(L - BB.Line)];
            if (n == 0) continue;
            QString S = fPriv->fLines->Get(L - 1);
            S.remove(c - 1, n);
            fPriv->fLines->Put(L - 1, S);
        }
        fPriv->fUndoRedo->AddUndoChange(crUnindent, BB, BE, Removed.join(CRLF), Mode);
    }
    // The caret stays on its line; outside column mode the selection ends follow the text.
    if (Column) {
        PlaceCaretAndSelection(*this, Caret, OldBegin, OldEnd);
    } else {
        BB.Char = std::max(1, BB.Char - Counts.front());
        if (BE.Line == Last) BE.Char = std::max(1, BE.Char - Counts.back());
        const bool Forward = OldBegin <= OldEnd;
        PlaceCaretAndSelection(*this, BufferCoord(X, Caret.Line), Forward ? BB : BE, Forward ? BE : BB);
    }
    fPriv->fActiveSelectionMode = Mode;
}

// ---- case changes ---------------------------------------------------------------------------------

std::vector<TLexEditPrivate::TCaseRow> TLexEditPrivate::CaseRows() const {
    std::vector<TCaseRow> Rows;
    if (!Ed.SelAvail()) return Rows;
    const TBufferCoord BB = Ed.BlockBegin();
    const TBufferCoord BE = Ed.BlockEnd();
    const int First = std::max(BB.Line, 1);
    const int Last = std::min(BE.Line, fLines->Count());
    int Left = 0;
    int Right = 0;
    if (fActiveSelectionMode == smColumn) {
        const int C1 = Ed.BufferToDisplayPos(fBlockBegin).Column;
        const int C2 = Ed.BufferToDisplayPos(fBlockEnd).Column;
        Left = std::min(C1, C2);
        Right = std::max(C1, C2);
    }
    for (int L = First; L <= Last; ++L) {
        const int Len = LineLength(L);
        int From = 1;
        int To = Len + 1;
        if (fActiveSelectionMode == smColumn) {
            Ed.ColumnRowRange(L, Left, Right, From, To);
        } else if (fActiveSelectionMode == smNormal) {
            if (L == BB.Line) From = BB.Char;
            if (L == BE.Line) To = BE.Char;
        }
        From = std::clamp(From, 1, Len + 1);
        To = std::clamp(To, From, Len + 1);
        Rows.push_back(TCaseRow{L, From, To});
    }
    return Rows;
}

void TCustomLexEdit::ExecCmdCaseChange(TLexEditorCommand Cmd) {
    if (GetReadOnly()) return;
    const TBufferCoord Caret = CaretXY();
    const TBufferCoord OldBegin = fPriv->fBlockBegin;
    const TBufferCoord OldEnd = fPriv->fBlockEnd;
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    const bool HadSelection = SelAvail();
    const auto Restore = [&] {
        if (HadSelection)
            PlaceCaretAndSelection(*this, Caret, OldBegin, OldEnd);
        else
            SetCaretXY(Caret);
        fPriv->fActiveSelectionMode = Mode;
    };
    try {
        if (!HadSelection) SetSelWord();
        // Each row of the selection is converted where it lies, so that the text keeps its
        // place in every mode (a column block is not padded, lines are not re-inserted).
        const std::vector<TLexEditPrivate::TCaseRow> Rows = fPriv->CaseRows();
        // The character before the first one counts as a word break; so does each line end.
        std::vector<QString> Converted;
        bool Changed = false;
        for (const TLexEditPrivate::TCaseRow &R : Rows) {
            const QString S = fPriv->fLines->Get(R.Line - 1).mid(R.From - 1, R.To - R.From);
            QString T;
            T.reserve(S.size());
            bool AfterBreak = true;
            for (int i = 0; i < S.size();) {
                const int Units = IsSurrogatePairAt(S, i) ? 2 : 1;
                const char32_t C = Units == 2 ? QChar::surrogateToUcs4(S[i], S[i + 1]) : S[i].unicode();
                char32_t Out = C;
                switch (Cmd) {
                case ecUpperCase:
                    Out = MapCase(C, true);
                    break;
                case ecLowerCase:
                    Out = MapCase(C, false);
                    break;
                case ecToggleCase:
                    Out = MapCase(C, true) == C ? MapCase(C, false) : MapCase(C, true);
                    break;
                case ecTitleCase:
                    Out = MapCase(C, AfterBreak);
                    break;
                default:
                    break;
                }
                AfterBreak = IsWordBreakChar(S[i]);
                T += QString::fromUcs4(&Out, 1);
                i += Units;
            }
            Changed = Changed || T != S;
            Converted.push_back(T);
        }
        if (Changed) {
            TUndoBlockGuard Block(*fPriv->fUndoRedo);
            fPriv->fUndoRedo->AddUndoChange(crSelection, HadSelection ? OldBegin : Caret,
                                            HadSelection ? OldEnd : Caret, QString(), Mode);
            fPriv->fUndoRedo->AddUndoChange(crCaret, Caret, Caret, QString(), Mode);
            fPriv->fActiveSelectionMode = smNormal;
            for (size_t i = 0; i < Rows.size(); ++i) {
                const TLexEditPrivate::TCaseRow &R = Rows[i];
                if (Converted[i] == fPriv->fLines->Get(R.Line - 1).mid(R.From - 1, R.To - R.From)) continue;
                fPriv->fBlockBegin = BufferCoord(R.From, R.Line);
                fPriv->fBlockEnd = BufferCoord(R.To, R.Line);
                fPriv->fActiveSelectionMode = smNormal;
                SetSelTextPrimitiveEx(smNormal, Converted[i], true, false);
            }
            Restore();
            return;
        }
    } catch (...) {
        Restore();
        throw;
    }
    Restore();
}

// ---- copying and moving lines ---------------------------------------------------------------------

void TCustomLexEdit::ExecCmdCopyOrMoveLine(TLexEditorCommand Command) {
    const int Count = fPriv->fLines->Count();
    if (GetReadOnly() || Count == 0) return;
    const TBufferCoord BB = BlockBegin();
    const TBufferCoord BE = BlockEnd();
    const int F = std::clamp(BB.Line, 1, Count);
    int L = std::clamp(BE.Line, 1, Count);
    // A selection over several lines that ends at the start of a line leaves that line alone.
    if (L > F && BE.Char == 1) --L;
    if (Command == ecMoveLineUp && F == 1) return;
    if (Command == ecMoveLineDown && L >= Count) return;
    const int n = L - F + 1;
    QString Text;
    TBufferCoord From;
    TBufferCoord To;
    int Shift = 0;
    switch (Command) {
    case ecCopyLineUp:
        for (int i = F; i <= L; ++i)
            Text += fPriv->fLines->Get(i - 1) + CRLF;
        From = To = BufferCoord(1, F);
        break;
    case ecCopyLineDown:
        for (int i = F; i <= L; ++i)
            Text += CRLF + fPriv->fLines->Get(i - 1);
        From = To = BufferCoord(fPriv->LineLength(L) + 1, L);
        Shift = n;
        break;
    case ecMoveLineUp:
        for (int i = F; i <= L; ++i)
            Text += fPriv->fLines->Get(i - 1) + CRLF;
        Text += fPriv->fLines->Get(F - 2);
        From = BufferCoord(1, F - 1);
        To = BufferCoord(fPriv->LineLength(L) + 1, L);
        Shift = -1;
        break;
    case ecMoveLineDown:
        Text = fPriv->fLines->Get(L);
        for (int i = F; i <= L; ++i)
            Text += CRLF + fPriv->fLines->Get(i - 1);
        From = BufferCoord(1, F);
        To = BufferCoord(fPriv->LineLength(L + 1) + 1, L + 1);
        Shift = 1;
        break;
    default:
        return;
    }
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    const TBufferCoord Caret = CaretXY();
    const TBufferCoord OldBegin = fPriv->fBlockBegin;
    const TBufferCoord OldEnd = fPriv->fBlockEnd;
    const auto Shifted = [Shift](TBufferCoord P) {
        P.Line += Shift;
        return P;
    };
    DoOnPaintTransientEx(ttBefore, true);
    try {
        TUndoBlockGuard Block(*fPriv->fUndoRedo);
        fPriv->fActiveSelectionMode = smNormal;
        fPriv->fUndoRedo->AddUndoChange(crCaret, Caret, Caret, QString(), Mode);
        fPriv->fUndoRedo->AddUndoChange(crSelection, OldBegin, OldEnd, QString(), Mode);
        // The replacement puts the text where the caret is (the range's start once the range
        // is deleted); set directly, so that no trim of the line the caret leaves changes the
        // range before it is replaced.
        fPriv->fCaretX = From.Char;
        fPriv->fCaretY = From.Line;
        fPriv->fBlockBegin = From;
        fPriv->fBlockEnd = To;
        SetSelTextPrimitiveEx(smNormal, Text, true, false);
        PlaceCaretAndSelection(*this, Shifted(Caret), Shifted(OldBegin), Shifted(OldEnd));
        fPriv->fUndoRedo->AddUndoChange(crSelection, BlockBegin(), BlockEnd(), QString(), Mode);
        fPriv->fUndoRedo->AddUndoChange(crCaret, CaretXY(), CaretXY(), QString(), Mode);
    } catch (...) {
        fPriv->fActiveSelectionMode = Mode;
        DoOnPaintTransientEx(ttAfter, true);
        throw;
    }
    fPriv->fActiveSelectionMode = Mode;
    DoOnPaintTransientEx(ttAfter, true);
}

// ---- deleting lines -------------------------------------------------------------------------------

void TCustomLexEdit::ExecCmdDeleteLine() {
    const int Count = fPriv->fLines->Count();
    if (GetReadOnly() || Count == 0) return;
    if (BlockBegin().Line == Count && fPriv->LineLength(Count) == 0) return;
    DoOnPaintTransient(ttBefore);
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    try {
        TUndoBlockGuard Block(*fPriv->fUndoRedo);
        TUpdateGuard Lock(*this);
        fPriv->fUndoRedo->AddUndoChange(crCaret, CaretXY(), CaretXY(), QString(), Mode);
        fPriv->fUndoRedo->AddUndoChange(crSelection, fPriv->fBlockBegin, fPriv->fBlockEnd, QString(), Mode);
        fPriv->fActiveSelectionMode = smNormal;
        TBufferCoord B = fPriv->fBlockBegin;
        TBufferCoord E = fPriv->fBlockEnd;
        if (B > E) std::swap(B, E);
        B.Line = std::clamp(B.Line, 1, Count);
        E.Line = std::clamp(E.Line, 1, Count);
        B.Char = 1;
        if (!(B.Line != E.Line && E.Char == 1))
            E = E.Line < Count ? BufferCoord(1, E.Line + 1)
                               : BufferCoord(fPriv->LineLength(E.Line) + 1, E.Line);
        SetCaretXYEx(true, B);
        fPriv->fBlockBegin = B;
        fPriv->fBlockEnd = E;
        fPriv->fActiveSelectionMode = smNormal;
        SetSelTextPrimitiveEx(smNormal, QString(), true, false);
        SetCaretXYEx(true, B);
        fPriv->fBlockBegin = fPriv->fBlockEnd = CaretXY();
        fPriv->fUndoRedo->AddUndoChange(crSelection, CaretXY(), CaretXY(), QString(), Mode);
        fPriv->fUndoRedo->AddUndoChange(crCaret, CaretXY(), CaretXY(), QString(), Mode);
    } catch (...) {
        fPriv->fActiveSelectionMode = Mode;
        throw;
    }
    fPriv->fActiveSelectionMode = Mode;
    DoOnPaintTransient(ttAfter);
}

// ---- matching bracket -----------------------------------------------------------------------------

bool TCustomLexEdit::GetHighlighterAttriAtRowCol(const TBufferCoord &XY, QString &Token,
                                                 TLexHighlighterAttributes *&Attri) const {
    int TokenType = 0;
    int Start = 0;
    return GetHighlighterAttriAtRowColEx(XY, Token, TokenType, Start, Attri);
}

bool TCustomLexEdit::GetHighlighterAttriAtRowColEx(const TBufferCoord &XY, QString &Token, int &TokenType,
                                                   int &Start, TLexHighlighterAttributes *&Attri) const {
    Token.clear();
    Attri = nullptr;
    TLexCustomHighlighter *H = fPriv->fHighlighter;
    if (H == nullptr || XY.Line < 1 || XY.Line > fPriv->fLines->Count()) return false;
    const QString S = fPriv->fLines->Get(XY.Line - 1);
    if (XY.Line == 1)
        H->ResetRange();
    else
        H->SetRange(fPriv->fLines->GetRange(XY.Line - 2));
    H->SetLine(S, XY.Line - 1);
    if (XY.Char < 1 || XY.Char > S.size()) return false;
    while (!H->GetEol()) {
        Start = H->GetTokenPos() + 1;
        const QString T = H->GetToken();
        if (Start <= XY.Char && XY.Char < Start + T.size()) {
            Token = T;
            Attri = H->GetTokenAttribute();
            TokenType = H->GetTokenKind();
            return true;
        }
        H->Next();
    }
    return false;
}

TBufferCoord TCustomLexEdit::GetMatchingBracket() const {
    return GetMatchingBracketEx(CaretXY());
}

TBufferCoord TCustomLexEdit::GetMatchingBracketEx(const TBufferCoord &APoint) const {
    const int Count = fPriv->fLines->Count();
    if (APoint.Line < 1 || APoint.Line > Count) return BufferCoord(0, 0);
    const QString First = fPriv->fLines->Get(APoint.Line - 1);
    if (APoint.Char < 1 || APoint.Char > First.size()) return BufferCoord(0, 0);
    const char16_t B = First[APoint.Char - 1].unicode();
    const auto *It = std::find(std::begin(Brackets), std::end(Brackets), B);
    if (It == std::end(Brackets)) return BufferCoord(0, 0);
    const int Index = int(It - std::begin(Brackets));
    const bool Forward = Index % 2 == 0;
    const char16_t Partner = Brackets[Forward ? Index + 1 : Index - 1];
    TLexHighlighterAttributes *StringAttr = nullptr;
    TLexHighlighterAttributes *CommentAttr = nullptr;
    if (fPriv->fHighlighter != nullptr) {
        StringAttr = fPriv->fHighlighter->GetDefaultAttribute(LEX_ATTR_STRING);
        CommentAttr = fPriv->fHighlighter->GetDefaultAttribute(LEX_ATTR_COMMENT);
    }
    // Whether the character at 1-based Char of the line in Skip lies in a string or comment.
    // The line's tokens are walked once, when a candidate is first met on it.
    int SkipLine = 0;
    std::vector<bool> Skip;
    const auto Ignored = [&](int Line, const QString &S, int Char) {
        if (fPriv->fHighlighter == nullptr) return false;
        if (SkipLine != Line) {
            SkipLine = Line;
            Skip.assign(size_t(S.size()) + 1, false);
            TLexCustomHighlighter *H = fPriv->fHighlighter;
            if (Line == 1)
                H->ResetRange();
            else
                H->SetRange(fPriv->fLines->GetRange(Line - 2));
            H->SetLine(S, Line - 1);
            while (!H->GetEol()) {
                TLexHighlighterAttributes *A = H->GetTokenAttribute();
                if (A != nullptr && (A == StringAttr || A == CommentAttr)) {
                    const int Pos = H->GetTokenPos();
                    const int End = std::min<int>(Pos + int(H->GetToken().size()), int(S.size()));
                    for (int i = std::max(Pos, 0); i < End; ++i)
                        Skip[size_t(i) + 1] = true;
                }
                H->Next();
            }
        }
        return Char >= 1 && Char < int(Skip.size()) && Skip[size_t(Char)];
    };
    int Level = 1;
    int Line = APoint.Line;
    QString S = First;
    int Char = APoint.Char + (Forward ? 1 : -1);
    for (;;) {
        for (; Char >= 1 && Char <= S.size(); Char += Forward ? 1 : -1) {
            const char16_t c = S[Char - 1].unicode();
            if (c != B && c != Partner) continue;
            if (Ignored(Line, S, Char)) continue;
            Level += c == B ? 1 : -1;
            if (Level == 0) return BufferCoord(Char, Line);
        }
        Line += Forward ? 1 : -1;
        if (Line < 1 || Line > Count) return BufferCoord(0, 0);
        S = fPriv->fLines->Get(Line - 1);
        Char = Forward ? 1 : int(S.size());
    }
}

void TCustomLexEdit::FindMatchingBracket() {
    // Without a match the caret stays where it is.
    const TBufferCoord P = GetMatchingBracket();
    if (P.Char > 0 && P.Line > 0) SetInternalCaretXY(P);
}

} // namespace lexedit

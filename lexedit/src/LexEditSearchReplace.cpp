// SPDX-License-Identifier: MIT
// Search and replace: the editor walks the lines of the search range, hands each line to the
// search engine and selects, and possibly replaces, the matches it reports.
//
// The matches of a line are found once, on the line as it was before any replacement on it.
// Going forwards, a replacement moves the rest of the line: to the right by the change of length,
// and down by the line breaks the replacement inserted (the rest then stands on the last line of
// the inserted text). The line's later matches follow the rest there, and the walk goes on after
// that line, so text that a replacement inserted is never searched again. Whether a match lies in
// the range is decided on the line as it was found, so the range keeps meaning the same text.

#include "lexedit/LexEdit.h"

#include "LexEditBrackets.h"
#include "LexEditPrivate.h"
#include "LexEditTextBufferStore.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace lexedit {

TLexEditSearchCustom *TCustomLexEdit::SearchEngine() const {
    return fPriv->fSearchEngine.Get();
}

void TCustomLexEdit::SetSearchEngine(TLexEditSearchCustom *Value) {
    fPriv->fSearchEngine.Set(Value);
}

TLexReplaceAction TCustomLexEdit::DoOnReplaceText(const QString &ASearch, const QString &AReplace, int Line,
                                                  int Column) {
    TLexReplaceAction Action = raCancel;
    if (OnReplaceText) OnReplaceText(this, ASearch, AReplace, Line, Column, Action);
    return Action;
}

int TCustomLexEdit::SearchReplace(const QString &ASearch, const QString &AReplace,
                                  TLexSearchOptions AOptions) {
    TLexEditSearchCustom *Engine = SearchEngine();
    if (Engine == nullptr) throw ELexEditError(QStringLiteral("No search engine has been assigned"));
    if (ASearch.isEmpty()) return 0;

    const bool bBackward = AOptions.Contains(ssoBackwards);
    bool bPrompt = AOptions.Contains(ssoPrompt);
    const bool bReplace = AOptions.Contains(ssoReplace);
    bool bReplaceAll = AOptions.Contains(ssoReplaceAll);
    const bool bFromCursor = !AOptions.Contains(ssoEntireScope);
    if (!SelAvail()) AOptions.Exclude(ssoSelectedOnly);
    const bool bSelectedOnly = AOptions.Contains(ssoSelectedOnly);
    const TLexSelectionMode RangeMode = bSelectedOnly ? fPriv->fActiveSelectionMode : smNormal;

    // The range.
    const int Count = fPriv->fLines->Count();
    TBufferCoord ptStart;
    TBufferCoord ptEnd;
    int ColumnLeft = 0;
    int ColumnRight = 0;
    if (bSelectedOnly) {
        ptStart = BlockBegin();
        ptEnd = BlockEnd();
        if (RangeMode == smLine) {
            ptStart.Char = 1;
            ptEnd.Char = fPriv->LineLength(ptEnd.Line) + 1;
        } else if (RangeMode == smColumn) {
            const int C1 = BufferToDisplayPos(fPriv->fBlockBegin).Column;
            const int C2 = BufferToDisplayPos(fPriv->fBlockEnd).Column;
            ColumnLeft = std::min(C1, C2);
            ColumnRight = std::max(C1, C2);
            if (ptStart.Char > ptEnd.Char) std::swap(ptStart.Char, ptEnd.Char);
        }
    } else {
        ptStart = BufferCoord(1, 1);
        ptEnd = BufferCoord(fPriv->LineLength(Count) + 1, std::max(Count, 1));
        if (bFromCursor) {
            if (bBackward)
                ptEnd = CaretXY();
            else
                ptStart = CaretXY();
        }
    }
    // The characters [Lo, Hi) of a line, as it is before any replacement on it, in which a
    // match must lie.
    const auto LineBounds = [&](int ALine, int &Lo, int &Hi) {
        Lo = 1;
        Hi = INT_MAX;
        if (RangeMode == smLine) return;
        if (RangeMode == smColumn) {
            // An empty column block accepts every match of its lines.
            if (ColumnRight - ColumnLeft >= 1) ColumnRowRange(ALine, ColumnLeft, ColumnRight, Lo, Hi);
            return;
        }
        if (ALine == ptStart.Line) Lo = ptStart.Char;
        if (ALine == ptEnd.Line) Hi = ptEnd.Char;
    };

    const QString sReplace = Engine->PreprocessReplaceExpression(AReplace);
    Engine->SetOptions(AOptions);
    Engine->SetPattern(ASearch);

    // The update lock and the undo block of a replace-all, and the transient painting around the
    // call, closed however the call ends (an engine or a handler may throw).
    struct TRun {
        TCustomLexEdit &E;
        bool Locked = false;
        bool BlockOpen = false;
        int Uncaught = std::uncaught_exceptions();
        explicit TRun(TCustomLexEdit &AEdit) : E(AEdit) { E.DoOnPaintTransient(ttBefore); }
        void Lock() {
            if (Locked) return;
            E.IncPaintLock();
            Locked = true;
        }
        void OpenBlock() {
            if (BlockOpen) return;
            E.BeginUndoBlock();
            BlockOpen = true;
        }
        TRun(const TRun &) = delete;
        TRun &operator=(const TRun &) = delete;
        ~TRun() noexcept(false) {
            std::exception_ptr First;
            const auto Step = [&](auto &&AStep) {
                try {
                    AStep();
                } catch (...) {
                    if (!First) First = std::current_exception();
                }
            };
            if (Locked) Step([this] { E.DecPaintLock(); });
            if (BlockOpen) Step([this] { E.EndUndoBlock(); });
            Step([this] { E.DoOnPaintTransient(ttAfter); });
            if (First && std::uncaught_exceptions() <= Uncaught) std::rethrow_exception(First);
        }
    } Run(*this);
    if (bReplaceAll && !bPrompt) {
        Run.Lock();
        Run.OpenBlock();
    }

    struct TMatch {
        int Pos;
        int Len;
        int Index;    // the match's index in the engine's results for its line
        QString Repl; // the replacement, made before the text changes (silent replace-all)
    };
    std::vector<TMatch> Matches;
    int Result = 0;
    const bool bSilent = bReplaceAll && !bPrompt;
    // A find from the caret does not find again an empty match where the caret stands: it looks
    // from the next character on (the previous one, backwards).
    const bool bSkipEmptyAtCaret = bFromCursor && !bSelectedOnly && !bReplace && !bReplaceAll;
    const TBufferCoord Caret = CaretXY();

    // The matches of a line (Lines held as Latin-1 bytes are searched as they are) that lie in
    // its part of the range.
    // Takes the engine's nInLine results for line ALine.
    const auto CollectMatches = [&](int ALine, int nInLine) {
        int Lo = 0;
        int Hi = 0;
        LineBounds(ALine, Lo, Hi);
        Matches.clear();
        for (int i = 0; i < nInLine; ++i) {
            const int Pos = Engine->Results(i);
            const int Len = Engine->Lengths(i);
            if (Pos < Lo || Pos + Len > Hi) continue;
            if (bSkipEmptyAtCaret && Len == 0 && ALine == Caret.Line && Pos == Caret.Char) continue;
            Matches.push_back({Pos, Len, i, QString()});
        }
    };
    const auto SearchLine = [&](int ALine) {
        QLatin1String Bytes;
        const int nInLine = fPriv->fLines->GetLatin1(ALine - 1, Bytes)
                                ? Engine->FindAllLatin1(Bytes)
                                : Engine->FindAll(fPriv->fLines->Get(ALine - 1));
        CollectMatches(ALine, nInLine);
    };
    // Forwards, the next line from ALine on with matches in the range (0 when there is none):
    // the engine may search many lines in one go.
    const auto NextLineWithMatches = [&](int ALine, int ALast) {
        int Found = 0;
        Engine->FindAllLines(*fPriv->fLines, ALine - 1, ALast - 1, [&](int AIndex, int nInLine) {
            CollectMatches(AIndex + 1, nInLine);
            if (Matches.empty()) return true;
            Found = AIndex + 1;
            return false;
        });
        return Found;
    };

    // A silent replace-all searches every line of its range and makes every replacement before
    // the text changes: a pattern the engine gives up on leaves the text as it was. Matches are
    // found on the lines as they are before any replacement in any case, so the plan is what a
    // walk that replaces as it goes would find.
    // A line whose replacements hold no line break (and that loses no trailing blanks with
    // eoTrimTrailingSpaces) is written in one go: its new text is made straight into a set of
    // swapped lines, with the other such lines next to it in the plan. The set is written by one
    // swap and recorded as one change, which undo and redo reverse by one swap each. Other lines
    // are replaced match by match.
    struct TLineSpan {
        int Line = 0;
        int First = 0;           // the changed part of the line: from the first match
        int FirstReplLength = 0; // the length of the first replacement
        int OldSpanEnd = 0;      // to the end of the last match, in the old text
        int NewSpanEnd = 0;      // to the end of the last replacement, in the new text
    };
    struct TPlanStep {
        // A line replaced match by match...
        int Line = 0;
        std::vector<TMatch> Matches;
        // ... or lines written in one go: their new texts, their first and last line in the
        // text, and the number of replacements.
        std::shared_ptr<TLexSwappedLines> Set;
        TLineSpan Top;
        TLineSpan Bottom;
        int Replaced = 0;
    };
    std::vector<TPlanStep> Plan;
    if (bSilent) {
        const int First = std::max(ptStart.Line, 1);
        const int Last = std::min(ptEnd.Line, Count);
        const bool Trim = fPriv->fOptions.Contains(eoTrimTrailingSpaces);
        std::optional<TLexLineTextWriter> Writer; // writes into the set at the end of the plan
        QString Wide;                             // the line, when it is not held as bytes
        QString Occurrence;                       // a match of a line held as bytes
        Engine->FindAllLines(*fPriv->fLines, First - 1, Last - 1, [&](int AIndex, int nInLine) {
            CollectMatches(AIndex + 1, nInLine);
            if (Matches.empty()) return true;
            QLatin1String Bytes;
            const bool IsBytes = fPriv->fLines->GetLatin1(AIndex, Bytes);
            Wide = IsBytes ? QString() : fPriv->fLines->Get(AIndex);
            bool AtOnce = !Trim;
            for (TMatch &M : Matches) {
                QStringView Found;
                if (IsBytes) {
                    Occurrence.resize(M.Len);
                    auto *Dest = reinterpret_cast<char16_t *>(Occurrence.data());
                    for (int c = 0; c < M.Len; ++c)
                        Dest[c] = char16_t(uchar(Bytes[M.Pos - 1 + c].toLatin1()));
                    Found = Occurrence;
                } else {
                    Found = QStringView(Wide).mid(M.Pos - 1, M.Len);
                }
                M.Repl = Engine->ReplaceMatch(M.Index, Found, sReplace);
                if (M.Repl.contains(QLatin1Char('\r')) || M.Repl.contains(QLatin1Char('\n'))) AtOnce = false;
            }
            if (!AtOnce) {
                Writer.reset();
                TPlanStep P;
                P.Line = AIndex + 1;
                P.Matches = std::move(Matches);
                Plan.push_back(std::move(P));
                Matches.clear();
                return true;
            }
            if (!Writer) {
                TPlanStep P;
                P.Set = std::make_shared<TLexSwappedLines>();
                // Room for every line left in the range when this is the first set (pages never
                // written cost nothing).
                if (Plan.empty()) {
                    P.Set->Indexes.reserve(size_t(Last - AIndex));
                    P.Set->Lines.reserve(size_t(Last - AIndex));
                }
                Plan.push_back(std::move(P));
                Writer.emplace(*Plan.back().Set);
            }
            TPlanStep &P = Plan.back();
            // The text between the matches stays.
            const auto Keep = [&](int AFrom, int ATo) {
                if (IsBytes)
                    Writer->Append(QLatin1StringView(Bytes.data() + AFrom - 1, ATo - AFrom));
                else
                    Writer->Append(QStringView(Wide).mid(AFrom - 1, ATo - AFrom));
            };
            TLineSpan Span;
            Span.Line = AIndex + 1;
            Span.First = Matches.front().Pos;
            Span.FirstReplLength = int(Matches.front().Repl.size());
            Writer->Begin(AIndex);
            int From = 1;
            for (const TMatch &M : Matches) {
                Keep(From, M.Pos);
                Writer->Append(QStringView(M.Repl));
                From = M.Pos + M.Len;
            }
            Span.OldSpanEnd = From;
            Span.NewSpanEnd = int(Writer->Length()) + 1;
            Keep(From, int(IsBytes ? Bytes.size() : Wide.size()) + 1);
            Writer->End();
            if (P.Replaced == 0) P.Top = Span;
            P.Bottom = Span;
            P.Replaced += int(Matches.size());
            Matches.clear();
            return true;
        });
        Writer.reset();
        if (bBackward) {
            std::reverse(Plan.begin(), Plan.end());
            for (TPlanStep &P : Plan)
                if (P.Set) {
                    std::reverse(P.Set->Indexes.begin(), P.Set->Indexes.end());
                    std::reverse(P.Set->Lines.begin(), P.Set->Lines.end());
                }
        }
    }

    // A set of lines written in one go, forwards PlanShift lines lower than found (the line
    // breaks that replacements above it inserted).
    std::optional<TOwnBufferBracket> Bracket;
    std::optional<TBufferCoord> CaretAfter; // where the caret goes after the last such set
    int PlanShift = 0;
    const auto WriteSet = [&](const TPlanStep &P) {
        TLexSwappedLines &S = *P.Set;
        if (PlanShift != 0)
            for (int &Index : S.Indexes)
                Index += PlanShift;
        // The lines are written in the plan's order: from the top forwards, from the bottom
        // backwards.
        const TLineSpan &FirstWritten = bBackward ? P.Bottom : P.Top;
        const TLineSpan &LastWritten = bBackward ? P.Top : P.Bottom;
        const int FirstLine = FirstWritten.Line + PlanShift;
        const int LastLine = LastWritten.Line + PlanShift;
        // Undo selects the changed part of the first line written, as it was; redo leaves the
        // caret after the changed part of the last one.
        S.UndoBegin = BufferCoord(FirstWritten.First, FirstLine);
        S.UndoEnd = BufferCoord(FirstWritten.OldSpanEnd, FirstLine);
        S.RedoCaret = BufferCoord(LastWritten.NewSpanEnd, LastLine);
        if (!Bracket) Bracket.emplace(*this);
        fPriv->fLines->SwapLines(S, false, [&] {
            fPriv->fUndoRedo->AddUndoChange(crLineReplace, S.UndoBegin,
                                            BufferCoord(FirstWritten.NewSpanEnd, FirstLine), QString(),
                                            smNormal, false, P.Set);
        });
        // Forwards the caret ends after the last replacement, backwards after the first.
        CaretAfter =
            bBackward ? BufferCoord(LastWritten.First + LastWritten.FirstReplLength, LastLine) : S.RedoCaret;
        Result += P.Replaced;
    };

    // The walk: the planned lines (a silent replace-all; forwards each stands lower by the line
    // breaks replacements inserted above it), or the lines of the range searched one by one.
    TBufferCoord ptCurrent = bBackward ? ptEnd : ptStart;
    size_t PlanIndex = 0;
    for (;;) {
        int PlannedLine = 0;
        if (bSilent) {
            if (PlanIndex >= Plan.size()) break;
            TPlanStep &P = Plan[PlanIndex++];
            if (P.Set) {
                WriteSet(P);
                P = TPlanStep();
                continue;
            }
            PlannedLine = P.Line;
            ptCurrent.Line = P.Line + PlanShift;
            Matches = std::move(P.Matches);
        } else {
            if (ptCurrent.Line < ptStart.Line || ptCurrent.Line > ptEnd.Line ||
                ptCurrent.Line > fPriv->fLines->Count())
                break;
            if (bBackward) {
                SearchLine(ptCurrent.Line);
            } else {
                ptCurrent.Line =
                    NextLineWithMatches(ptCurrent.Line, std::min(ptEnd.Line, fPriv->fLines->Count()));
                if (ptCurrent.Line == 0) break;
            }
        }
        const int nInLine = int(Matches.size());
        // Added to a position of the line as found: where that character stands now on the
        // line ptCurrent.Line (forwards; backwards the text before a match never moves).
        int iResultOffset = 0;
        for (int k = 0; k < nInLine; ++k) {
            const TMatch &M = Matches[size_t(bBackward ? nInLine - 1 - k : k)];
            const int nFound = M.Pos + iResultOffset;
            const int nSearchLen = M.Len;
            const int Line = ptCurrent.Line;
            // A replacement that lost its trailing blanks (eoTrimTrailingSpaces) took the blanks
            // after it along: a match among them is gone.
            if (nFound + nSearchLen > fPriv->LineLength(Line) + 1) continue;
            ++Result;
            // The match is selected as a stream of characters; the caret stands at its end
            // (forwards) or its start (backwards).
            const TBufferCoord MatchBegin = BufferCoord(nFound, Line);
            const TBufferCoord MatchEnd = BufferCoord(nFound + nSearchLen, Line);
            const auto SelectMatch = [&] {
                InvalidateSelection();
                SetCaretXYEx(false, bBackward ? MatchBegin : MatchEnd);
                fPriv->fBlockBegin = MatchBegin;
                fPriv->fBlockEnd = MatchEnd;
                fPriv->fActiveSelectionMode = smNormal;
                InvalidateSelection();
                StatusChanged({scSelection});
            };
            SelectMatch();
            if (!bReplaceAll) EnsureCursorPosVisibleEx(true, false);
            if (!bReplace && !bReplaceAll) return Result;

            TLexReplaceAction nAction = raReplace;
            if (bPrompt && OnReplaceText) {
                nAction = DoOnReplaceText(ASearch, sReplace, Line, nFound);
                if (nAction == raCancel) return Result;
            }
            if (nAction == raSkip) {
                --Result;
                continue;
            }
            if (nAction == raReplaceAll) {
                // From here on the rest runs silently, as one undo step.
                bReplaceAll = true;
                bPrompt = false;
                Run.Lock();
                Run.OpenBlock();
            }
            // The handler may have moved the selection.
            SelectMatch();
            const QString Occurrence = GetSelText();
            const QString Replacement =
                bSilent ? M.Repl : Engine->ReplaceMatch(M.Index, Occurrence, sReplace);
            SetSelTextPrimitiveEx(smNormal, Replacement, true, false);
            CaretAfter.reset();
            if (!bBackward) {
                // The rest of the line now follows the caret, on the last line inserted.
                const int Shift = fPriv->fCaretX - (nFound + nSearchLen);
                const int Breaks = fPriv->fCaretY - Line;
                iResultOffset += Shift;
                if (RangeMode != smColumn && ptEnd.Line == Line) ptEnd.Char += Shift;
                ptEnd.Line += Breaks;
                ptCurrent.Line = fPriv->fCaretY;
            }
            if (!bReplaceAll) return Result;
        }
        if (bSilent) {
            PlanShift += ptCurrent.Line - (PlannedLine + PlanShift);
            continue;
        }
        ptCurrent.Line += bBackward ? -1 : 1;
    }
    if (CaretAfter) {
        Bracket.reset();
        SetCaretXY(*CaretAfter);
    }
    return Result;
}

} // namespace lexedit

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
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <algorithm>
#include <climits>
#include <exception>
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

    // The matches of a line (Lines held as Latin-1 bytes are searched as they are; the text is
    // read only when something is found) that lie in its part of the range.
    QString LineText;
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
        LineText = Matches.empty() ? QString() : fPriv->fLines->Get(ALine - 1);
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
    // eoTrimTrailingSpaces) is planned as its new text, written in one go; others match by match.
    struct TPlannedLine {
        int Line;
        QString Text;
        std::vector<TMatch> Matches; // when not written in one go
        QString NewText;
        int First = 0;      // the changed part of the line: from the first match
        int NewSpanEnd = 0; // to the end of the last replacement, in the new text
        int FirstReplLength = 0;
        int Replaced = 0;
    };
    std::vector<TPlannedLine> Plan;
    if (bSilent) {
        const int First = std::max(ptStart.Line, 1);
        const int Last = std::min(ptEnd.Line, Count);
        const bool Trim = fPriv->fOptions.Contains(eoTrimTrailingSpaces);
        Engine->FindAllLines(*fPriv->fLines, First - 1, Last - 1, [&](int AIndex, int nInLine) {
            CollectMatches(AIndex + 1, nInLine);
            if (Matches.empty()) return true;
            bool AtOnce = !Trim;
            for (TMatch &M : Matches) {
                M.Repl = Engine->ReplaceMatch(M.Index, QStringView(LineText).mid(M.Pos - 1, M.Len), sReplace);
                if (M.Repl.contains(QLatin1Char('\r')) || M.Repl.contains(QLatin1Char('\n'))) AtOnce = false;
            }
            TPlannedLine P{AIndex + 1, LineText, {}, {}};
            if (AtOnce) {
                const QStringView Old(LineText);
                P.First = Matches.front().Pos;
                P.FirstReplLength = int(Matches.front().Repl.size());
                P.Replaced = int(Matches.size());
                P.NewText.reserve(LineText.size() + 16);
                P.NewText += Old.left(P.First - 1);
                int From = P.First;
                for (const TMatch &M : Matches) {
                    // The text between the matches stays.
                    P.NewText += Old.mid(From - 1, M.Pos - From);
                    P.NewText += M.Repl;
                    From = M.Pos + M.Len;
                }
                P.NewSpanEnd = int(P.NewText.size()) + 1;
                P.NewText += Old.mid(From - 1);
            } else {
                P.Matches = std::move(Matches);
            }
            Plan.push_back(std::move(P));
            Matches.clear();
            return true;
        });
        if (bBackward) std::reverse(Plan.begin(), Plan.end());
    }

    // A planned line written in one go, recorded as one change of the line, which undo and redo
    // reverse in one write each.
    std::optional<TOwnBufferBracket> Bracket;
    std::optional<TBufferCoord> CaretAfter; // where the caret goes after the last such line
    const auto WriteLine = [&](int ALine, const TPlannedLine &P) {
        if (!Bracket) Bracket.emplace(*this);
        fPriv->fLines->Put(ALine - 1, P.NewText);
        fPriv->fUndoRedo->AddUndoChange(crLineReplace, BufferCoord(P.First, ALine),
                                        BufferCoord(P.NewSpanEnd, ALine), P.Text, smNormal);
        // Forwards the caret ends after the last replacement, backwards after the first.
        CaretAfter =
            bBackward ? BufferCoord(P.First + P.FirstReplLength, ALine) : BufferCoord(P.NewSpanEnd, ALine);
        if (!bBackward && ptEnd.Line == ALine) ptEnd.Char += int(P.NewText.size() - P.Text.size());
        Result += P.Replaced;
    };

    // The walk: the planned lines (a silent replace-all; forwards each stands lower by the line
    // breaks replacements inserted above it), or the lines of the range searched one by one.
    TBufferCoord ptCurrent = bBackward ? ptEnd : ptStart;
    size_t PlanIndex = 0;
    int PlanShift = 0;
    for (;;) {
        int PlannedLine = 0;
        if (bSilent) {
            if (PlanIndex >= Plan.size()) break;
            TPlannedLine &P = Plan[PlanIndex++];
            PlannedLine = P.Line;
            ptCurrent.Line = P.Line + PlanShift;
            if (P.Replaced > 0) {
                WriteLine(ptCurrent.Line, P);
                P = TPlannedLine{0, {}, {}, {}};
                continue;
            }
            LineText = std::move(P.Text);
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

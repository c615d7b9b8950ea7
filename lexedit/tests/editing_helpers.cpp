// SPDX-License-Identifier: MIT
#include "editing_helpers.h"

#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <iterator>

using namespace lexedit;

namespace editor_test {

uint32_t TByteChoices::Next(uint32_t ABound) {
    uint32_t V = 0;
    // One byte for small bounds, two for larger ones.
    const int Bytes = ABound <= 256 ? 1 : 2;
    for (int i = 0; i < Bytes; ++i) {
        V <<= 8;
        if (FPos < FSize) V |= FData[FPos++];
    }
    return V % ABound;
}

namespace {

const QString Pair = QString::fromUtf8("\xF0\x9F\x98\x80"); // one character, two code units

QString Pick(TChoiceSource &C, const QStringList &From) {
    return From[int(C.Next(uint32_t(From.size())))];
}

QString RandomText(TChoiceSource &C) {
    static const QStringList Fragments = {QString(),
                                          QStringLiteral("\t"),
                                          QStringLiteral("  "),
                                          QStringLiteral("abc"),
                                          QStringLiteral("x, y"),
                                          QStringLiteral("\tfoo  "),
                                          QStringLiteral("    bar"),
                                          QStringLiteral("  \t z"),
                                          Pair,
                                          QStringLiteral("a") + Pair + QStringLiteral("b"),
                                          QStringLiteral("end "),
                                          QStringLiteral("$v = 1;"),
                                          QStringLiteral("if (a[i] < b) {"),
                                          QStringLiteral("  }) x"),
                                          QString::fromUtf8("Straße ÄbC-déF")};
    const int Lines = int(C.Next(6));
    QStringList L;
    for (int i = 0; i < Lines; ++i) {
        QString S = Pick(C, Fragments);
        if (C.Next(3) == 0) S += Pick(C, Fragments);
        L << S;
    }
    if (Lines > 0 && C.Next(3) == 0) L << QString(); // a final empty line
    return L.join(QStringLiteral("\r\n"));
}

QString RandomInsert(TChoiceSource &C) {
    static const QStringList Texts = {QStringLiteral("q"),
                                      QStringLiteral("xy"),
                                      QStringLiteral("a\r\nb"),
                                      QStringLiteral("one\r\ntwo\r\n"),
                                      QStringLiteral("\t1\n  2\r3"),
                                      QStringLiteral("p\r\n\r\nq"),
                                      Pair,
                                      QStringLiteral("  "),
                                      QStringLiteral("nul") + QChar(0) + QStringLiteral("after"),
                                      QStringLiteral("\r\n")};
    return Pick(C, Texts);
}

TBufferCoord RandomPos(TLexEdit &E, TChoiceSource &C) {
    const int Count = E.Lines()->Count();
    const int Line = int(C.Next(uint32_t(Count + 2))) + 0; // 0..Count+1: also outside
    const int Len = Line >= 1 && Line <= Count ? E.Lines()->LineCharLength(Line - 1) : 0;
    const int Char = int(C.Next(uint32_t(Len + 4))) + 0; // 0..Len+3: also past the end
    return BufferCoord(Char, Line);
}

// The editing commands the harness runs, by weight.
const TLexEditorCommand Commands[] = {ecChar,
                                      ecChar,
                                      ecChar,
                                      ecChar,
                                      ecImeStr,
                                      ecDeleteLastChar,
                                      ecDeleteLastChar,
                                      ecDeleteChar,
                                      ecDeleteChar,
                                      ecDeleteWord,
                                      ecDeleteLastWord,
                                      ecDeleteBOL,
                                      ecDeleteEOL,
                                      ecDeleteLine,
                                      ecLineBreak,
                                      ecLineBreak,
                                      ecInsertLine,
                                      ecTab,
                                      ecShiftTab,
                                      ecToggleMode,
                                      ecLeft,
                                      ecRight,
                                      ecUp,
                                      ecDown,
                                      ecSelLeft,
                                      ecSelRight,
                                      ecSelUp,
                                      ecSelDown,
                                      ecSelWordLeft,
                                      ecSelWordRight,
                                      ecSelLineStart,
                                      ecSelLineEnd,
                                      ecSelEditorTop,
                                      ecSelEditorBottom,
                                      ecLineEnd,
                                      ecWordRight,
                                      ecGotoXY,
                                      ecSelGotoXY,
                                      ecUndo,
                                      ecRedo,
                                      ecBlockIndent,
                                      ecBlockUnindent,
                                      ecTab,
                                      ecShiftTab,
                                      ecUpperCase,
                                      ecLowerCase,
                                      ecToggleCase,
                                      ecTitleCase,
                                      ecCopyLineUp,
                                      ecCopyLineDown,
                                      ecMoveLineUp,
                                      ecMoveLineDown,
                                      ecMatchBracket,
                                      ecCopy,
                                      ecCut,
                                      ecPaste,
                                      ecPaste,
                                      ecSelectAll,
                                      ecSelWord,
                                      ecWordLeft,
                                      ecLineStart,
                                      ecPageUp,
                                      ecPageDown,
                                      ecPageLeft,
                                      ecPageRight,
                                      ecPageTop,
                                      ecPageBottom,
                                      ecEditorTop,
                                      ecEditorBottom,
                                      ecSelPageUp,
                                      ecSelPageDown,
                                      ecSelPageLeft,
                                      ecSelPageRight,
                                      ecSelPageTop,
                                      ecSelPageBottom,
                                      ecScrollUp,
                                      ecScrollDown,
                                      ecScrollLeft,
                                      ecScrollRight,
                                      ecInsertMode,
                                      ecOverwriteMode,
                                      ecNormalSelect,
                                      ecColumnSelect,
                                      ecColumnSelect,
                                      ecLineSelect,
                                      ecLineSelect,
                                      ecSetMarker0,
                                      ecGotoMarker0,
                                      ecDeleteLastWord,
                                      ecDeleteEOL,
                                      ecBlockUnindent,
                                      ecBlockIndent,
                                      ecTab,
                                      ecShiftTab,
                                      ecCut,
                                      ecPaste,
                                      ecNone,
                                      ecNone,
                                      ecNone,
                                      ecNone,
                                      ecNone,
                                      ecNone,
                                      ecNone};
// ecNone in the table stands for a direct change: a selection set directly, a replacement
// through SelText, or a paste of multi-line text in a random paste mode.

bool Inside(TLexEdit &E, const TBufferCoord &P) {
    return P.Line >= 1 && P.Line <= std::max(E.Lines()->Count(), 1) && P.Char >= 1;
}

// Not past the line's end (unless the caret may stand there), not between a pair's halves.
QString PlacementFault(TLexEdit &E, const TBufferCoord &P, const char *AWhat) {
    const QString S = P.Line <= E.Lines()->Count() ? E.Lines()->Get(P.Line - 1) : QString();
    if (!E.Options().Contains(eoScrollPastEol) && P.Char > S.size() + 1)
        return QStringLiteral("%1 (%2,%3) past its line's end")
            .arg(QLatin1String(AWhat))
            .arg(P.Char)
            .arg(P.Line);
    if (P.Char >= 2 && P.Char <= S.size() && S[P.Char - 2].isHighSurrogate() &&
        S[P.Char - 1].isLowSurrogate())
        return QStringLiteral("%1 (%2,%3) inside a surrogate pair")
            .arg(QLatin1String(AWhat))
            .arg(P.Char)
            .arg(P.Line);
    return QString();
}

// The line without its indentation, and without its trailing blanks when an edit may trim them.
QString WithoutIndent(QString S, bool ATrimmed) {
    static const QRegularExpression Indent(QStringLiteral("^[ \t]+")), Trailing(QStringLiteral("[ \t]+$"));
    return ATrimmed ? S.remove(Indent).remove(Trailing) : S.remove(Indent);
}

bool HasLoneSurrogate(const QString &S) {
    for (qsizetype i = 0; i < S.size(); ++i) {
        if (S[i].isHighSurrogate() && i + 1 < S.size() && S[i + 1].isLowSurrogate())
            ++i;
        else if (S[i].isSurrogate())
            return true;
    }
    return false;
}

// Passes decisions on and records them, those of each command apart.
class TRecordingChoices : public TChoiceSource {
public:
    TRecordingChoices(TChoiceSource &AInner, std::vector<uint32_t> &AInto) : FInner(AInner), FInto(&AInto) {}
    uint32_t Next(uint32_t ABound) override {
        const uint32_t V = FInner.Next(ABound);
        FInto->push_back(V);
        return V;
    }
    bool Exhausted() const override { return FInner.Exhausted(); }
    void RecordInto(std::vector<uint32_t> &AInto) { FInto = &AInto; }

private:
    TChoiceSource &FInner;
    std::vector<uint32_t> *FInto;
};

QString Describe(TLexEditorCommand Cmd, int Index) {
    return QStringLiteral("command %1 (%2)").arg(Index).arg(EditorCommandToCodeString(Cmd));
}

bool IsEditing(TLexEditorCommand Cmd) {
    return Cmd == ecChar || Cmd == ecImeStr || (Cmd >= ecDeleteLastChar && Cmd <= ecInsertLine) ||
           (Cmd >= ecCut && Cmd <= ecShiftTab) || (Cmd >= ecUpperCase && Cmd <= ecTitleCase) ||
           (Cmd >= ecCopyLineUp && Cmd <= ecMoveLineDown);
}

// Blanks and line breaks made visible in failure messages.
QString Show(QString S) {
    S.replace(QLatin1Char(' '), QChar(0xB7));
    S.replace(QLatin1Char('\t'), QChar(0x2192));
    S.replace(QChar(0), QChar(0x2400));
    S.replace(QStringLiteral("\r\n"), QStringLiteral("\u21B5\n"));
    return S;
}

// Undoes everything (bounded); returns the number of steps.
int UndoAll(TLexEdit &E) {
    int Steps = 0;
    while (E.CanUndo() && Steps < 100000) {
        E.Undo();
        if (qEnvironmentVariableIsSet("LEXEDIT_TRACE")) qWarning("undo step\n%s", qPrintable(Show(E.Text())));
        ++Steps;
    }
    return Steps;
}

int RedoAll(TLexEdit &E) {
    int Steps = 0;
    while (E.CanRedo() && Steps < 100000) {
        if (qEnvironmentVariableIsSet("LEXEDIT_TRACE"))
            for (int i = 0; i < std::min(4, UndoStackCount(*E.UndoRedo(), true)); ++i) {
                const TLexEditUndoItem It = UndoStackItem(*E.UndoRedo(), true, i);
                qWarning("  redo item %d: reason %d (%d,%d)-(%d,%d) '%s' mode %d n %d", i,
                         int(It.ChangeReason), It.ChangeStartPos.Char, It.ChangeStartPos.Line,
                         It.ChangeEndPos.Char, It.ChangeEndPos.Line, qPrintable(Show(It.ChangeStr)),
                         int(It.ChangeSelMode), It.ChangeNumber);
            }
        E.Redo();
        if (qEnvironmentVariableIsSet("LEXEDIT_TRACE")) qWarning("redo step\n%s", qPrintable(Show(E.Text())));
        ++Steps;
    }
    return Steps;
}

} // namespace

TEditRunResult RunEditSequence(TLexEdit &E, TChoiceSource &AChoices, int AMaxCommands) {
    TEditRunResult R;
    TRecordingChoices C(AChoices, R.Setup);
    E.SetReadOnly(false);
    E.SetInsertMode(true);
    TLexEditorOptions Options = LEXEDIT_DEFAULT_OPTIONS;
    const auto Toggle = [&](TLexEditorOption O) {
        if (C.Next(2) == 0) {
            if (Options.Contains(O))
                Options.Exclude(O);
            else
                Options.Include(O);
        }
    };
    Toggle(eoAutoIndent);
    Toggle(eoScrollPastEol);
    Toggle(eoTabsToSpaces);
    Toggle(eoSmartTabs);
    Toggle(eoSmartTabDelete);
    Toggle(eoGroupUndo);
    Toggle(eoEnhanceHomeKey);
    Toggle(eoTabIndent);
    Toggle(eoTrimTrailingSpaces);
    E.SetOptions(Options);
    E.SetTabWidth(C.Next(2) == 0 ? 4 : 8);
    const TLexSelectionMode Mode = TLexSelectionMode(C.Next(3));
    E.SetSelectionMode(Mode);
    E.SetText(RandomText(C));
    E.ClearUndo();
    // Each sequence starts with an empty clipboard, so that a seed runs alone as in the series.
    if (QClipboard *Clip = QGuiApplication::clipboard()) Clip->clear();
    E.SetCaretXY(BufferCoord(1, 1));
    const QString Start = E.Text();
    QStringList LogLines;
    // The last commands, for failure messages.
    const auto LogTail = [&] {
        return LogLines.mid(std::max<qsizetype>(0, LogLines.size() - 40)).join(QString());
    };

    for (int i = 0; i < AMaxCommands && !C.Exhausted(); ++i) {
        R.Steps.emplace_back();
        C.RecordInto(R.Steps.back());
        const TLexEditorCommand Cmd = Commands[C.Next(uint32_t(std::size(Commands)))];
        const QString Before = E.Text();
        const QStringList LinesBefore = E.Lines()->ToStringList();
        const bool ColumnDelete = E.SelAvail() && E.ActiveSelectionMode() == smColumn &&
                                  (Cmd == ecDeleteLastChar || Cmd == ecDeleteChar);
        const bool LineModeTab =
            E.SelAvail() && E.ActiveSelectionMode() == smLine && (Cmd == ecTab || Cmd == ecShiftTab);
        const TBufferCoord B = E.BlockBegin();
        const TBufferCoord BE = E.BlockEnd();
        E.UndoRedo()->AddGroupBreak();
        QString What = Describe(Cmd, i);
        if (Cmd == ecNone) {
            switch (C.Next(6)) {
            case 0: {
                const TBufferCoord P1 = RandomPos(E, C);
                const TBufferCoord P2 = RandomPos(E, C);
                E.SetCaretAndSelection(P2, P1, P2);
                // An empty block set directly keeps the setters' own clamps: it is put on the
                // caret, as any command leaves it.
                if (!E.SelAvail()) E.SetCaretXY(E.CaretXY());
                What += QStringLiteral(" selection (%1,%2)-(%3,%4)")
                            .arg(P1.Char)
                            .arg(P1.Line)
                            .arg(P2.Char)
                            .arg(P2.Line);
                break;
            }
            case 3: {
                // Character offsets, also past the end of the text.
                const int Length = int(E.Text().size());
                const int From = int(C.Next(uint32_t(Length + 3)));
                const int Count = int(C.Next(uint32_t(2 * Length + 5))) - Length - 2;
                // Two calls, each of which may trim the line the caret leaves: one step here.
                E.BeginUndoBlock();
                E.SetSelStart(From);
                E.SetSelLength(Count);
                E.EndUndoBlock();
                What += QStringLiteral(" SelStart %1 SelLength %2").arg(From).arg(Count);
                break;
            }
            case 4: {
                const TBufferCoord P1 = RandomPos(E, C);
                const TBufferCoord P2 = RandomPos(E, C);
                E.SetBlockBegin(P1);
                E.SetBlockEnd(P2);
                if (!E.SelAvail()) E.SetCaretXY(E.CaretXY());
                What += QStringLiteral(" SetBlockBegin (%1,%2) SetBlockEnd (%3,%4)")
                            .arg(P1.Char)
                            .arg(P1.Line)
                            .arg(P2.Char)
                            .arg(P2.Line);
                break;
            }
            case 5: {
                const TBufferCoord P1 = RandomPos(E, C);
                const TBufferCoord P2 = RandomPos(E, C);
                const bool Selecting = C.Next(2) == 0;
                E.MoveCaretAndSelection(P1, P2, Selecting);
                if (!E.SelAvail()) E.SetCaretXY(E.CaretXY());
                What += QStringLiteral(" MoveCaretAndSelection (%1,%2) (%3,%4) %5")
                            .arg(P1.Char)
                            .arg(P1.Line)
                            .arg(P2.Char)
                            .arg(P2.Line)
                            .arg(Selecting);
                break;
            }
            case 1: {
                const QString V = RandomInsert(C);
                E.SetSelText(V);
                What += QStringLiteral(" SelText ") + V;
                break;
            }
            default: {
                const QString V = RandomInsert(C);
                const TLexSelectionMode PasteMode = TLexSelectionMode(C.Next(3));
                E.BeginUndoBlock();
                E.SetSelTextPrimitiveEx(PasteMode, V);
                E.EndUndoBlock();
                What += QStringLiteral(" paste mode %1 ").arg(int(PasteMode)) + V;
                break;
            }
            }
        } else if (Cmd == ecChar) {
            static const QString Chars = QStringLiteral("a z,(");
            E.CommandProcessor(ecChar, Chars[int(C.Next(uint32_t(Chars.size())))], nullptr);
        } else if (Cmd == ecImeStr) {
            QString S = C.Next(2) == 0 ? Pair : QStringLiteral("ime");
            E.CommandProcessor(ecImeStr, QChar(0), &S);
        } else if (Cmd == ecGotoXY || Cmd == ecSelGotoXY) {
            TBufferCoord P = RandomPos(E, C);
            What += QStringLiteral(" (%1,%2)").arg(P.Char).arg(P.Line);
            E.CommandProcessor(Cmd, QChar(0), &P);
        } else {
            E.CommandProcessor(Cmd, QChar(0), nullptr);
        }
        ++R.Commands;
        LogLines << What + QStringLiteral(" -> caret %1,%2 block %3,%4-%5,%6\n")
                               .arg(E.CaretX())
                               .arg(E.CaretY())
                               .arg(E.BlockBegin().Char)
                               .arg(E.BlockBegin().Line)
                               .arg(E.BlockEnd().Char)
                               .arg(E.BlockEnd().Line);
        const auto Fail = [&](const QString &AWhy) {
            R.Failure = Show(AWhy) + QStringLiteral("\nbefore:\n") + Show(Before) +
                        QStringLiteral("\nstart text:\n") + Show(Start) +
                        QStringLiteral("\nmode %1 options %2\n").arg(int(Mode)).arg(Options.ToMask()) +
                        LogTail();
            return R;
        };
        // Caret and block inside the buffer; a collapsed selection lies on the caret.
        if (!Inside(E, E.CaretXY()) || !Inside(E, E.BlockBegin()) || !Inside(E, E.BlockEnd()))
            return Fail(QStringLiteral("caret or block outside the buffer"));
        if (!E.SelAvail() && E.ActiveSelectionMode() != smColumn &&
            (E.BlockBegin() != E.CaretXY() || E.BlockEnd() != E.CaretXY()))
            return Fail(QStringLiteral("anchor differs from the caret without a selection"));
        for (const QString &Fault :
             {PlacementFault(E, E.CaretXY(), "caret"), PlacementFault(E, E.BlockBegin(), "block begin"),
              PlacementFault(E, E.BlockEnd(), "block end")})
            if (!Fault.isEmpty()) return Fail(Fault);
        const QString After = E.Text();
        // The texts hold whole pairs only, so any lone half was made by the command.
        if (HasLoneSurrogate(After)) return Fail(QStringLiteral("a lone surrogate half in\n") + After);
        if (qEnvironmentVariableIsSet("LEXEDIT_TRACE"))
            qWarning("%s\n%s", qPrintable(LogLines.last()), qPrintable(Show(After)));
        if (ColumnDelete) {
            const QStringList Now = E.Lines()->ToStringList();
            if (Now.size() != LinesBefore.size())
                return Fail(QStringLiteral("column delete changed the line count"));
            for (int L = 1; L <= Now.size(); ++L)
                if ((L < B.Line || L > BE.Line) && Now[L - 1] != LinesBefore[L - 1])
                    return Fail(QStringLiteral("column delete changed a row outside the block"));
        }
        // Tab and Shift+Tab on lines selected in line mode only indent or unindent them.
        const auto Unindented = [&](QStringList L) {
            for (QString &S : L)
                S = WithoutIndent(S, Options.Contains(eoTrimTrailingSpaces));
            return L;
        };
        if (LineModeTab && Unindented(E.Lines()->ToStringList()) != Unindented(LinesBefore))
            return Fail(QStringLiteral("line-mode Tab changed more than the lines' indentation"));
        // One Undo restores the text before the command, one Redo the text after it.
        if (Cmd != ecUndo && Cmd != ecRedo && After != Before) {
            E.Undo();
            if (E.Text() != Before)
                return Fail(QStringLiteral("one undo gave\n") + E.Text() + QStringLiteral("\ninstead of\n") +
                            Before);
            E.Redo();
            if (E.Text() != After)
                return Fail(QStringLiteral("one redo gave\n") + E.Text() + QStringLiteral("\ninstead of\n") +
                            After);
        }
    }
    // Steps undone by ecUndo and not replaced by a new edit are still on the redo stack: the
    // final state is the one with them redone.
    RedoAll(E);
    const QString Final = E.Text();
    const auto Finish = [&](const QString &AWhy) {
        R.Failure = AWhy;
        return R;
    };
    for (int Round = 0; Round < 2; ++Round) {
        UndoAll(E);
        if (E.Text() != Start)
            return Finish(QStringLiteral("undo-all gave\n") + Show(E.Text()) +
                          QStringLiteral("\ninstead of\n") + Show(Start) + QLatin1Char('\n') + LogTail());
        RedoAll(E);
        if (E.Text() != Final)
            return Finish(QStringLiteral("redo-all gave\n") + Show(E.Text()) +
                          QStringLiteral("\ninstead of\n") + Show(Final) + QLatin1Char('\n') + LogTail());
    }
    // Read-only refuses every editing command, Undo and Redo.
    E.SetReadOnly(true);
    for (TLexEditorCommand Cmd : Commands) {
        if (!IsEditing(Cmd) && Cmd != ecUndo && Cmd != ecRedo) continue;
        QString S = QStringLiteral("ro");
        E.CommandProcessor(Cmd, QLatin1Char('r'), &S);
        if (E.Text() != Final)
            return Finish(QStringLiteral("read-only editor changed by ") + EditorCommandToCodeString(Cmd));
    }
    E.SetReadOnly(false);
    return R;
}

QString ShrinkFailure(TLexEdit &E, const TEditRunResult &AFailed, int AMaxCommands) {
    std::vector<std::vector<uint32_t>> Steps = AFailed.Steps;
    const auto Replay = [&](const std::vector<std::vector<uint32_t>> &ASteps) {
        std::vector<uint32_t> Values = AFailed.Setup;
        for (const auto &S : ASteps)
            Values.insert(Values.end(), S.begin(), S.end());
        TReplayChoices Choices(std::move(Values));
        return RunEditSequence(E, Choices, AMaxCommands);
    };
    // Drop chunks of commands, halving the chunk, while the run still fails.
    for (size_t Chunk = std::max<size_t>(Steps.size() / 2, 1); Chunk >= 1; Chunk /= 2) {
        for (size_t i = 0; i < Steps.size();) {
            std::vector<std::vector<uint32_t>> Fewer = Steps;
            Fewer.erase(Fewer.begin() + qsizetype(i),
                        Fewer.begin() + qsizetype(std::min(i + Chunk, Fewer.size())));
            if (!Replay(Fewer).Failure.isEmpty())
                Steps = std::move(Fewer);
            else
                i += Chunk;
        }
        if (Chunk == 1) break;
    }
    const TEditRunResult Small = Replay(Steps);
    if (Small.Failure.isEmpty()) return AFailed.Failure; // not reproducible alone
    return QStringLiteral("shrunk to %1 commands:\n").arg(Steps.size()) + Small.Failure;
}

} // namespace editor_test

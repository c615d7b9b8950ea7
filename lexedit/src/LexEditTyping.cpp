// SPDX-License-Identifier: MIT
// Typing and deleting: characters and input-method strings in insert and overwrite mode,
// Backspace and Delete, deleting to word and line boundaries, line breaks with auto-indent, and
// setting bookmarks.
//
// Blanks added to reach a caret past the line end are recorded (PadLine) in the same undo block
// as the edit, so undo leaves no trailing blanks. A surrogate pair is never split by Backspace,
// Delete or overwriting.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "LexEditBrackets.h"
#include "LexEditHelpers.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <algorithm>
#include <optional>

namespace lexedit {

namespace {

const QString CRLF = QStringLiteral("\r\n");

// Tells transient painting before and after a command, also when it fails.
class TTransientBracket {
public:
    TTransientBracket(std::function<void(TTransientType)> ANotify) : FNotify(std::move(ANotify)) {
        FNotify(ttBefore);
    }
    ~TTransientBracket() { FNotify(ttAfter); }
    TTransientBracket(const TTransientBracket &) = delete;
    TTransientBracket &operator=(const TTransientBracket &) = delete;

private:
    std::function<void(TTransientType)> FNotify;
};

} // namespace

int TLexEditPrivate::NearestIndentBelow(int ALine, int ALimit) const {
    for (int L = std::min(ALine, fLines->Count() + 1) - 1; L >= 1; --L) {
        const int n = Ed.LeftSpaces(fLines->Get(L - 1));
        if (n > 0 && n < ALimit) return n;
    }
    return 0;
}

// ---- characters ---------------------------------------------------------------------------------

void TLexEditPrivate::ExecChar(QChar AChar) {
    // A lone surrogate is half a character: text of several units arrives as ecImeStr.
    if (AChar.unicode() < 32 || AChar.unicode() == 127 || AChar.isSurrogate()) return;
    if (Ed.SelAvail()) {
        Ed.SetSelText(QString(AChar));
    } else {
        TOwnBufferBracket Bracket(Ed);
        WithScrollPastEol([&] {
            if (fLines->Count() == 0) fLines->Add(QString());
            const int L = fCaretY;
            QString Temp = fLines->Get(L - 1);
            int X = fCaretX;
            std::optional<TUndoBlockGuard> Block;
            if (X > Temp.size() + 1) {
                // Fill up to the caret; past the line end overwrite mode inserts as well.
                Block.emplace(*fUndoRedo);
                const int Width = X - int(Temp.size()) - 1;
                const QString Fill =
                    Temp.isEmpty() ? Ed.GetLeftSpacing(Width, true) : QString(Width, QLatin1Char(' '));
                const int Len = int(Temp.size());
                Temp += Fill;
                fLines->Put(L - 1, Temp);
                RecordFill(BufferCoord(Len + 1, L), BufferCoord(int(Temp.size()) + 1, L), Fill);
                X = int(Temp.size()) + 1;
            }
            QString Replaced;
            if (fInserting || X > Temp.size()) {
                Temp.insert(X - 1, AChar);
            } else {
                const int n = IsSurrogatePairAt(Temp, X - 1) ? 2 : 1;
                Replaced = Temp.mid(X - 1, n);
                Temp.replace(X - 1, n, QString(AChar));
            }
            fLines->Put(L - 1, Temp);
            fUndoRedo->AddUndoChange(crInsert, BufferCoord(X, L), BufferCoord(X + 1, L), Replaced, smNormal);
            Ed.SetCaretXYEx(true, BufferCoord(X + 1, L));
            fBlockBegin = fBlockEnd = Ed.CaretXY();
            if (fCaretX >= fLeftChar + fCharsInWindow)
                Ed.SetLeftChar(fLeftChar + std::min(std::max(fCharsInWindow - 1, 1), 25));
        });
    }
    Ed.DoOnPaintTransient(ttAfter);
}

void TLexEditPrivate::ExecImeStr(const QString &S) {
    if (S.isEmpty()) return;
    if (Ed.SelAvail() || S.contains(QLatin1Char('\r')) || S.contains(QLatin1Char('\n'))) {
        // Line breaks are made by the replacement primitive, never stored inside a line.
        if (Ed.SelAvail())
            Ed.SetSelText(S);
        else
            Ed.SetSelTextPrimitiveEx(smNormal, S);
        Ed.InvalidateGutterLines(-1, -1);
        return;
    }
    TOwnBufferBracket Bracket(Ed);
    WithScrollPastEol([&] {
        if (fLines->Count() == 0) fLines->Add(QString());
        const int L = fCaretY;
        const int X = fCaretX;
        std::optional<TUndoBlockGuard> Block;
        if (LineLength(L) < X - 1) {
            Block.emplace(*fUndoRedo);
            PadLine(L, X - 1);
        }
        QString Temp = fLines->Get(L - 1);
        QString Removed;
        if (!fInserting) {
            int n = int(S.size());
            // Never half of a pair at the end of the overwritten text.
            if (X - 1 + n < Temp.size() && IsSurrogatePairAt(Temp, X - 2 + n)) ++n;
            Removed = Temp.mid(X - 1, n);
            Temp.remove(X - 1, n);
        }
        Temp.insert(X - 1, S);
        fLines->Put(L - 1, Temp);
        const TBufferCoord NewCaret = BufferCoord(X + int(S.size()), L);
        fUndoRedo->AddUndoChange(crInsert, BufferCoord(X, L), NewCaret, Removed, smNormal);
        Ed.SetCaretXYEx(true, NewCaret);
        fBlockBegin = fBlockEnd = Ed.CaretXY();
        if (fCaretX >= fLeftChar + fCharsInWindow)
            Ed.SetLeftChar(fLeftChar + std::min(std::max(fCharsInWindow - 1, 1), 25));
    });
}

// ---- Backspace and Delete -----------------------------------------------------------------------

void TLexEditPrivate::ExecDeleteLastChar() {
    TTransientBracket Transient([this](TTransientType T) { Ed.DoOnPaintTransient(T); });
    if (Ed.SelAvail()) {
        Ed.SetSelText(QString());
        return;
    }
    TOwnBufferBracket Bracket(Ed);
    const int L = fCaretY;
    const int X = fCaretX;
    QString Temp = Ed.LineText();
    const int Len = int(Temp.size());
    const TBufferCoord Old = Ed.CaretXY();
    TBufferCoord New = Old;
    QString Removed;
    // A join moves the caret off its line first, which may trim it: one step with the join.
    std::optional<TUndoBlockGuard> Block;
    if (X < 2 && fOptions.Contains(eoTrimTrailingSpaces)) Block.emplace(*fUndoRedo);
    if (X > Len + 1) {
        if (fOptions.Contains(eoSmartTabDelete))
            New.Char = Len == 0 ? NearestIndentBelow(L, X - 1) + 1 : Len + 1;
        else
            New.Char = X - 1;
    } else if (X >= 2) {
        const int LS = Ed.LeftSpaces(Temp);
        int Count = 1;
        int From = X - 2; // 0-based index of the first removed character
        if (Temp[X - 2].unicode() <= 32 && X - 1 == LS) {
            if (fOptions.Contains(eoSmartTabDelete)) {
                // The blanks just before the caret go, down to the indentation of a line above.
                const int n = NearestIndentBelow(L, LS);
                From = n;
                Count = LS - n;
            } else {
                const QString Expanded = fLines->ExpandedStrings(L - 1);
                const int D = Ed.DisplayX();
                int k = (D - 1) % fTabWidth;
                if (k == 0) k = fTabWidth;
                Count = 0;
                int Cols = 0;
                for (int Col = D - k; Col < D; ++Col) {
                    if (Col >= 1 && Col <= Expanded.size() && Expanded[Col - 1] == QLatin1Char('\t')) {
                        ++Count;
                        break;
                    }
                    ++Count;
                    if (++Cols >= k || Cols >= fTabWidth) break;
                }
                Count = std::clamp(Count, 1, X - 1);
                From = X - 1 - Count;
            }
        } else if (IsSurrogatePairAt(Temp, X - 3)) {
            Count = 2;
            From = X - 3;
        }
        Removed = Temp.mid(From, Count);
        Temp.remove(From, Count);
        fLines->Put(L - 1, Temp);
        New.Char = From + 1;
    } else if (L > 1 && L <= fLines->Count()) {
        const QString Prev = fLines->Get(L - 2);
        New = BufferCoord(int(Prev.size()) + 1, L - 1);
        // The caret leaving the line may trim it (recorded): the line is read again after.
        Ed.SetCaretXYEx(false, New);
        Temp = fLines->Get(L - 1);
        fLines->Delete(L - 1);
        fLines->Put(L - 2, Prev + Temp);
        Removed = CRLF;
    }
    if (New != Old) {
        fUndoRedo->AddUndoChange(crSilentDelete, New, Old, Removed, smNormal);
        Ed.SetCaretXYEx(true, New);
        fBlockBegin = fBlockEnd = Ed.CaretXY();
    }
    Ed.EnsureCursorPosVisible();
}

void TLexEditPrivate::ExecDeleteChar() {
    TTransientBracket Transient([this](TTransientType T) { Ed.DoOnPaintTransient(T); });
    if (Ed.SelAvail()) {
        Ed.SetSelText(QString());
        return;
    }
    Ed.UpdateLastCaretX();
    TOwnBufferBracket Bracket(Ed);
    const int L = fCaretY;
    const int X = fCaretX;
    const TBufferCoord Caret = Ed.CaretXY();
    QString Temp = Ed.LineText();
    if (X <= Temp.size()) {
        const int n = IsSurrogatePairAt(Temp, X - 1) ? 2 : 1;
        const QString Removed = Temp.mid(X - 1, n);
        Temp.remove(X - 1, n);
        fLines->Put(L - 1, Temp);
        fUndoRedo->AddUndoChange(crSilentDelete, BufferCoord(X + n, L), Caret, Removed, smNormal);
    } else if (L < fLines->Count()) {
        TUndoBlockGuard Block(*fUndoRedo);
        PadLine(L, X - 1);
        const QString Joined = fLines->Get(L - 1) + fLines->Get(L);
        fLines->Delete(L);
        fLines->Put(L - 1, Joined);
        fUndoRedo->AddUndoChange(crSilentDelete, BufferCoord(1, L + 1), Caret, CRLF, smNormal);
    }
    Ed.SetCaretXYEx(false, Caret);
    fBlockBegin = fBlockEnd = Ed.CaretXY();
}

void TLexEditPrivate::ExecDeleteToBoundary(TLexEditorCommand Command) {
    Ed.DoOnPaintTransient(ttBefore);
    const TBufferCoord Caret = Ed.CaretXY();
    const int L = fCaretY;
    const QString Temp = Ed.LineText();
    const int Len = int(Temp.size());
    const bool Forward = Command == ecDeleteWord || Command == ecDeleteEOL;
    TBufferCoord Other = Caret;
    if (Command == ecDeleteWord) {
        Other = Ed.WordEnd();
        if (Other < Caret || (Other == Caret && L < fLines->Count())) {
            if (Other.Char > Len) {
                if (L < fLines->Count()) Other = BufferCoord(1, L + 1);
            } else if (Temp[Other.Char - 1] != QLatin1Char(' ')) {
                ++Other.Char;
            }
        }
    } else if (Command == ecDeleteEOL) {
        Other = BufferCoord(Len + 1, L);
    } else if (Command == ecDeleteLastWord) {
        Other = Ed.PrevWordPos();
    } else {
        Other = BufferCoord(1, L);
    }
    if (Other != Caret) {
        {
            TUpdateGuard Lock(Ed);
            fBlockBegin = Other;
            fBlockEnd = Caret;
            fActiveSelectionMode = smNormal;
            Ed.SetSelTextPrimitiveEx(smNormal, QString(), true, true);
        }
        Ed.SetCaretXYEx(true, Forward ? Caret : Other);
        fBlockBegin = fBlockEnd = Ed.CaretXY();
    }
    if (!Forward) Ed.DoOnPaintTransient(ttAfter);
}

// ---- line breaks --------------------------------------------------------------------------------

void TLexEditPrivate::ExecLineBreak(TLexEditorCommand Command) {
    const bool Break = Command == ecLineBreak;
    TOwnBufferBracket Bracket(Ed);
    TUndoBlockGuard Block(*fUndoRedo);
    if (Ed.SelAvail()) Ed.SetSelText(QString());
    if (fLines->Count() == 0) fLines->Add(QString());
    const int L = fCaretY;
    const int X = fCaretX;
    const QString Temp = fLines->Get(L - 1);
    const int Len = int(Temp.size());
    TBufferCoord NewCaret = Ed.CaretXY();
    ILexEditUndo &U = *fUndoRedo;
    // The break is recorded where the line is split, never past its end, so undoing it adds no
    // blanks.
    if (Len == 0) {
        int n = 0;
        if (fOptions.Contains(eoAutoIndent)) {
            for (int k = L; k >= 1; --k) {
                const QString S = fLines->Get(k - 1);
                if (!S.isEmpty()) {
                    n = Ed.LeftSpacesEx(S, true, false);
                    break;
                }
            }
        }
        fLines->Insert(L - 1, QString());
        U.AddUndoChange(crLineBreak, BufferCoord(1, L), BufferCoord(1, L), QString(), smNormal);
        if (Break) NewCaret = BufferCoord(n + 1, L + 1);
    } else if (X > Len) {
        fLines->Insert(L, QString());
        U.AddUndoChange(crLineBreak, BufferCoord(Len + 1, L), BufferCoord(Len + 1, L), QString(), smNormal);
        if (Break) {
            NewCaret = BufferCoord(1, L + 1);
            Ed.SetCaretXYEx(true, NewCaret);
            fBlockBegin = fBlockEnd = Ed.CaretXY();
            if (fOptions.Contains(eoAutoIndent)) {
                QString Blanks = Temp.left(Ed.LeftSpaces(Temp));
                const bool Smart = fOptions.Contains(eoSmartTabs);
                if (Smart) {
                    fOptions.Exclude(eoSmartTabs);
                    if (fOptions.Contains(eoTabsToSpaces)) Blanks = Ed.ExpandTabs(Blanks);
                }
                try {
                    for (QChar c : Blanks)
                        Ed.CommandProcessor(c == QLatin1Char('\t') ? ecTab : ecChar, c, nullptr);
                } catch (...) {
                    if (Smart) fOptions.Include(eoSmartTabs);
                    throw;
                }
                if (Smart) fOptions.Include(eoSmartTabs);
                NewCaret = Ed.CaretXY();
            }
        }
    } else if (X <= 1) {
        fLines->Insert(L - 1, QString());
        U.AddUndoChange(crLineBreak, BufferCoord(1, L), BufferCoord(1, L), Temp, smNormal);
        if (Break) NewCaret = BufferCoord(1, L + 1);
    } else {
        const QString Left = Temp.left(X - 1);
        const QString Right = Temp.mid(X - 1);
        const QString Indent = Ed.GetLeftSpacing(Ed.LeftSpacesEx(Left, true, false), true);
        fLines->Put(L - 1, Left);
        fLines->Insert(L, Indent + Right);
        U.AddUndoChange(crLineBreak, BufferCoord(X, L), BufferCoord(X, L), Right, smNormal);
        // The indentation is an insert of its own, so that redoing the split brings it back.
        if (!Indent.isEmpty())
            U.AddUndoChange(crInsert, BufferCoord(1, L + 1), BufferCoord(int(Indent.size()) + 1, L + 1),
                            QString(), smNormal);
        if (Break) NewCaret = BufferCoord(int(Indent.size()) + 1, L + 1);
    }
    Ed.SetCaretXYEx(true, NewCaret);
    fBlockBegin = fBlockEnd = Ed.CaretXY();
    Ed.EnsureCursorPosVisible();
    Ed.UpdateLastCaretX();
}

// ---- bookmarks ------------------------------------------------------------------------------------

void TLexEditPrivate::ExecSetMarker(int BookMark, void *Data) {
    const TBufferCoord P = Data != nullptr ? *static_cast<const TBufferCoord *>(Data) : Ed.CaretXY();
    int X = 0;
    int Y = 0;
    if (Ed.GetBookMark(BookMark, X, Y)) {
        Ed.ClearBookMark(BookMark);
        // The same key on the bookmark's own line removes it; on another line it moves it.
        if (Y != P.Line) Ed.SetBookMark(BookMark, P.Char, P.Line);
    } else {
        Ed.SetBookMark(BookMark, P.Char, P.Line);
    }
}

} // namespace lexedit

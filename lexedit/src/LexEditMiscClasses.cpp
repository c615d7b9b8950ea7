// The mark list of the editor.

#include "lexedit/LexEditMiscClasses.h"

#include "lexedit/LexEditOptions.h"

#include <algorithm>

namespace lexedit {

TLexEditMark &TLexEditMarkList::Items(int Index) {
    if (Index < 0 || Index >= Count())
        throw ELexEdit(QStringLiteral("Mark index out of range (%1)").arg(Index));
    return FItems[size_t(Index)];
}

const TLexEditMark &TLexEditMarkList::Items(int Index) const {
    return const_cast<TLexEditMarkList *>(this)->Items(Index);
}

TLexEditMark &TLexEditMarkList::Add(const TLexEditMark &AMark) {
    FItems.push_back(AMark);
    Changed();
    return FItems.back();
}

void TLexEditMarkList::Delete(int Index) {
    Items(Index); // range check
    FItems.erase(FItems.begin() + Index);
    Changed();
}

void TLexEditMarkList::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    Changed();
}

void TLexEditMarkList::ClearLine(int ALine) {
    const size_t Before = FItems.size();
    FItems.erase(std::remove_if(FItems.begin(), FItems.end(),
                                [ALine](const TLexEditMark &M) { return M.Line == ALine; }),
                 FItems.end());
    if (FItems.size() != Before) Changed();
}

std::vector<TLexEditMark *> TLexEditMarkList::GetMarksForLine(int ALine) {
    std::vector<TLexEditMark *> Result;
    for (TLexEditMark &M : FItems)
        if (M.Line == ALine) Result.push_back(&M);
    return Result;
}

void TLexEditMarkList::LinesInserted(int AFirstLine, int ACount) {
    bool Moved = false;
    for (TLexEditMark &M : FItems) {
        if (M.Line >= AFirstLine) {
            M.Line += ACount;
            Moved = true;
        }
    }
    if (Moved) Changed();
}

void TLexEditMarkList::LinesDeleted(int AFirstLine, int ACount) {
    bool Moved = false;
    for (TLexEditMark &M : FItems) {
        if (M.Line >= AFirstLine + ACount) {
            M.Line -= ACount;
            Moved = true;
        } else if (M.Line >= AFirstLine) {
            // A mark of a deleted line goes to the line above the deletion.
            M.Line = std::max(1, AFirstLine - 1);
            Moved = true;
        }
    }
    if (Moved) Changed();
}

void TLexEditMarkList::Changed() {
    if (OnChange) OnChange();
}

} // namespace lexedit

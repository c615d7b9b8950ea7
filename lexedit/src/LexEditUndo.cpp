// SPDX-License-Identifier: MIT
#include "lexedit/LexEditUndo.h"

#include "common/Exception.h"

#include <utility>
#include <vector>

namespace lexedit {

namespace {

// One stack of items, the newest at the back.
struct TLexEditUndoList {
    std::vector<TLexEditUndoItem> FItems;
    // The number every new item gets while a compound edit (or an undo / redo step) is open.
    int32_t FBlockChangeNumber = 0;
    int32_t FNextChangeNumber = 1;
    bool FFullUndoImpossible = false;

    bool Empty() const { return FItems.empty(); }
    TLexEditUndoItem &Top() { return FItems.back(); }
    const TLexEditUndoItem &Top() const { return FItems.back(); }
    void Clear() { std::vector<TLexEditUndoItem>().swap(FItems); }

    // Over the limit, keeps the (MaxUndoActions div 4) * 3 newest items and drops the older
    // ones, also when that cuts a group: undoing the part of a group that is kept still gives a
    // text that existed. A trim moves the kept items once and makes room for at least a quarter
    // of the limit, so each push costs O(1) amortised.
    void Trim(int MaxUndoActions) {
        if (MaxUndoActions <= 0 || FItems.size() <= size_t(MaxUndoActions)) return;
        const size_t Keep = size_t(MaxUndoActions / 4) * 3;
        FItems.erase(FItems.begin(), FItems.end() - std::ptrdiff_t(Keep));
        FFullUndoImpossible = true;
    }
};

class TLexEditUndo final : public ILexEditUndo {
public:
    TLexEditUndo(TLexUndoItemEvent AUndoItem, TLexUndoItemEvent ARedoItem)
        : FUndoItem(std::move(AUndoItem)), FRedoItem(std::move(ARedoItem)) {}

    bool GetModified() const override {
        if (!FUndoList.Empty()) return FUndoList.Top().ChangeNumber != FInitialChangeNumber;
        return FInitialChangeNumber != 0;
    }
    int GetMaxUndoActions() const override { return FMaxUndoActions; }
    bool GetCanUndo() const override { return !FUndoList.Empty(); }
    bool GetCanRedo() const override { return !FRedoList.Empty(); }
    bool GetFullUndoImpossible() const override { return FUndoList.FFullUndoImpossible; }
    TLexUndoNotifyEvent GetOnModifiedChanged() const override { return FOnModifiedChanged; }

    void SetModified(bool Value) override {
        if (!Value)
            FInitialChangeNumber = FUndoList.Empty() ? 0 : FUndoList.Top().ChangeNumber;
        else if (!GetModified())
            FInitialChangeNumber = -1; // a number no item has
    }
    void SetMaxUndoActions(int Value) override {
        if (Value == FMaxUndoActions) return;
        FMaxUndoActions = Value;
        FUndoList.Trim(Value);
        FRedoList.Trim(Value);
    }
    void SetGroupUndo(bool Value) override { FGroupUndo = Value; }
    void SetOnModifiedChanged(TLexUndoNotifyEvent Value) override { FOnModifiedChanged = std::move(Value); }

    void BeginBlock() override {
        if (FBlockCount == 0) {
            // A command run by an undo or redo callback opens a block of its own; its items
            // belong to the step being undone or redone and keep that step's number.
            FBlockInsideUndoRedo = FInsideUndo || FInsideRedo;
            if (!FBlockInsideUndoRedo) {
                FBlockStartModified = GetModified();
                FUndoList.FBlockChangeNumber = FUndoList.FNextChangeNumber++;
            }
        }
        ++FBlockCount;
    }
    void EndBlock() override {
        if (FBlockCount == 0) return;
        if (--FBlockCount > 0) return;
        if (FBlockInsideUndoRedo) {
            FBlockInsideUndoRedo = false;
            return;
        }
        FUndoList.FBlockChangeNumber = 0;
        AddGroupBreak();
        if (GetModified() != FBlockStartModified && FOnModifiedChanged) FOnModifiedChanged(this);
    }
    void Lock() override { ++FLockCount; }
    void Unlock() override {
        if (FLockCount > 0) --FLockCount;
    }
    void Clear() override {
        FUndoList.Clear();
        FRedoList.Clear();
    }

    void AddUndoChange(TLexChangeReason AReason, const TBufferCoord &AStart, const TBufferCoord &AEnd,
                       const QString &ChangeText, TLexSelectionMode SelMode, bool IsGroupBreak,
                       std::shared_ptr<TLexSwappedLines> ChangeLines) override {
        if (FLockCount > 0) return;
        const bool OldModified = GetModified();
        AddChange(FUndoList, AReason, AStart, AEnd, ChangeText, SelMode, IsGroupBreak,
                  std::move(ChangeLines));
        if (!FInsideRedo) FRedoList.Clear();
        if (!FInsideRedo && FBlockCount == 0 && GetModified() != OldModified && FOnModifiedChanged)
            FOnModifiedChanged(this);
    }
    void AddRedoChange(TLexChangeReason AReason, const TBufferCoord &AStart, const TBufferCoord &AEnd,
                       const QString &ChangeText, TLexSelectionMode SelMode, bool IsGroupBreak,
                       std::shared_ptr<TLexSwappedLines> ChangeLines) override {
        AddChange(FRedoList, AReason, AStart, AEnd, ChangeText, SelMode, IsGroupBreak,
                  std::move(ChangeLines));
    }
    void AddGroupBreak() override {
        if (!FUndoList.Empty() && FBlockCount == 0) FUndoList.Top().GroupBreak = true;
    }

    void Undo() override { Step(FUndoList, FRedoList, FInsideUndo, FUndoItem, false); }
    void Redo() override { Step(FRedoList, FUndoList, FInsideRedo, FRedoItem, true); }

    const TLexEditUndoList &Stack(bool ARedo) const { return ARedo ? FRedoList : FUndoList; }

private:
    void AddChange(TLexEditUndoList &AList, TLexChangeReason AReason, const TBufferCoord &AStart,
                   const TBufferCoord &AEnd, const QString &ChangeText, TLexSelectionMode SelMode,
                   bool IsGroupBreak, std::shared_ptr<TLexSwappedLines> ChangeLines) {
        if (FLockCount > 0) return;
        TLexEditUndoItem Item;
        Item.ChangeReason = AReason;
        Item.ChangeStartPos = AStart;
        Item.ChangeEndPos = AEnd;
        Item.ChangeStr = ChangeText;
        Item.ChangeLines = std::move(ChangeLines);
        Item.ChangeSelMode = SelMode;
        Item.GroupBreak = IsGroupBreak;
        Item.ChangeNumber =
            AList.FBlockChangeNumber != 0 ? AList.FBlockChangeNumber : AList.FNextChangeNumber++;
        AList.FItems.push_back(std::move(Item));
        AList.Trim(FMaxUndoActions);
    }

    // One undo (or redo) step: takes items off From, hands each to the callback (which records
    // the opposite on To under one number) while they belong to the same step.
    void Step(TLexEditUndoList &From, TLexEditUndoList &To, bool &Inside, const TLexUndoItemEvent &Callback,
              bool IsRedo) {
        COMMON_ASSERT(FBlockCount == 0 && !FInsideUndo && !FInsideRedo);
        if (From.Empty()) return;
        int32_t N = From.Top().ChangeNumber;
        const bool OldModified = GetModified();
        To.FBlockChangeNumber = To.FNextChangeNumber++;
        auto Finish = [&] {
            To.FBlockChangeNumber = 0;
            if (GetModified() != OldModified && FOnModifiedChanged) FOnModifiedChanged(this);
        };
        try {
            for (;;) {
                const TLexEditUndoItem Item = std::move(From.Top());
                From.FItems.pop_back();
                const TLexChangeReason R = Item.ChangeReason;
                Inside = true;
                try {
                    if (Callback) Callback(Item);
                } catch (...) {
                    Inside = false;
                    throw;
                }
                Inside = false;
                if (From.Empty()) break;
                const TLexEditUndoItem &Next = From.Top();
                if (Next.ChangeNumber == N) continue;
                // Undo looks at the break of the next item, redo at the one of the item just
                // redone.
                const bool Break = IsRedo ? Item.GroupBreak : Next.GroupBreak;
                if (!(FGroupUndo && Next.ChangeReason == R && !Break && R != crIndent && R != crUnindent))
                    break;
                // The group goes on into an earlier compound edit: all of it belongs to the step.
                N = Next.ChangeNumber;
            }
        } catch (...) {
            try {
                Finish();
            } catch (...) {
            }
            throw;
        }
        Finish();
    }

    bool FGroupUndo = true;
    int FBlockCount = 0;
    int FLockCount = 0;
    int32_t FInitialChangeNumber = 0;
    int FMaxUndoActions = 0;
    bool FBlockStartModified = false;
    TLexEditUndoList FUndoList;
    TLexEditUndoList FRedoList;
    TLexUndoNotifyEvent FOnModifiedChanged;
    bool FInsideRedo = false;
    bool FInsideUndo = false;
    bool FBlockInsideUndoRedo = false;
    TLexUndoItemEvent FUndoItem;
    TLexUndoItemEvent FRedoItem;
};

} // namespace

std::shared_ptr<ILexEditUndo> CreateLexEditUndo(TLexUndoItemEvent UndoMethod, TLexUndoItemEvent RedoMethod) {
    return std::make_shared<TLexEditUndo>(std::move(UndoMethod), std::move(RedoMethod));
}

int UndoStackCount(const ILexEditUndo &AUndo, bool ARedo) {
    const auto *Engine = dynamic_cast<const TLexEditUndo *>(&AUndo);
    COMMON_ASSERT(Engine != nullptr);
    return int(Engine->Stack(ARedo).FItems.size());
}

TLexEditUndoItem UndoStackItem(const ILexEditUndo &AUndo, bool ARedo, int Index) {
    const auto *Engine = dynamic_cast<const TLexEditUndo *>(&AUndo);
    COMMON_ASSERT(Engine != nullptr);
    const auto &Items = Engine->Stack(ARedo).FItems;
    COMMON_ASSERT(Index >= 0 && size_t(Index) < Items.size());
    return Items[Items.size() - 1 - size_t(Index)];
}

} // namespace lexedit

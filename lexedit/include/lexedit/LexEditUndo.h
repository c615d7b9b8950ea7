// SPDX-License-Identifier: MIT
#pragma once
// The undo and redo engine of an editor. The editor reports every change as an undo item; the
// engine numbers the items so that a compound edit is undone as one step, merges consecutive
// changes of one kind when group undo is on, limits the stacks and tracks whether the text
// differs from its saved state. It never edits text: to undo or redo an item it hands the item
// back to the editor through the two callbacks given at creation.
//
// Ownership: CreateLexEditUndo returns a std::shared_ptr; the engine lives as long as a
// reference to it exists (the editor holds one).

#include "common/BracketGuard.h"
#include "lexedit/LexEditTypes.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

namespace lexedit {

// The other texts of lines rewritten in place (defined with the line buffer).
struct TLexSwappedLines;

struct TLexEditUndoItem {
    TBufferCoord ChangeStartPos;
    TBufferCoord ChangeEndPos;
    QString ChangeStr;
    // For crLineReplace: the lines' other texts, which the undo or redo swaps in; the item on
    // the other stack then holds the same set.
    std::shared_ptr<TLexSwappedLines> ChangeLines;
    int32_t ChangeNumber = 0;
    TLexChangeReason ChangeReason = crNothing;
    TLexSelectionMode ChangeSelMode = smNormal;
    bool GroupBreak = false;
};

class ILexEditUndo;

// Performs the reverse (undo) or the repetition (redo) of one item.
using TLexUndoItemEvent = std::function<void(const TLexEditUndoItem &Item)>;
using TLexUndoNotifyEvent = std::function<void(ILexEditUndo *Sender)>;

class ILexEditUndo {
public:
    virtual ~ILexEditUndo() = default;

    virtual bool GetModified() const = 0;
    virtual int GetMaxUndoActions() const = 0;
    virtual bool GetCanUndo() const = 0;
    virtual bool GetCanRedo() const = 0;
    virtual bool GetFullUndoImpossible() const = 0;
    virtual TLexUndoNotifyEvent GetOnModifiedChanged() const = 0;
    virtual void SetModified(bool Value) = 0;
    virtual void SetMaxUndoActions(int Value) = 0;
    virtual void SetGroupUndo(bool Value) = 0;
    virtual void SetOnModifiedChanged(TLexUndoNotifyEvent Value) = 0;
    // Compound edits (nestable): every item recorded until the outermost EndBlock shares one
    // change number and is undone in one step.
    virtual void BeginBlock() = 0;
    virtual void EndBlock() = 0;
    // While locked, nothing is recorded.
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
    virtual void Clear() = 0;
    virtual void AddUndoChange(TLexChangeReason AReason, const TBufferCoord &AStart, const TBufferCoord &AEnd,
                               const QString &ChangeText, TLexSelectionMode SelMode,
                               bool IsGroupBreak = false,
                               std::shared_ptr<TLexSwappedLines> ChangeLines = nullptr) = 0;
    // Records on the redo stack; called by the editor's undo callback.
    virtual void AddRedoChange(TLexChangeReason AReason, const TBufferCoord &AStart, const TBufferCoord &AEnd,
                               const QString &ChangeText, TLexSelectionMode SelMode,
                               bool IsGroupBreak = false,
                               std::shared_ptr<TLexSwappedLines> ChangeLines = nullptr) = 0;
    virtual void AddGroupBreak() = 0;
    virtual void Undo() = 0;
    virtual void Redo() = 0;

    // Property forms.
    bool CanUndo() const { return GetCanUndo(); }
    bool CanRedo() const { return GetCanRedo(); }
    bool Modified() const { return GetModified(); }
    int MaxUndoActions() const { return GetMaxUndoActions(); }
    bool FullUndoImpossible() const { return GetFullUndoImpossible(); }
    TLexUndoNotifyEvent OnModifiedChanged() const { return GetOnModifiedChanged(); }
};

// Holds a compound edit (BeginBlock / EndBlock) open for its lifetime.
using TUndoBlockGuard =
    common::BracketGuard<ILexEditUndo, &ILexEditUndo::BeginBlock, &ILexEditUndo::EndBlock>;

std::shared_ptr<ILexEditUndo> CreateLexEditUndo(TLexUndoItemEvent UndoMethod, TLexUndoItemEvent RedoMethod);

// Inspection of the stacks, for tests and diagnostics: the number of items and the item at
// Index (0 = newest) of the undo (ARedo false) or redo stack of an engine made by
// CreateLexEditUndo.
int UndoStackCount(const ILexEditUndo &AUndo, bool ARedo);
TLexEditUndoItem UndoStackItem(const ILexEditUndo &AUndo, bool ARedo, int Index);

} // namespace lexedit

// SPDX-License-Identifier: MIT
// Commands and keyboard input: the keystroke table and the difference from the default table
// that a stored form keeps, the hooked command handlers, and keeping Tab in the editor.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

namespace lexedit {

// ---- keystrokes -----------------------------------------------------------------------------

void TCustomLexEdit::SetKeystrokes(const TLexEditKeyStrokes *Value) {
    if (Value == nullptr)
        fPriv->fKeyStrokes->Clear();
    else
        fPriv->fKeyStrokes->Assign(*Value);
}

void TCustomLexEdit::SetDefaultKeystrokes() {
    fPriv->fKeyStrokes->ResetDefaults();
}

namespace {

TLexStoredKeystroke Stored(const TLexEditKeyStroke &K) {
    return TLexStoredKeystroke{K.Command(), K.Key(), K.Shift(), K.Key2(), K.Shift2()};
}

// Whether ATable holds an entry with the keys of AItem and the same command.
bool HasEntry(const TLexEditKeyStrokes &ATable, const TLexStoredKeystroke &AItem) {
    for (int i = 0; i < ATable.Count(); ++i)
        if (Stored(*ATable.Items(i)) == AItem) return true;
    return false;
}

std::vector<TLexStoredKeystroke> Missing(const TLexEditKeyStrokes &AFrom, const TLexEditKeyStrokes &AIn) {
    std::vector<TLexStoredKeystroke> Result;
    for (int i = 0; i < AFrom.Count(); ++i) {
        const TLexStoredKeystroke K = Stored(*AFrom.Items(i));
        if (!HasEntry(AIn, K)) Result.push_back(K);
    }
    return Result;
}

} // namespace

std::vector<TLexStoredKeystroke> TCustomLexEdit::AddedKeystrokes() const {
    TLexEditKeyStrokes Defaults;
    Defaults.ResetDefaults();
    return Missing(*fPriv->fKeyStrokes, Defaults);
}

std::vector<TLexStoredKeystroke> TCustomLexEdit::RemovedKeystrokes() const {
    TLexEditKeyStrokes Defaults;
    Defaults.ResetDefaults();
    return Missing(Defaults, *fPriv->fKeyStrokes);
}

void TCustomLexEdit::ReadAddedKeystrokes(const std::vector<TLexStoredKeystroke> &AItems) {
    for (const TLexStoredKeystroke &K : AItems) {
        TLexEditKeyStroke *Item = fPriv->fKeyStrokes->Add();
        Item->SetCommand(K.Command);
        Item->SetKey(K.Key);
        Item->SetShift(K.Shift);
        Item->SetKey2(K.Key2);
        Item->SetShift2(K.Shift2);
    }
}

void TCustomLexEdit::ReadRemovedKeystrokes(const std::vector<TLexStoredKeystroke> &AItems) {
    for (const TLexStoredKeystroke &K : AItems)
        for (int i = fPriv->fKeyStrokes->Count() - 1; i >= 0; --i)
            if (Stored(*fPriv->fKeyStrokes->Items(i)) == K) fPriv->fKeyStrokes->Delete(i);
}

// ---- hooked command handlers ----------------------------------------------------------------

void TCustomLexEdit::RegisterCommandHandler(const void *AOwner, THookedCommandEvent AHandlerProc,
                                            void *AHandlerData) {
    if (!AHandlerProc) return;
    for (const THookedCommandHandlerEntry &E : fPriv->fHookedCommandHandlers)
        if (E.Owner == AOwner) return;
    fPriv->fHookedCommandHandlers.push_back(
        THookedCommandHandlerEntry{AOwner, std::move(AHandlerProc), AHandlerData});
}

void TCustomLexEdit::UnregisterCommandHandler(const void *AOwner) {
    for (auto It = fPriv->fHookedCommandHandlers.rbegin(); It != fPriv->fHookedCommandHandlers.rend(); ++It) {
        if (It->Owner == AOwner) {
            fPriv->fHookedCommandHandlers.erase(std::next(It).base());
            return;
        }
    }
}

void TCustomLexEdit::NotifyHookedCommandHandlers(bool AfterProcessing, TLexEditorCommand &Command,
                                                 QChar &AChar, void *Data) {
    // Over a copy: a handler may unregister itself.
    const std::vector<THookedCommandHandlerEntry> Handlers = fPriv->fHookedCommandHandlers;
    bool Handled = false;
    for (const THookedCommandHandlerEntry &E : Handlers)
        E.Event(this, AfterProcessing, Handled, Command, AChar, Data, E.Data);
    if (Handled) Command = ecNone;
}

// ---- keyboard focus -------------------------------------------------------------------------

bool TCustomLexEdit::focusNextPrevChild(bool ANext) {
    if (fPriv->fWantTabs) return false;
    return QAbstractScrollArea::focusNextPrevChild(ANext);
}

} // namespace lexedit

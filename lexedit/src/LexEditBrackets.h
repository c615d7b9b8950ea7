// SPDX-License-Identifier: MIT
#pragma once
// The buffer's update bracket as the editor's implementation opens it.

#include "LexEditPrivate.h"
#include "common/BracketGuard.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

namespace lexedit {

// Holds the buffer's update bracket for its lifetime.
using TBufferUpdateGuard = common::BracketGuard<TLexEditStringList, &TLexEditStringList::BeginUpdate,
                                                &TLexEditStringList::EndUpdate>;

// The buffer's update bracket opened by the editor itself. The editor never changes lines
// without reporting which, so when its own outermost bracket reports no change at all, the
// stored ranges need no check (see TCustomLexEdit::LinesChanged).
class TOwnBufferBracket {
public:
    explicit TOwnBufferBracket(TCustomLexEdit &AEdit)
        : FOwn(AEdit.fPriv->BufferOwner().fPriv->fOwnBracket,
               AEdit.fPriv->BufferOwner().fPriv->fOwnBracket || AEdit.Lines()->UpdateCount() == 0),
          FBracket(*AEdit.Lines()) {}

private:
    common::ScopedValue<bool> FOwn; // ends after the bracket, whose end runs LinesChanged
    TBufferUpdateGuard FBracket;
};

} // namespace lexedit

// SPDX-License-Identifier: MIT
// The default keystroke table every new editor starts with.

#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditKeyConst.h"

namespace lexedit {

namespace {

struct TDefaultKey {
    TLexEditorCommand Cmd;
    uint16_t Key;
    uint16_t Shift; // shift-state mask
    uint16_t Key2;
    uint16_t Shift2;
};

constexpr uint16_t S = 1 << ssShift;
constexpr uint16_t A = 1 << ssAlt;
constexpr uint16_t C = 1 << ssCtrl;

constexpr TDefaultKey DefaultKeys[DefaultKeyStrokeCount] = {
    {ecUp, VK_UP, 0, 0, 0},
    {ecSelUp, VK_UP, S, 0, 0},
    {ecScrollUp, VK_UP, C, 0, 0},
    {ecDown, VK_DOWN, 0, 0, 0},
    {ecSelDown, VK_DOWN, S, 0, 0},
    {ecScrollDown, VK_DOWN, C, 0, 0},
    {ecLeft, VK_LEFT, 0, 0, 0},
    {ecSelLeft, VK_LEFT, S, 0, 0},
    {ecWordLeft, VK_LEFT, C, 0, 0},
    {ecSelWordLeft, VK_LEFT, S | C, 0, 0},
    {ecRight, VK_RIGHT, 0, 0, 0},
    {ecSelRight, VK_RIGHT, S, 0, 0},
    {ecWordRight, VK_RIGHT, C, 0, 0},
    {ecSelWordRight, VK_RIGHT, S | C, 0, 0},
    {ecPageDown, VK_NEXT, 0, 0, 0},
    {ecSelPageDown, VK_NEXT, S, 0, 0},
    {ecPageBottom, VK_NEXT, C, 0, 0},
    {ecSelPageBottom, VK_NEXT, S | C, 0, 0},
    {ecPageUp, VK_PRIOR, 0, 0, 0},
    {ecSelPageUp, VK_PRIOR, S, 0, 0},
    {ecPageTop, VK_PRIOR, C, 0, 0},
    {ecSelPageTop, VK_PRIOR, S | C, 0, 0},
    {ecLineStart, VK_HOME, 0, 0, 0},
    {ecSelLineStart, VK_HOME, S, 0, 0},
    {ecEditorTop, VK_HOME, C, 0, 0},
    {ecSelEditorTop, VK_HOME, S | C, 0, 0},
    {ecLineEnd, VK_END, 0, 0, 0},
    {ecSelLineEnd, VK_END, S, 0, 0},
    {ecEditorBottom, VK_END, C, 0, 0},
    {ecSelEditorBottom, VK_END, S | C, 0, 0},
    {ecToggleMode, VK_INSERT, 0, 0, 0},
    {ecCopy, VK_INSERT, C, 0, 0},
    {ecCut, VK_DELETE, S, 0, 0},
    {ecPaste, VK_INSERT, S, 0, 0},
    {ecDeleteChar, VK_DELETE, 0, 0, 0},
    {ecDeleteLastChar, VK_BACK, 0, 0, 0},
    {ecDeleteLastChar, VK_BACK, S, 0, 0},
    {ecDeleteLastWord, VK_BACK, C, 0, 0},
    {ecUndo, VK_BACK, A, 0, 0},
    {ecRedo, VK_BACK, S | A, 0, 0},
    {ecLineBreak, VK_RETURN, 0, 0, 0},
    {ecLineBreak, VK_RETURN, S, 0, 0},
    {ecTab, VK_TAB, 0, 0, 0},
    {ecShiftTab, VK_TAB, S, 0, 0},
    {ecContextHelp, VK_F1, 0, 0, 0},
    {ecSelectAll, 'A', C, 0, 0},
    {ecCopy, 'C', C, 0, 0},
    {ecPaste, 'V', C, 0, 0},
    {ecCut, 'X', C, 0, 0},
    {ecBlockIndent, 'I', S | C, 0, 0},
    {ecBlockUnindent, 'U', S | C, 0, 0},
    {ecLineBreak, 'M', C, 0, 0},
    {ecInsertLine, 'N', C, 0, 0},
    {ecDeleteWord, 'T', C, 0, 0},
    {ecDeleteLine, 'Y', C, 0, 0},
    {ecDeleteEOL, 'Y', S | C, 0, 0},
    {ecUndo, 'Z', C, 0, 0},
    {ecRedo, 'Z', S | C, 0, 0},
    {ecGotoMarker0, '0', C, 0, 0},
    {ecGotoMarker1, '1', C, 0, 0},
    {ecGotoMarker2, '2', C, 0, 0},
    {ecGotoMarker3, '3', C, 0, 0},
    {ecGotoMarker4, '4', C, 0, 0},
    {ecGotoMarker5, '5', C, 0, 0},
    {ecGotoMarker6, '6', C, 0, 0},
    {ecGotoMarker7, '7', C, 0, 0},
    {ecGotoMarker8, '8', C, 0, 0},
    {ecGotoMarker9, '9', C, 0, 0},
    {ecSetMarker0, '0', S | C, 0, 0},
    {ecSetMarker1, '1', S | C, 0, 0},
    {ecSetMarker2, '2', S | C, 0, 0},
    {ecSetMarker3, '3', S | C, 0, 0},
    {ecSetMarker4, '4', S | C, 0, 0},
    {ecSetMarker5, '5', S | C, 0, 0},
    {ecSetMarker6, '6', S | C, 0, 0},
    {ecSetMarker7, '7', S | C, 0, 0},
    {ecSetMarker8, '8', S | C, 0, 0},
    {ecSetMarker9, '9', S | C, 0, 0},
    {ecNormalSelect, 'N', S | C, 0, 0},
    {ecColumnSelect, 'C', S | C, 0, 0},
    {ecLineSelect, 'L', S | C, 0, 0},
    {ecMatchBracket, 'B', S | C, 0, 0},
    {ecLowerCase, 'K', C, 'L', C},
    {ecUpperCase, 'K', C, 'U', C},
    {ecTitleCase, 'K', C, 'T', C},
    {ecCopyLineUp, VK_UP, S | A, 0, 0},
    {ecCopyLineDown, VK_DOWN, S | A, 0, 0},
    {ecMoveLineUp, VK_UP, A, 0, 0},
    {ecMoveLineDown, VK_DOWN, A, 0, 0},
    {ecFoldAll, VK_OEM_MINUS, S | C, 0, 0},
    {ecUnfoldAll, VK_OEM_PLUS, S | C, 0, 0},
    {ecFoldNearest, VK_OEM_2, C, 0, 0},
    {ecUnfoldNearest, VK_OEM_2, S | C, 0, 0},
    {ecFoldLevel1, 'K', C, '1', C},
    {ecFoldLevel2, 'K', C, '2', C},
    {ecFoldLevel3, 'K', C, '3', C},
    {ecUnfoldLevel1, 'K', S | C, '1', S | C},
    {ecUnfoldLevel2, 'K', S | C, '2', S | C},
    {ecUnfoldLevel3, 'K', S | C, '3', S | C},
};

} // namespace

void TLexEditKeyStrokes::ResetDefaults() {
    Clear();
    for (const TDefaultKey &k : DefaultKeys)
        AddKey(k.Cmd, k.Key, TShiftState::FromMask(k.Shift), k.Key2, TShiftState::FromMask(k.Shift2));
}

} // namespace lexedit

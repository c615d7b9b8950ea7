// SPDX-License-Identifier: MIT
#pragma once
// The types of the editor control's interface: its exception, the option set with its default,
// the state and status-change flags, the settings' enumerations and the event types.

#include "common/Exception.h"
#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditTypes.h"
#include "lexedit/LexSet.h"

#include <QChar>
#include <QMimeData>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QWidget;

namespace lexedit {

COMMON_DECLARE_EXCEPTION(ELexEdit, common::Exception)
// A search or replace was asked of an editor without a search engine.
COMMON_DECLARE_EXCEPTION(ELexEditError, ELexEdit)

// ---- options ----------------------------------------------------------------------------------

enum TLexEditorOption : uint8_t {
    eoAltSetsColumnMode,
    eoAutoIndent,
    eoDisableScrollArrows,
    eoDragDropEditing,
    eoDropFiles,
    eoEnhanceHomeKey,
    eoEnhanceEndKey,
    eoGroupUndo,
    eoHalfPageScroll,
    eoHideShowScrollbars,
    eoKeepCaretX,
    eoNoCaret,
    eoNoSelection,
    eoRightMouseMovesCursor,
    eoScrollByOneLess,
    eoScrollHintFollows,
    eoScrollPastEof,
    eoScrollPastEol,
    eoShowScrollHint,
    eoShowSpecialChars,
    eoSmartTabDelete,
    eoSmartTabs,
    eoSpecialLineDefaultFg,
    eoTabIndent,
    eoTabsToSpaces,
    eoTrimTrailingSpaces,
    eoShowLigatures
};
using TLexEditorOptions = TSet<TLexEditorOption, uint32_t>;

inline constexpr TLexEditorOptions LEXEDIT_DEFAULT_OPTIONS{
    eoAutoIndent,     eoDragDropEditing, eoEnhanceEndKey, eoGroupUndo,   eoScrollPastEol,
    eoShowScrollHint, eoSmartTabDelete,  eoSmartTabs,     eoTabsToSpaces};

// ---- state and status -------------------------------------------------------------------------

enum TLexStateFlag : uint8_t {
    sfCaretChanged,
    sfScrollbarChanged,
    sfLinesChanging,
    sfIgnoreNextChar,
    sfCaretVisible,
    sfPossibleGutterClick,
    sfOleDragSource,
    sfGutterDragging
};
using TLexStateFlags = TSet<TLexStateFlag, uint16_t>;

enum TLexStatusChange : uint8_t {
    scAll,
    scCaretX,
    scCaretY,
    scLeftChar,
    scTopLine,
    scInsertMode,
    scModified,
    scSelection,
    scReadOnly
};
using TLexStatusChanges = TSet<TLexStatusChange, uint16_t>;

// ---- settings ---------------------------------------------------------------------------------

enum TLexEditCaretType : uint8_t { ctVerticalLine, ctHorizontalLine, ctHalfBlock, ctBlock };
enum TLexScrollHintFormat : uint8_t { shfTopLineOnly, shfTopToBottom };
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TBorderStyle : uint8_t { bsNone, bsSingle };
enum TFontQuality : uint8_t {
    fqDefault,
    fqDraft,
    fqProof,
    fqNonAntialiased,
    fqAntialiased,
    fqClearType,
    fqClearTypeNatural
};

// ---- events -----------------------------------------------------------------------------------

class TCustomLexEdit;

using TLexNotifyEvent = std::function<void(TCustomLexEdit *Sender)>;
using TStatusChangeEvent = std::function<void(TCustomLexEdit *Sender, TLexStatusChanges Changes)>;
using TProcessCommandEvent =
    std::function<void(TCustomLexEdit *Sender, TLexEditorCommand &Command, QChar &AChar, void *Data)>;
// Asks whether to replace the match at (Line, Column); the handler leaves its answer in Action.
using TReplaceTextEvent =
    std::function<void(TCustomLexEdit *Sender, const QString &ASearch, const QString &AReplace, int Line,
                       int Column, TLexReplaceAction &Action)>;
using TSearchNotFoundEvent = std::function<void(TCustomLexEdit *Sender, const QString &FindText)>;
using TContextHelpEvent = std::function<void(TCustomLexEdit *Sender, const QString &Word)>;
// A hooked command handler: called before (AfterProcessing false) and after a command runs.
using THookedCommandEvent =
    std::function<void(TCustomLexEdit *Sender, bool AfterProcessing, bool &Handled,
                       TLexEditorCommand &Command, QChar &AChar, void *Data, void *HandlerData)>;

struct THookedCommandHandlerEntry {
    const void *Owner = nullptr; // identifies the handler (the object the handler belongs to)
    THookedCommandEvent Event;
    void *Data = nullptr;
};

// The difference of a keystroke table from the default table, as stored in a form.
struct TLexStoredKeystroke {
    TLexEditorCommand Command = ecNone;
    uint16_t Key = 0;
    TShiftState Shift;
    uint16_t Key2 = 0;
    TShiftState Shift2;
    bool operator==(const TLexStoredKeystroke &O) const {
        return Command == O.Command && Key == O.Key && Shift == O.Shift && Key2 == O.Key2 &&
               Shift2 == O.Shift2;
    }
};

// ---- view and mouse ---------------------------------------------------------------------------

enum TScrollBarKind : uint8_t { sbHorizontal, sbVertical };
using TLexScrollEvent = std::function<void(TCustomLexEdit *Sender, TScrollBarKind ScrollBar)>;
// The cursor chosen for the point over aLineCharPos may be changed.
using TLexMouseCursorEvent =
    std::function<void(TCustomLexEdit *Sender, const TBufferCoord &aLineCharPos, Qt::CursorShape &aCursor)>;

// What the mouse handling asks of the system: the mouse position (global pixels), the keys
// held, the double-click time and drag distance, and a millisecond clock for events that carry
// no time stamp. DefaultMouseEnvironment asks Qt.
struct TLexMouseEnvironment {
    std::function<QPoint()> CursorPos;
    std::function<Qt::KeyboardModifiers()> KeyboardModifiers;
    std::function<int()> DoubleClickTime;
    std::function<int()> DragDistance;
    std::function<int64_t()> Now;
    // Runs the drag of AData out of ASource allowing AActions (QDrag::exec by default); returns
    // the action the drop took, IgnoreAction when it was cancelled.
    std::function<Qt::DropAction(QWidget *ASource, std::unique_ptr<QMimeData> AData,
                                 Qt::DropActions AActions)>
        StartDrag;
};
TLexMouseEnvironment DefaultMouseEnvironment();

} // namespace lexedit

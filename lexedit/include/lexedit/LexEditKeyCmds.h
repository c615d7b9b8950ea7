// SPDX-License-Identifier: MIT
#pragma once
// Editor command codes, shortcuts and shift states, and the keystroke table that maps keys
// (single keys and two-key sequences) to commands.

#include "common/Exception.h"
#include "lexedit/LexSet.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QIODevice;
class QObject;

namespace lexedit {

// ---------------------------------------------------------------------------------------------
// Command codes
// ---------------------------------------------------------------------------------------------

using TLexEditorCommand = uint16_t;

inline constexpr TLexEditorCommand ecNone = 0;
inline constexpr TLexEditorCommand ecLeft = 1;
inline constexpr TLexEditorCommand ecRight = 2;
inline constexpr TLexEditorCommand ecUp = 3;
inline constexpr TLexEditorCommand ecDown = 4;
inline constexpr TLexEditorCommand ecWordLeft = 5;
inline constexpr TLexEditorCommand ecWordRight = 6;
inline constexpr TLexEditorCommand ecLineStart = 7;
inline constexpr TLexEditorCommand ecLineEnd = 8;
inline constexpr TLexEditorCommand ecPageUp = 9;
inline constexpr TLexEditorCommand ecPageDown = 10;
inline constexpr TLexEditorCommand ecPageLeft = 11;
inline constexpr TLexEditorCommand ecPageRight = 12;
inline constexpr TLexEditorCommand ecPageTop = 13;
inline constexpr TLexEditorCommand ecPageBottom = 14;
inline constexpr TLexEditorCommand ecEditorTop = 15;
inline constexpr TLexEditorCommand ecEditorBottom = 16;
inline constexpr TLexEditorCommand ecGotoXY = 17;

// Offset from a caret movement to its selecting variant.
inline constexpr TLexEditorCommand ecSelection = 100;

inline constexpr TLexEditorCommand ecSelLeft = ecLeft + ecSelection;
inline constexpr TLexEditorCommand ecSelRight = ecRight + ecSelection;
inline constexpr TLexEditorCommand ecSelUp = ecUp + ecSelection;
inline constexpr TLexEditorCommand ecSelDown = ecDown + ecSelection;
inline constexpr TLexEditorCommand ecSelWordLeft = ecWordLeft + ecSelection;
inline constexpr TLexEditorCommand ecSelWordRight = ecWordRight + ecSelection;
inline constexpr TLexEditorCommand ecSelLineStart = ecLineStart + ecSelection;
inline constexpr TLexEditorCommand ecSelLineEnd = ecLineEnd + ecSelection;
inline constexpr TLexEditorCommand ecSelPageUp = ecPageUp + ecSelection;
inline constexpr TLexEditorCommand ecSelPageDown = ecPageDown + ecSelection;
inline constexpr TLexEditorCommand ecSelPageLeft = ecPageLeft + ecSelection;
inline constexpr TLexEditorCommand ecSelPageRight = ecPageRight + ecSelection;
inline constexpr TLexEditorCommand ecSelPageTop = ecPageTop + ecSelection;
inline constexpr TLexEditorCommand ecSelPageBottom = ecPageBottom + ecSelection;
inline constexpr TLexEditorCommand ecSelEditorTop = ecEditorTop + ecSelection;
inline constexpr TLexEditorCommand ecSelEditorBottom = ecEditorBottom + ecSelection;
inline constexpr TLexEditorCommand ecSelGotoXY = ecGotoXY + ecSelection;

inline constexpr TLexEditorCommand ecSelWord = 198;
inline constexpr TLexEditorCommand ecSelectAll = 199;
inline constexpr TLexEditorCommand ecCopy = 201;
inline constexpr TLexEditorCommand ecScrollUp = 211;
inline constexpr TLexEditorCommand ecScrollDown = 212;
inline constexpr TLexEditorCommand ecScrollLeft = 213;
inline constexpr TLexEditorCommand ecScrollRight = 214;
inline constexpr TLexEditorCommand ecInsertMode = 221;
inline constexpr TLexEditorCommand ecOverwriteMode = 222;
inline constexpr TLexEditorCommand ecToggleMode = 223;
inline constexpr TLexEditorCommand ecNormalSelect = 231;
inline constexpr TLexEditorCommand ecColumnSelect = 232;
inline constexpr TLexEditorCommand ecLineSelect = 233;
inline constexpr TLexEditorCommand ecMatchBracket = 250;
inline constexpr TLexEditorCommand ecCommentBlock = 251;

inline constexpr TLexEditorCommand ecGotoMarker0 = 301;
inline constexpr TLexEditorCommand ecGotoMarker1 = 302;
inline constexpr TLexEditorCommand ecGotoMarker2 = 303;
inline constexpr TLexEditorCommand ecGotoMarker3 = 304;
inline constexpr TLexEditorCommand ecGotoMarker4 = 305;
inline constexpr TLexEditorCommand ecGotoMarker5 = 306;
inline constexpr TLexEditorCommand ecGotoMarker6 = 307;
inline constexpr TLexEditorCommand ecGotoMarker7 = 308;
inline constexpr TLexEditorCommand ecGotoMarker8 = 309;
inline constexpr TLexEditorCommand ecGotoMarker9 = 310;
inline constexpr TLexEditorCommand ecSetMarker0 = 351;
inline constexpr TLexEditorCommand ecSetMarker1 = 352;
inline constexpr TLexEditorCommand ecSetMarker2 = 353;
inline constexpr TLexEditorCommand ecSetMarker3 = 354;
inline constexpr TLexEditorCommand ecSetMarker4 = 355;
inline constexpr TLexEditorCommand ecSetMarker5 = 356;
inline constexpr TLexEditorCommand ecSetMarker6 = 357;
inline constexpr TLexEditorCommand ecSetMarker7 = 358;
inline constexpr TLexEditorCommand ecSetMarker8 = 359;
inline constexpr TLexEditorCommand ecSetMarker9 = 360;

inline constexpr TLexEditorCommand ecContextHelp = 490;

inline constexpr TLexEditorCommand ecDeleteLastChar = 501;
inline constexpr TLexEditorCommand ecDeleteChar = 502;
inline constexpr TLexEditorCommand ecDeleteWord = 503;
inline constexpr TLexEditorCommand ecDeleteLastWord = 504;
inline constexpr TLexEditorCommand ecDeleteBOL = 505;
inline constexpr TLexEditorCommand ecDeleteEOL = 506;
inline constexpr TLexEditorCommand ecDeleteLine = 507;
inline constexpr TLexEditorCommand ecClearAll = 508;
inline constexpr TLexEditorCommand ecLineBreak = 509;
inline constexpr TLexEditorCommand ecInsertLine = 510;
inline constexpr TLexEditorCommand ecChar = 511;
inline constexpr TLexEditorCommand ecImeStr = 550;

inline constexpr TLexEditorCommand ecUndo = 601;
inline constexpr TLexEditorCommand ecRedo = 602;
inline constexpr TLexEditorCommand ecCut = 603;
inline constexpr TLexEditorCommand ecPaste = 604;
inline constexpr TLexEditorCommand ecBlockIndent = 610;
inline constexpr TLexEditorCommand ecBlockUnindent = 611;
inline constexpr TLexEditorCommand ecTab = 612;
inline constexpr TLexEditorCommand ecShiftTab = 613;
inline constexpr TLexEditorCommand ecUpperCase = 620;
inline constexpr TLexEditorCommand ecLowerCase = 621;
inline constexpr TLexEditorCommand ecToggleCase = 622;
inline constexpr TLexEditorCommand ecTitleCase = 623;
inline constexpr TLexEditorCommand ecString = 630;
inline constexpr TLexEditorCommand ecAutoCompletion = 650;
inline constexpr TLexEditorCommand ecCopyLineUp = 661;
inline constexpr TLexEditorCommand ecCopyLineDown = 662;
inline constexpr TLexEditorCommand ecMoveLineUp = 663;
inline constexpr TLexEditorCommand ecMoveLineDown = 664;

inline constexpr TLexEditorCommand ecFoldAll = 701;
inline constexpr TLexEditorCommand ecUnfoldAll = 702;
inline constexpr TLexEditorCommand ecFoldNearest = 705;
inline constexpr TLexEditorCommand ecUnfoldNearest = 706;
inline constexpr TLexEditorCommand ecFoldLevel1 = 711;
inline constexpr TLexEditorCommand ecFoldLevel2 = 712;
inline constexpr TLexEditorCommand ecFoldLevel3 = 713;
inline constexpr TLexEditorCommand ecUnfoldLevel1 = 721;
inline constexpr TLexEditorCommand ecUnfoldLevel2 = 722;
inline constexpr TLexEditorCommand ecUnfoldLevel3 = 723;
inline constexpr TLexEditorCommand ecFoldRanges = 731;
inline constexpr TLexEditorCommand ecUnfoldRanges = 732;

// Codes from here on belong to the application; the editor does not execute them itself.
inline constexpr TLexEditorCommand ecUserFirst = 1001;

// One entry of the command name table.
struct TLexEditorCommandIdent {
    TLexEditorCommand Value;
    const char *Name;
};

inline constexpr int EditorCommandCount = 113;
// Every named command with its name ("ecUp" ...). Names and codes are unique.
extern const TLexEditorCommandIdent EditorCommandStrs[EditorCommandCount];

// True and the code when AIdent is a command name (letter case ignored).
bool IdentToEditorCommand(const QString &AIdent, TLexEditorCommand &ACmd);
// True and the name when ACmd has one.
bool EditorCommandToIdent(TLexEditorCommand ACmd, QString &AIdent);
// The name, or the decimal code when the command has no name.
QString EditorCommandToCodeString(TLexEditorCommand ACmd);

// ---------------------------------------------------------------------------------------------
// Shift states and shortcuts
// ---------------------------------------------------------------------------------------------

// Shift state: bit 0 Shift, bit 1 Alt, bit 2 Ctrl; the mouse bits are never part of a keystroke.
enum TShiftStateElement : uint8_t { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateElement, uint16_t>;

// A menu shortcut: the key in the low 13 bits, 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt.
using TShortCut = uint16_t;
inline constexpr TShortCut scShift = 0x2000;
inline constexpr TShortCut scCtrl = 0x4000;
inline constexpr TShortCut scAlt = 0x8000;

// The shortcut of a key and a shift state; 0 when the key does not fit in 8 bits.
TShortCut ShortCut(uint16_t AKey, TShiftState AShift);
// Splits a shortcut into its key and the Shift, Ctrl and Alt parts of the shift state.
void ShortCutToKey(TShortCut AShortCut, uint16_t &AKey, TShiftState &AShift);
// The display text of a shortcut ("Ctrl+Shift+K"); empty for 0.
QString ShortCutToText(TShortCut AShortCut);

// ---------------------------------------------------------------------------------------------
// Keystroke table
// ---------------------------------------------------------------------------------------------

COMMON_DECLARE_EXCEPTION(ELexKeyError, common::Exception)

class TLexEditKeyStrokes;

// One keystroke: a key with its shift state, optionally followed by a second key, and the
// command they produce. Items live in a TLexEditKeyStrokes table, which owns them.
class TLexEditKeyStroke {
public:
    TLexEditKeyStroke(const TLexEditKeyStroke &) = delete;
    TLexEditKeyStroke &operator=(const TLexEditKeyStroke &) = delete;
    ~TLexEditKeyStroke() = default;

    TLexEditKeyStrokes *Collection() const { return FCollection; }
    int Index() const;

    TLexEditorCommand Command() const { return FCommand; }
    uint16_t Key() const { return FKey; }
    TShiftState Shift() const { return FShift; }
    uint16_t Key2() const { return FKey2; }
    TShiftState Shift2() const { return FShift2; }
    // The direct setters store the value without checking for duplicates.
    void SetCommand(TLexEditorCommand AValue) { FCommand = AValue; }
    void SetKey(uint16_t AValue) { FKey = AValue; }
    void SetShift(TShiftState AValue) { FShift = AValue; }
    void SetKey2(uint16_t AValue) { FKey2 = AValue; }
    void SetShift2(TShiftState AValue) { FShift2 = AValue; }

    TShortCut ShortCut() const;
    TShortCut ShortCut2() const;
    // Raise ELexKeyError "Shortcut already exists" when another item of the table already has
    // the resulting pair of shortcuts (a value of 0 is never refused).
    void SetShortCut(TShortCut AValue);
    void SetShortCut2(TShortCut AValue);

    // Copies command, keys and shift states.
    void Assign(const TLexEditKeyStroke &ASource);
    // "<command> - <shortcut>[ <shortcut2>]".
    QString GetDisplayName() const;

    // Five 16-bit little-endian values: key, shift, key2, shift2, command.
    void SaveToStream(QIODevice &AStream) const;
    // Reads the same record; raises ELexKeyError and leaves the item unchanged when the stream
    // ends early.
    void LoadFromStream(QIODevice &AStream);

private:
    friend class TLexEditKeyStrokes;
    explicit TLexEditKeyStroke(TLexEditKeyStrokes *ACollection) : FCollection(ACollection) {}

    TLexEditKeyStrokes *FCollection; // not owned: the table that owns this item
    uint16_t FKey = 0;
    TShiftState FShift;
    uint16_t FKey2 = 0;
    TShiftState FShift2;
    TLexEditorCommand FCommand = ecNone;
};

// Size in bytes of one stored keystroke.
inline constexpr int KeyStrokeStreamSize = 10;

class TLexEditKeyStrokes {
public:
    // AOwner (not owned) is reported as the table's owner, normally the editor.
    explicit TLexEditKeyStrokes(QObject *AOwner = nullptr);
    TLexEditKeyStrokes(const TLexEditKeyStrokes &) = delete;
    TLexEditKeyStrokes &operator=(const TLexEditKeyStrokes &) = delete;
    ~TLexEditKeyStrokes();

    QObject *Owner() const { return FOwner; }
    int Count() const { return int(FItems.size()); }
    // Bad indexes raise ELexKeyError "List index out of bounds (%d)".
    TLexEditKeyStroke *Items(int AIndex) const;
    // Writing an item copies the source into the item at AIndex.
    void SetItems(int AIndex, const TLexEditKeyStroke &AValue);

    TLexEditKeyStroke *Add();
    // Appends an item with the given keys and command. A key combination that the table already
    // holds (same key, shift, second key and second shift) is refused with ELexKeyError
    // "Shortcut already exists": the earlier entry would always win the lookup, so the new one
    // could never fire. On any failure the new item is removed again.
    TLexEditKeyStroke *AddKey(TLexEditorCommand ACmd, uint16_t AKey, TShiftState AShift, uint16_t AKey2 = 0,
                              TShiftState AShift2 = TShiftState());
    void Delete(int AIndex);
    void Clear();
    // Replaces the items with copies of ASource's, in order.
    void Assign(const TLexEditKeyStrokes &ASource);

    int FindCommand(TLexEditorCommand ACmd) const;
    int FindKeycode(uint16_t ACode, TShiftState ASS) const;
    int FindKeycode2(uint16_t ACode1, TShiftState ASS1, uint16_t ACode2, TShiftState ASS2) const;
    int FindShortcut(TShortCut ASC) const;
    int FindShortcut2(TShortCut ASC, TShortCut ASC2) const;

    // Clears the table and appends the default keystrokes.
    void ResetDefaults();

    // A 32-bit little-endian count, then each item.
    void SaveToStream(QIODevice &AStream) const;
    // Reads a table written by SaveToStream. The count is checked against the bytes present and
    // the items are read into a new table first: a damaged stream raises ELexKeyError and leaves
    // this table as it was.
    void LoadFromStream(QIODevice &AStream);

private:
    QObject *FOwner;
    std::vector<std::unique_ptr<TLexEditKeyStroke>> FItems;
};

// Number of default keystrokes.
inline constexpr int DefaultKeyStrokeCount = 99;

// Looks a key press up in AKeyStrokes, remembering an unmatched key so that it may begin a
// two-key sequence. ALastKey / ALastShift are the caller's memory (both 0 at start):
// 1. a two-key entry (ALastKey, ALastShift, AKey, AShift) gives its command;
// 2. else a single-key entry (AKey, AShift) gives its command; else the result is ecNone;
// 3. an unmatched key in 30..145 is remembered; any other outcome clears the memory, so a
//    modifier key (16, 17, 18) pressed between the two keys of a sequence cancels it.
TLexEditorCommand TranslateKeyCode(const TLexEditKeyStrokes &AKeyStrokes, uint16_t AKey, TShiftState AShift,
                                   uint16_t &ALastKey, TShiftState &ALastShift);

} // namespace lexedit

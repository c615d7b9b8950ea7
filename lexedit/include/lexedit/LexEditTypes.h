// SPDX-License-Identifier: MIT
#pragma once
// Value types shared by the whole editor: buffer and display coordinates, selection modes, file
// formats and encodings, change reasons of the undo list, search options, the character
// constants used when drawing or expanding lines, and sets of 8-bit characters.

#include "lexedit/LexSet.h"

#include <QChar>
#include <QString>
#include <QStringView>

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <initializer_list>

namespace lexedit {

// A position in the stored lines: 1-based character index and 1-based line number. Char may lie
// beyond the end of the line (the caret may be placed past the end of a line).
struct TBufferCoord {
    int32_t Char = 0;
    int32_t Line = 0;

    static constexpr TBufferCoord Min(const TBufferCoord &a, const TBufferCoord &b) { return b < a ? b : a; }
    static constexpr TBufferCoord Max(const TBufferCoord &a, const TBufferCoord &b) { return b > a ? b : a; }

    friend constexpr bool operator==(const TBufferCoord &a, const TBufferCoord &b) {
        return a.Line == b.Line && a.Char == b.Char;
    }
    friend constexpr bool operator!=(const TBufferCoord &a, const TBufferCoord &b) { return !(a == b); }
    friend constexpr bool operator<(const TBufferCoord &a, const TBufferCoord &b) {
        return a.Line < b.Line || (a.Line == b.Line && a.Char < b.Char);
    }
    friend constexpr bool operator>(const TBufferCoord &a, const TBufferCoord &b) { return b < a; }
    friend constexpr bool operator<=(const TBufferCoord &a, const TBufferCoord &b) { return !(b < a); }
    friend constexpr bool operator>=(const TBufferCoord &a, const TBufferCoord &b) { return !(a < b); }
};

// A position on the screen grid: 1-based column (after tab and wide-glyph expansion) and 1-based
// display row.
struct TDisplayCoord {
    int32_t Column = 0;
    int32_t Row = 0;

    static constexpr TDisplayCoord Min(const TDisplayCoord &a, const TDisplayCoord &b) {
        return b < a ? b : a;
    }
    static constexpr TDisplayCoord Max(const TDisplayCoord &a, const TDisplayCoord &b) {
        return b > a ? b : a;
    }

    friend constexpr bool operator==(const TDisplayCoord &a, const TDisplayCoord &b) {
        return a.Row == b.Row && a.Column == b.Column;
    }
    friend constexpr bool operator!=(const TDisplayCoord &a, const TDisplayCoord &b) { return !(a == b); }
    friend constexpr bool operator<(const TDisplayCoord &a, const TDisplayCoord &b) {
        return a.Row < b.Row || (a.Row == b.Row && a.Column < b.Column);
    }
    friend constexpr bool operator>(const TDisplayCoord &a, const TDisplayCoord &b) { return b < a; }
    friend constexpr bool operator<=(const TDisplayCoord &a, const TDisplayCoord &b) { return !(b < a); }
    friend constexpr bool operator>=(const TDisplayCoord &a, const TDisplayCoord &b) { return !(a < b); }
};

constexpr TBufferCoord BufferCoord(int32_t AChar, int32_t ALine) {
    return TBufferCoord{AChar, ALine};
}
constexpr TDisplayCoord DisplayCoord(int32_t AColumn, int32_t ARow) {
    return TDisplayCoord{AColumn, ARow};
}

enum TLexSelectionMode : uint8_t { smNormal, smLine, smColumn };

// Line-break kind of a text file: CR LF, LF, CR, U+2028.
enum TLexEditFileFormat : uint8_t { sffDos, sffUnix, sffMac, sffUnicode };

// Text encodings known to the editor; seAnsi is the 8-bit code page (ISO-8859-1 here).
enum TLexEncoding : uint8_t { seUTF8, seUTF16LE, seUTF16BE, seAnsi };

// Kinds of change recorded in the undo list.
enum TLexChangeReason : uint8_t {
    crNothing,
    crInsert,
    crDelete,
    crSilentDelete,
    crLineBreak,
    crIndent,
    crUnindent,
    crCaret,
    crSelection,
    crWhiteSpaceAdd,
    // Lines written whole in place (a replace-all): the item's ChangeLines hold the lines'
    // texts to put back.
    crLineReplace
};

enum TLexSearchOption : uint8_t {
    ssoMatchCase,
    ssoWholeWord,
    ssoBackwards,
    ssoEntireScope,
    ssoSelectedOnly,
    ssoReplace,
    ssoReplaceAll,
    ssoPrompt
};
using TLexSearchOptions = TSet<TLexSearchOption, uint8_t>;

// The answer of a replace prompt.
enum TLexReplaceAction : uint8_t { raCancel, raSkip, raReplace, raReplaceAll };

// Tests whether one character belongs to a category (identifier, white space, word break ...).
using TCategoryMethod = std::function<bool(QChar)>;

// Expands the tabs of a line for a tab width; HasTabs tells whether the line had any tab.
using TConvertTabsProcEx = QString (*)(const QString &Line, int TabWidth, bool &HasTabs);

inline constexpr QChar LexTabGlyph = QChar(0x2192);
inline constexpr QChar LexLineBreakGlyph = QChar(0x00B6);
inline constexpr QChar LexSpaceGlyph = QChar(0x2219);
// Inserted before a wide glyph in the display form of a line, so that every cell holds one char.
inline constexpr QChar FillerChar = QChar(0xE000);
inline constexpr QChar WideLineSeparator = QChar(0x2028);

inline constexpr std::array<uint8_t, 3> UTF8BOM{0xEF, 0xBB, 0xBF};
inline constexpr std::array<uint8_t, 2> UTF16BOMLE{0xFF, 0xFE};
inline constexpr std::array<uint8_t, 2> UTF16BOMBE{0xFE, 0xFF};

// The row map: a plug-in that maps the lines of a buffer to display rows. Word wrap shows a line as
// several rows; folding hides collapsed lines; without a plug-in every line is one row. The editor
// asks its mapping functions (LineToRow, RowToLine, DisplayLineCount, GetRowLength and the
// buffer/display conversions), which go through the plug-in when there is one. Display columns here are
// columns of a line's display form (after tab and wide-glyph expansion): BufferToDisplayPos takes
// (column in the line, 1-based line) and gives (column in the row, 1-based row); DisplayToBufferPos
// goes back. Lines and rows past the mapped ones continue one row per line. The change operations
// take 0-based line indexes, as the buffer reports them, and return the change in the number of
// rows (positive: rows added; LinesDeleted returns the rows removed). The editor owns its one
// plug-in.
class ILexEditBufferPlugin {
public:
    virtual ~ILexEditBufferPlugin() = default;
    virtual TDisplayCoord BufferToDisplayPos(const TBufferCoord &aPos) const = 0;
    virtual TBufferCoord DisplayToBufferPos(const TDisplayCoord &aPos) const = 0;
    virtual int RowCount() const = 0;
    virtual int GetRowLength(int aRow) const = 0;
    // The first row (1-based) of the 1-based line aLine, and the line of the 1-based row aRow.
    virtual int LineToRow(int aLine) const = 0;
    virtual int RowToLine(int aRow) const = 0;
    // The lines mapped so far; lines past them are one row each.
    virtual int LineCount() const = 0;
    virtual int LinesInserted(int aIndex, int aCount) = 0;
    virtual int LinesDeleted(int aIndex, int aCount) = 0;
    virtual int LinePut(int aIndex, const QString &OldLine) = 0;
    virtual void DisplayChanged() = 0;
    virtual void Reset() = 0;
};

// A set of 8-bit characters (256 bits). Characters above 255 are never members.
class TLexCharSet {
public:
    TLexCharSet() = default;
    TLexCharSet(std::initializer_list<char16_t> AChars) {
        for (char16_t c : AChars)
            Include(c);
    }
    static TLexCharSet FromString(QStringView AChars) {
        TLexCharSet s;
        for (QChar c : AChars)
            s.Include(c.unicode());
        return s;
    }
    bool Contains(char16_t AChar) const { return AChar < 256 && FBits.test(AChar); }
    TLexCharSet &Include(char16_t AChar) {
        if (AChar < 256) FBits.set(AChar);
        return *this;
    }
    TLexCharSet &Exclude(char16_t AChar) {
        if (AChar < 256) FBits.reset(AChar);
        return *this;
    }
    bool Empty() const { return FBits.none(); }
    bool operator==(const TLexCharSet &AOther) const { return FBits == AOther.FBits; }
    bool operator!=(const TLexCharSet &AOther) const { return FBits != AOther.FBits; }

private:
    std::bitset<256> FBits;
};

} // namespace lexedit

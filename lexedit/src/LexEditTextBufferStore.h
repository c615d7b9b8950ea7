// SPDX-License-Identifier: MIT
#pragma once
// The storage behind TLexEditStringList: the line records, the blocks that hold the 8-bit text of
// loaded lines, the objects' side table and the caches of the longest line and the character
// indexes; and the two ways of loading bytes (split straight from 8-bit and UTF-8 bytes, or
// decode everything first), which must give the same lines.

#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexSet.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace lexedit {

enum TLexEditStringFlag : uint8_t { sfHasTabs, sfHasNoTabs, sfExpandedLengthUnknown };
using TLexEditStringFlags = TSet<TLexEditStringFlag, uint8_t>;

// True when every UTF-16 code unit of the n at P is below U+0100.
bool IsLatin1(const char16_t *P, qsizetype n);
// Copies n code units, all below U+0100, from P to bytes at Dest.
void NarrowLatin1(const char16_t *P, qsizetype n, char *Dest);

// One line: its characters, the highlighter's range at its end, the cached display length, the
// cached index of its first character in the text, and the tab flags (32 bytes on 64-bit
// systems). The characters are held in one of three forms:
//  - fmBytes: Latin-1 bytes in a malloc'd char[FLength] of the record's own (FData null for an
//    empty line), when every character is below U+0100 and the line has at most
//    MaxLatin1Length characters: half the size of UTF-16, and no string header; readers get a
//    QString built on demand;
//  - fmSharedBytes: the same, but the bytes lie in a block held by the list (a loaded file's
//    bytes or a block of decoded lines); the record does not free them;
//  - fmWide: a QString (FData a QString *) otherwise, so that other characters and very long
//    lines are returned without copying.
// The objects of the lines are held by the list in a side table (most lines have none).
struct TLexEditStringRec {
    // The longest line held as Latin-1 bytes: converting it on each read stays cheap.
    static constexpr qsizetype MaxLatin1Length = 4096;

    enum TForm : uint8_t { fmBytes, fmSharedBytes, fmWide };

    TLexEditStringRec() noexcept = default;
    ~TLexEditStringRec() { FreeText(); }
    TLexEditStringRec(TLexEditStringRec &&Other) noexcept
        : FData(std::exchange(Other.FData, nullptr)), FRange(Other.FRange),
          FLength(std::exchange(Other.FLength, 0)), FExpandedLength(Other.FExpandedLength),
          FCharIndex(Other.FCharIndex), FFlags(Other.FFlags), FForm(std::exchange(Other.FForm, fmBytes)) {}
    TLexEditStringRec &operator=(TLexEditStringRec &&Other) noexcept {
        if (this != &Other) {
            FreeText();
            FData = std::exchange(Other.FData, nullptr);
            FLength = std::exchange(Other.FLength, 0);
            FForm = std::exchange(Other.FForm, fmBytes);
            FRange = Other.FRange;
            FExpandedLength = Other.FExpandedLength;
            FCharIndex = Other.FCharIndex;
            FFlags = Other.FFlags;
        }
        return *this;
    }
    TLexEditStringRec(const TLexEditStringRec &) = delete;
    TLexEditStringRec &operator=(const TLexEditStringRec &) = delete;

    // Replaces the characters (not the cached values). The QString form shares S.
    void SetText(const QString &S);
    void SetText(QStringView S);
    // Takes S as the line's characters without copying a QString form.
    void SetText(QString &&S);
    // Exchanges the characters (not the cached values) with Other's.
    template <typename T> void SwapText(T &Other) noexcept {
        std::swap(FData, Other.FData);
        std::swap(FLength, Other.FLength);
        std::swap(FForm, Other.FForm);
    }
    // Frees characters held in the form AForm.
    static void FreeData(void *AData, TForm AForm) noexcept;
    // Points the line at n (1 to MaxLatin1Length) Latin-1 bytes in a block the list holds.
    void SetShared(const char *P, qsizetype n) noexcept;
    QString Text() const;
    // Appends the characters to Dest.
    void AppendTo(QString &Dest) const;
    int Length() const { return FLength; }
    bool IsWide() const { return FForm == fmWide; }
    bool IsShared() const { return FForm == fmSharedBytes; }
    // The Latin-1 bytes (FLength of them); only when the line is not empty and not wide.
    const char *Latin1() const { return static_cast<const char *>(FData); }
    // The QString form; only when IsWide().
    const QString &Wide() const { return *static_cast<const QString *>(FData); }

    void *FData = nullptr;
    TLexRange FRange = NullRange;
    int32_t FLength = 0;
    int32_t FExpandedLength = -1;
    int32_t FCharIndex = 0;
    TLexEditStringFlags FFlags{sfExpandedLengthUnknown};
    TForm FForm = fmBytes;

private:
    void FreeText() noexcept;
};

// Lines split from bytes, ready to become the list's lines, with the blocks their shared bytes
// lie in and the kinds of line break met.
struct TLexLoadedLines {
    std::vector<TLexEditStringRec> Lines;
    std::vector<QByteArray> Blocks;
    qsizetype SharedBytes = 0; // bytes of the lines held in Blocks
    bool SawCR = false, SawLF = false, SawLS = false;
};

// Lines moved out of a list whole (TakeLines), with the blocks their shared bytes lie in.
struct TLexTakenLines {
    // The lines taken are Lines[First..]; the records before them are empty. The list's own
    // vector is taken whole, so that neither taking nor putting back moves the records.
    std::vector<TLexEditStringRec> Lines;
    int First = 0;
    std::vector<QByteArray> Blocks;
    qsizetype SharedBytes = 0;
    // The list's display lengths were computed under this count of invalidations.
    int ExpansionEpoch = 0;
};

// The characters of a line apart from a record, owned as a record owns them (the other text of
// a swapped line): half the size of a record.
struct TLexLineText {
    TLexLineText() noexcept = default;
    ~TLexLineText() { TLexEditStringRec::FreeData(FData, FForm); }
    TLexLineText(TLexLineText &&Other) noexcept
        : FData(std::exchange(Other.FData, nullptr)), FLength(std::exchange(Other.FLength, 0)),
          FForm(std::exchange(Other.FForm, TLexEditStringRec::fmBytes)) {}
    TLexLineText &operator=(TLexLineText &&Other) noexcept {
        if (this != &Other) {
            TLexEditStringRec::FreeData(FData, FForm);
            FData = std::exchange(Other.FData, nullptr);
            FLength = std::exchange(Other.FLength, 0);
            FForm = std::exchange(Other.FForm, TLexEditStringRec::fmBytes);
        }
        return *this;
    }
    TLexLineText(const TLexLineText &) = delete;
    TLexLineText &operator=(const TLexLineText &) = delete;

    int Length() const { return FLength; }
    bool IsWide() const { return FForm == TLexEditStringRec::fmWide; }
    bool IsShared() const { return FForm == TLexEditStringRec::fmSharedBytes; }
    const char *Latin1() const { return static_cast<const char *>(FData); }
    const QString &Wide() const { return *static_cast<const QString *>(FData); }

    void *FData = nullptr;
    int32_t FLength = 0;
    TLexEditStringRec::TForm FForm = TLexEditStringRec::fmBytes;
};

// The other texts of some lines, for a change that rewrote those lines in place (a replace-all):
// SwapLines exchanges them with the list's texts of the same lines, so undoing and redoing the
// change are one swap each and copy no text. Lines[i] is the other text of line Indexes[i]; the
// lines are notified in this order. The positions say where undo and redo leave the selection.
struct TLexSwappedLines {
    std::vector<int> Indexes;
    std::vector<TLexLineText> Lines;
    // The blocks the shared bytes of Lines lie in.
    std::vector<QByteArray> Blocks;
    // After the undo: the changed part of the first line, as it was (caret at its end).
    TBufferCoord UndoBegin;
    TBufferCoord UndoEnd;
    // After the redo: the caret after the changed part of the last line.
    TBufferCoord RedoCaret;
};

// Writes new line texts for a TLexSwappedLines: the characters of a line are appended piece by
// piece, and the line is kept as Latin-1 bytes in large blocks of the set's own (one line break
// after each line, so that GetLatin1Run can read past a line's end) while it fits that form, or
// as a QString otherwise. No allocation per line in the common case.
class TLexLineTextWriter {
public:
    explicit TLexLineTextWriter(TLexSwappedLines &AOut) : FOut(AOut) {}
    ~TLexLineTextWriter() { Close(); }
    TLexLineTextWriter(const TLexLineTextWriter &) = delete;
    TLexLineTextWriter &operator=(const TLexLineTextWriter &) = delete;

    // Starts the new text of line AIndex.
    void Begin(int AIndex);
    void Append(QLatin1StringView S);
    void Append(QStringView S);
    // The characters of the current line so far.
    qsizetype Length() const { return FWideMode ? FWide.size() : FLength; }
    // Ends the current line: its record joins the set.
    void End();
    // Trims the last block to what it holds; nothing more may be written.
    void Close() noexcept;

private:
    void ToWide();
    TLexSwappedLines &FOut;
    int FIndex = 0;
    char *FBlock = nullptr; // the block being filled (the last of FOut.Blocks)
    qsizetype FUsed = 0;    // its bytes in use
    qsizetype FCapacity = 0;
    qsizetype FLength = 0; // the current line's bytes, from FBlock + FUsed
    bool FWideMode = false;
    QString FWide;
};

// How a load reads its bytes: the encoding, and where the text starts after the byte-order mark.
struct TLexLoadPlan {
    TLexEncoding Encoding = seAnsi;
    qsizetype MarkLength = 0;
};

// The encoding of Bytes: the given one (its mark skipped when present) or the one of a
// byte-order mark, else the 8-bit code page, which becomes UTF-8 when DetectUTF8 is set and the
// start of the text sniffs as UTF-8.
TLexLoadPlan PlanLoad(QByteArrayView Bytes, std::optional<TLexEncoding> AEncoding, bool DetectUTF8);

// Splits the bytes of Bytes from Start on into lines straight from the bytes, for the 8-bit code
// page (Utf8 false) or UTF-8 (Utf8 true), by the rules of SetTextAndFileFormat. Lines of ASCII
// (or, for the 8-bit code page, any bytes) become records on the bytes themselves; UTF-8 lines
// with other characters are decoded one by one. False (and Out undefined) when the bytes are not
// valid UTF-8.
bool SplitBytes(const QByteArray &Bytes, qsizetype Start, bool Utf8, bool TrailingLineBreak,
                TLexLoadedLines &Out);

// The file format that the line breaks met give.
TLexEditFileFormat FileFormatFromBreaks(bool SawCR, bool SawLF, bool SawLS);

// The general way of loading, for every encoding: the bytes are decoded into one text, which
// SetTextAndFileFormat cuts into lines. LoadFromBytes takes it for UTF-16; for the 8-bit code page
// and UTF-8 it must give what SplitBytes gives.
void LoadDecodedText(TLexEditStringList &List, const QByteArray &Bytes,
                     std::optional<TLexEncoding> AEncoding);

// The list's records and everything kept alongside them.
class TLexEditLineStore {
public:
    // Bytes of shared lines are counted, so that blocks mostly freed by edits are compacted.
    // Declared before FList so that the records go first.
    std::vector<QByteArray> FBlocks;
    qsizetype FBlockBytes = 0;  // sum of the sizes of FBlocks
    qsizetype FSharedBytes = 0; // sum of the lengths of the fmSharedBytes records

    std::vector<TLexEditStringRec> FList;
    // The objects of the lines that have one, as (line index, object) sorted by index; kept in
    // step with insertions, deletions and exchanges.
    std::vector<std::pair<int, void *>> FObjects;

    // Longest line: while FLongestKnown, FIndexOfLongestLine is the first line with the strictly
    // greatest display length among all lines outside [FPendingFrom, FPendingTo) (-1 when they
    // are all empty); the lines inside that span still have to be compared.
    bool FLongestKnown = false;
    int FIndexOfLongestLine = -1;
    int FPendingFrom = 0;
    int FPendingTo = 0;
    // The FCharIndex fields of the first FValidCharIndexes lines are current.
    int FValidCharIndexes = 0;
    // Counts the times every display length was invalidated (tab width, wide glyphs).
    int FExpansionEpoch = 0;

    // The record Rec is about to lose its shared bytes (changed or removed).
    void Unshare(const TLexEditStringRec &Rec) noexcept {
        if (Rec.IsShared()) FSharedBytes -= Rec.Length();
    }
    // Frees the blocks when no line uses them any more, or copies the lines that still do into
    // one new block when less than half of the block bytes are used.
    void CompactBlocks() noexcept;
    // Drops every record and block.
    void ClearAll() noexcept;
    // Replaces everything by the loaded lines.
    void Assign(TLexLoadedLines &&Loaded) noexcept;
};

} // namespace lexedit

// SPDX-License-Identifier: MIT
#pragma once
// TLexWordWrapPlugin: the word wrap of an editor. Every buffer line is shown as one or more
// display rows no wider than the text area; a row ends after a word-break character when one
// lies in its last third, else at the full width, and the fillers of a wide glyph always stay
// with the glyph.
//
// The rows are kept in blocks of consecutive lines. Each block holds, per line, the rows of its
// lines so far (a cumulative offset local to the block) and the length of every row (16 bits).
// The first line and first row of each block are prefix sums over the blocks before it, brought
// up to date lazily from the first block that changed. A change of one line rewraps that line
// alone and touches only its block (O(block size)); the block starts after it are recomputed on
// the next look-up that needs them, so typing anywhere in a long file costs no pass over all
// lines.

#include "lexedit/LexEditTypes.h"

#include <QString>
#include <QStringView>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lexedit {

class TCustomLexEdit;

class TLexWordWrapPlugin final : public ILexEditBufferPlugin {
public:
    // Without an owner: "Owner of TLexWordWrapPlugin must be a TCustomLexEdit". Wraps the
    // owner's lines at its window width.
    explicit TLexWordWrapPlugin(TCustomLexEdit *Owner);
    ~TLexWordWrapPlugin() override;
    TLexWordWrapPlugin(const TLexWordWrapPlugin &) = delete;
    TLexWordWrapPlugin &operator=(const TLexWordWrapPlugin &) = delete;

    TDisplayCoord BufferToDisplayPos(const TBufferCoord &aPos) const override;
    TBufferCoord DisplayToBufferPos(const TDisplayCoord &aPos) const override;
    int RowCount() const override { return fRowCount; }
    // 1 <= aRow <= RowCount, else "List index out of bounds (%d)".
    int GetRowLength(int aRow) const override;
    int LinesInserted(int aIndex, int aCount) override;
    int LinesDeleted(int aIndex, int aCount) override;
    int LinePut(int aIndex, const QString &OldLine) override;
    // Rewraps everything when the window's width in columns changed.
    void DisplayChanged() override;
    // Takes the window width again and rewraps every line.
    void Reset() override;

    // The first row (1-based) of the 1-based line aLine, and the line of the 1-based row aRow.
    int LineToRow(int aLine) const override;
    int RowToLine(int aRow) const override;
    // The number of rows of the 0-based line aIndex (< LineCount).
    int LineRowCount(int aIndex) const;
    // Lines mapped (the buffer's line count after a full wrap; 0 while there is no width).
    int LineCount() const override { return fLineCount; }
    int MaxRowLength() const { return fMaxRowLength; }
    int MinRowLength() const { return fMinRowLength; }

    // Splits the display form of a line into rows of at most MaxRowLength columns, appending
    // their lengths to aRows; returns the number of rows (at least 1).
    int SplitLine(QStringView vLine, std::vector<uint16_t> &aRows) const;

private:
    struct TBlock {
        std::vector<int32_t> LineOffsets; // per line: rows of this block's lines up to it
        std::vector<uint16_t> RowLengths;
        int Lines() const { return int(LineOffsets.size()); }
        int Rows() const { return LineOffsets.empty() ? 0 : LineOffsets.back(); }
        int RowStart(int aLocal) const { return aLocal == 0 ? 0 : LineOffsets[size_t(aLocal - 1)]; }
    };

    void WrapLines();
    // Rewraps the 0-based line aIndex; returns the change in rows.
    int ReWrapLine(int aIndex);
    void SetEmpty();
    void TrimArrays();
    // The rows of buffer line aIndex appended to aRows.
    int WrapLine(int aIndex, std::vector<uint16_t> &aRows) const;

    // Block bookkeeping.
    void ValidateBlocks(int aBlock) const;
    int BlockOfLine(int aIndex) const; // 0-based line < fLineCount
    int BlockOfRow(int aRow) const;    // 0-based row < fRowCount
    void BlocksChangedFrom(int aBlock) const { fValidBlocks = std::min(fValidBlocks, aBlock); }
    void InsertBlocks(int aAt, std::vector<TBlock> &&aBlocks);
    void EraseBlock(int aAt);
    void SplitBlock(int aBlock, int aLocal);
    void MergeSmallBlock(int aBlock);
    [[noreturn]] static void Fail();

    TCustomLexEdit *fEditor; // owner; required
    std::vector<TBlock> fBlocks;
    // First line and first row (0-based) of each block; right for the blocks before
    // fValidBlocks.
    mutable std::vector<int32_t> fBlockFirstLine;
    mutable std::vector<int32_t> fBlockFirstRow;
    mutable int fValidBlocks = 0;
    int fLineCount = 0;
    int fRowCount = 0;
    uint16_t fMinRowLength = 0;
    uint16_t fMaxRowLength = 0;
};

} // namespace lexedit

// SPDX-License-Identifier: MIT
// The word-wrap plug-in: splitting lines into rows, the blocks that hold the rows of all lines,
// and the mapping between line columns and row columns.

#include "lexedit/LexEditWordWrap.h"

#include "common/Exception.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <algorithm>
#include <climits>

namespace lexedit {

namespace {

// Lines per block of a full wrap; a block that grows beyond twice that is split, one that
// shrinks below a sixteenth joins a neighbour when the two fit in one block.
constexpr int kBlockLines = 1024;
constexpr int kMaxBlockLines = 2 * kBlockLines;
constexpr int kMinBlockLines = kBlockLines / 16;
// Insertions of up to this many lines go into an existing block; larger ones get blocks of
// their own.
constexpr int kSmallInsert = 256;

int ClampToInt(int64_t Value) {
    return int(std::clamp<int64_t>(Value, INT_MIN, INT_MAX));
}

} // namespace

TLexWordWrapPlugin::TLexWordWrapPlugin(TCustomLexEdit *Owner) : fEditor(Owner) {
    if (Owner == nullptr)
        throw common::Exception(QStringLiteral("Owner of TLexWordWrapPlugin must be a TCustomLexEdit"));
    Reset();
}

TLexWordWrapPlugin::~TLexWordWrapPlugin() = default;

void TLexWordWrapPlugin::Fail() {
    throw common::EAssertionFailed(QStringLiteral("Assertion failure (LexEditWordWrap)"));
}

// ---- width and full wrap -------------------------------------------------------------------------

void TLexWordWrapPlugin::Reset() {
    const int Chars = fEditor->CharsInWindow();
    if (Chars < 0) Fail();
    // Row lengths are 16-bit; no window is that wide.
    fMaxRowLength = uint16_t(std::min(Chars, 65535));
    const int Min = fMaxRowLength - fMaxRowLength / 3;
    fMinRowLength = uint16_t(Min == 0 ? 1 : Min);
    WrapLines();
}

void TLexWordWrapPlugin::DisplayChanged() {
    if (std::min(fEditor->CharsInWindow(), 65535) != fMaxRowLength) Reset();
}

void TLexWordWrapPlugin::SetEmpty() {
    fLineCount = 0;
    fRowCount = 0;
    fBlocks.clear();
    fBlockFirstLine.clear();
    fBlockFirstRow.clear();
    fValidBlocks = 0;
    TrimArrays();
}

void TLexWordWrapPlugin::TrimArrays() {
    fBlocks.shrink_to_fit();
    fBlockFirstLine.shrink_to_fit();
    fBlockFirstRow.shrink_to_fit();
}

void TLexWordWrapPlugin::WrapLines() {
    const int Count = fEditor->Lines()->Count();
    if (Count == 0 || fMaxRowLength == 0) {
        SetEmpty();
        return;
    }
    fBlocks.clear();
    fBlocks.reserve(size_t(Count / kBlockLines + 1));
    int Rows = 0;
    for (int First = 0; First < Count; First += kBlockLines) {
        const int n = std::min(kBlockLines, Count - First);
        TBlock B;
        B.LineOffsets.reserve(size_t(n));
        B.RowLengths.reserve(size_t(n));
        for (int i = 0; i < n; ++i) {
            WrapLine(First + i, B.RowLengths);
            B.LineOffsets.push_back(int32_t(B.RowLengths.size()));
        }
        Rows += B.Rows();
        fBlocks.push_back(std::move(B));
    }
    fBlockFirstLine.assign(fBlocks.size(), 0);
    fBlockFirstRow.assign(fBlocks.size(), 0);
    fValidBlocks = 0;
    fLineCount = Count;
    fRowCount = Rows;
}

// ---- splitting one line ----------------------------------------------------------------------------

int TLexWordWrapPlugin::SplitLine(QStringView vLine, std::vector<uint16_t> &aRows) const {
    const int n = int(vLine.size());
    const size_t Before = aRows.size();
    if (fMaxRowLength == 0) {
        aRows.push_back(uint16_t(std::min(n, 65535)));
        return 1;
    }
    int vRowBegin = 0;
    int vRowEnd = fMaxRowLength;
    while (vRowEnd < n) {
        // The last word-break character in the row's last part ends the row (it stays on it).
        const int vRowMinEnd = vRowBegin + fMinRowLength;
        for (int vRunner = vRowEnd - 1; vRunner > vRowMinEnd; --vRunner) {
            if (fEditor->IsWordBreakChar(vLine[vRunner])) {
                vRowEnd = vRunner + 1;
                break;
            }
        }
        // The fillers before a wide glyph go to the next row with the glyph.
        if (vRowEnd > vRowBegin) {
            int vLastVisibleChar = vRowEnd - 1;
            while (vLastVisibleChar > vRowBegin && vLine[vLastVisibleChar] == FillerChar)
                --vLastVisibleChar;
            vRowEnd = vLastVisibleChar + 1;
        }
        aRows.push_back(uint16_t(vRowEnd - vRowBegin));
        vRowBegin = vRowEnd;
        vRowEnd = vRowBegin + fMaxRowLength;
    }
    if (vRowBegin < n || n == 0) aRows.push_back(uint16_t(n - vRowBegin));
    return int(aRows.size() - Before);
}

int TLexWordWrapPlugin::WrapLine(int aIndex, std::vector<uint16_t> &aRows) const {
    const TLexEditStringList &L = *fEditor->Lines();
    // The buffer knows the display length of every line; a line that fits is one row without
    // building its display form.
    const int n = L.ExpandedStringLengths(aIndex);
    if (n <= fMaxRowLength) {
        aRows.push_back(uint16_t(n));
        return 1;
    }
    return SplitLine(fEditor->ExpandAtWideGlyphs(L.ExpandedStrings(aIndex)), aRows);
}

// ---- blocks --------------------------------------------------------------------------------------------

void TLexWordWrapPlugin::ValidateBlocks(int aBlock) const {
    if (fValidBlocks == 0) {
        fBlockFirstLine[0] = 0;
        fBlockFirstRow[0] = 0;
        fValidBlocks = 1;
    }
    for (int k = fValidBlocks; k <= aBlock; ++k) {
        fBlockFirstLine[size_t(k)] = fBlockFirstLine[size_t(k - 1)] + fBlocks[size_t(k - 1)].Lines();
        fBlockFirstRow[size_t(k)] = fBlockFirstRow[size_t(k - 1)] + fBlocks[size_t(k - 1)].Rows();
    }
    fValidBlocks = std::max(fValidBlocks, aBlock + 1);
}

int TLexWordWrapPlugin::BlockOfLine(int aIndex) const {
    if (fBlocks.empty() || aIndex < 0) Fail();
    ValidateBlocks(0);
    const int Last = fValidBlocks - 1;
    if (aIndex >= fBlockFirstLine[size_t(Last)] + fBlocks[size_t(Last)].Lines()) {
        // Beyond the blocks known: their starts are brought up to date up to the one wanted.
        for (int k = Last + 1; k < int(fBlocks.size()); ++k) {
            ValidateBlocks(k);
            if (aIndex < fBlockFirstLine[size_t(k)] + fBlocks[size_t(k)].Lines()) return k;
        }
        Fail();
    }
    const auto It = std::upper_bound(fBlockFirstLine.begin(), fBlockFirstLine.begin() + fValidBlocks, aIndex);
    return int(It - fBlockFirstLine.begin()) - 1;
}

int TLexWordWrapPlugin::BlockOfRow(int aRow) const {
    if (fBlocks.empty() || aRow < 0) Fail();
    ValidateBlocks(0);
    const int Last = fValidBlocks - 1;
    if (aRow >= fBlockFirstRow[size_t(Last)] + fBlocks[size_t(Last)].Rows()) {
        for (int k = Last + 1; k < int(fBlocks.size()); ++k) {
            ValidateBlocks(k);
            if (aRow < fBlockFirstRow[size_t(k)] + fBlocks[size_t(k)].Rows()) return k;
        }
        Fail();
    }
    const auto It = std::upper_bound(fBlockFirstRow.begin(), fBlockFirstRow.begin() + fValidBlocks, aRow);
    return int(It - fBlockFirstRow.begin()) - 1;
}

void TLexWordWrapPlugin::InsertBlocks(int aAt, std::vector<TBlock> &&aBlocks) {
    const size_t n = aBlocks.size();
    fBlocks.insert(fBlocks.begin() + aAt, std::make_move_iterator(aBlocks.begin()),
                   std::make_move_iterator(aBlocks.end()));
    fBlockFirstLine.insert(fBlockFirstLine.begin() + aAt, n, 0);
    fBlockFirstRow.insert(fBlockFirstRow.begin() + aAt, n, 0);
    BlocksChangedFrom(aAt);
}

void TLexWordWrapPlugin::EraseBlock(int aAt) {
    fBlocks.erase(fBlocks.begin() + aAt);
    fBlockFirstLine.erase(fBlockFirstLine.begin() + aAt);
    fBlockFirstRow.erase(fBlockFirstRow.begin() + aAt);
    BlocksChangedFrom(aAt);
}

void TLexWordWrapPlugin::SplitBlock(int aBlock, int aLocal) {
    TBlock &B = fBlocks[size_t(aBlock)];
    if (aLocal <= 0 || aLocal >= B.Lines()) return;
    const int RowAt = B.RowStart(aLocal);
    std::vector<TBlock> Right(1);
    TBlock &R = Right.front();
    R.RowLengths.assign(B.RowLengths.begin() + RowAt, B.RowLengths.end());
    R.LineOffsets.reserve(size_t(B.Lines() - aLocal));
    for (int i = aLocal; i < B.Lines(); ++i)
        R.LineOffsets.push_back(B.LineOffsets[size_t(i)] - RowAt);
    B.RowLengths.resize(size_t(RowAt));
    B.LineOffsets.resize(size_t(aLocal));
    InsertBlocks(aBlock + 1, std::move(Right));
}

void TLexWordWrapPlugin::MergeSmallBlock(int aBlock) {
    if (aBlock < 0 || aBlock >= int(fBlocks.size()) || fBlocks[size_t(aBlock)].Lines() >= kMinBlockLines)
        return;
    // Joins the block with its next neighbour, or else with its previous one, when they fit.
    int Left = -1;
    if (aBlock + 1 < int(fBlocks.size()) &&
        fBlocks[size_t(aBlock)].Lines() + fBlocks[size_t(aBlock + 1)].Lines() <= kMaxBlockLines)
        Left = aBlock;
    else if (aBlock > 0 &&
             fBlocks[size_t(aBlock - 1)].Lines() + fBlocks[size_t(aBlock)].Lines() <= kMaxBlockLines)
        Left = aBlock - 1;
    if (Left < 0) return;
    TBlock &A = fBlocks[size_t(Left)];
    const TBlock &B = fBlocks[size_t(Left + 1)];
    const int Shift = A.Rows();
    A.RowLengths.insert(A.RowLengths.end(), B.RowLengths.begin(), B.RowLengths.end());
    A.LineOffsets.reserve(A.LineOffsets.size() + B.LineOffsets.size());
    for (const int32_t Offset : B.LineOffsets)
        A.LineOffsets.push_back(Offset + Shift);
    EraseBlock(Left + 1);
    BlocksChangedFrom(Left + 1);
}

// ---- changes -----------------------------------------------------------------------------------

int TLexWordWrapPlugin::ReWrapLine(int aIndex) {
    const int k = BlockOfLine(aIndex);
    TBlock &B = fBlocks[size_t(k)];
    const int Local = aIndex - fBlockFirstLine[size_t(k)];
    std::vector<uint16_t> Rows;
    const int vLineRowCount = WrapLine(aIndex, Rows);
    const int vStartRow = B.RowStart(Local);
    const int vOldNextRow = B.LineOffsets[size_t(Local)];
    const int Result = vStartRow + vLineRowCount - vOldNextRow;
    if (Result < 0)
        B.RowLengths.erase(B.RowLengths.begin() + vOldNextRow + Result, B.RowLengths.begin() + vOldNextRow);
    else if (Result > 0)
        B.RowLengths.insert(B.RowLengths.begin() + vOldNextRow, size_t(Result), 0);
    std::copy(Rows.begin(), Rows.end(), B.RowLengths.begin() + vStartRow);
    if (Result != 0) {
        for (int i = Local; i < B.Lines(); ++i)
            B.LineOffsets[size_t(i)] += Result;
        fRowCount += Result;
        BlocksChangedFrom(k + 1);
    }
    return Result;
}

int TLexWordWrapPlugin::LinesInserted(int aIndex, int aCount) {
    if (fMaxRowLength == 0) return 0;
    if (aIndex < 0 || aCount <= 0 || aIndex > fLineCount) Fail();
    int Added = 0;
    if (aCount <= kSmallInsert && !fBlocks.empty()) {
        int k = 0;
        int Local = 0;
        if (aIndex == fLineCount) {
            k = int(fBlocks.size()) - 1;
            Local = fBlocks[size_t(k)].Lines();
        } else {
            k = BlockOfLine(aIndex);
            Local = aIndex - fBlockFirstLine[size_t(k)];
        }
        std::vector<uint16_t> Rows;
        std::vector<int32_t> Offsets(static_cast<size_t>(aCount));
        TBlock &B = fBlocks[size_t(k)];
        const int RowAt = B.RowStart(Local);
        for (int i = 0; i < aCount; ++i) {
            WrapLine(aIndex + i, Rows);
            Offsets[size_t(i)] = RowAt + int32_t(Rows.size());
        }
        Added = int(Rows.size());
        B.RowLengths.insert(B.RowLengths.begin() + RowAt, Rows.begin(), Rows.end());
        B.LineOffsets.insert(B.LineOffsets.begin() + Local, Offsets.begin(), Offsets.end());
        for (int i = Local + aCount; i < B.Lines(); ++i)
            B.LineOffsets[size_t(i)] += Added;
        BlocksChangedFrom(k + 1);
        fLineCount += aCount;
        fRowCount += Added;
        if (B.Lines() > kMaxBlockLines) SplitBlock(k, B.Lines() / 2);
        return Added;
    }
    // Many lines: blocks of their own between the two halves of the block they go into.
    int At = 0;
    if (aIndex == fLineCount) {
        At = int(fBlocks.size());
    } else {
        const int k = BlockOfLine(aIndex);
        const int Local = aIndex - fBlockFirstLine[size_t(k)];
        if (Local > 0) SplitBlock(k, Local);
        At = Local > 0 ? k + 1 : k;
    }
    std::vector<TBlock> New;
    for (int First = 0; First < aCount; First += kBlockLines) {
        const int n = std::min(kBlockLines, aCount - First);
        TBlock B;
        B.LineOffsets.reserve(size_t(n));
        B.RowLengths.reserve(size_t(n));
        for (int i = 0; i < n; ++i) {
            WrapLine(aIndex + First + i, B.RowLengths);
            B.LineOffsets.push_back(int32_t(B.RowLengths.size()));
        }
        Added += B.Rows();
        New.push_back(std::move(B));
    }
    const int NewBlocks = int(New.size());
    InsertBlocks(At, std::move(New));
    fLineCount += aCount;
    fRowCount += Added;
    // Small pieces at the seams join their neighbours.
    MergeSmallBlock(At + NewBlocks);
    MergeSmallBlock(At + NewBlocks - 1);
    MergeSmallBlock(At - 1);
    return Added;
}

int TLexWordWrapPlugin::LinesDeleted(int aIndex, int aCount) {
    if (fMaxRowLength == 0) return 0;
    if (aIndex < 0 || aCount < 1 || aIndex + aCount > fLineCount) Fail();
    int Removed = 0;
    while (aCount > 0) {
        const int k = BlockOfLine(aIndex);
        TBlock &B = fBlocks[size_t(k)];
        const int Local = aIndex - fBlockFirstLine[size_t(k)];
        const int n = std::min(aCount, B.Lines() - Local);
        if (Local == 0 && n == B.Lines()) {
            Removed += B.Rows();
            EraseBlock(k);
        } else {
            const int vStartRow = B.RowStart(Local);
            const int vEndRow = B.LineOffsets[size_t(Local + n - 1)];
            const int Rows = vEndRow - vStartRow;
            B.RowLengths.erase(B.RowLengths.begin() + vStartRow, B.RowLengths.begin() + vEndRow);
            B.LineOffsets.erase(B.LineOffsets.begin() + Local, B.LineOffsets.begin() + Local + n);
            for (int i = Local; i < B.Lines(); ++i)
                B.LineOffsets[size_t(i)] -= Rows;
            Removed += Rows;
            BlocksChangedFrom(k + 1);
            MergeSmallBlock(k);
        }
        fLineCount -= n;
        aCount -= n;
    }
    fRowCount -= Removed;
    if (fLineCount == 0) SetEmpty();
    return Removed;
}

int TLexWordWrapPlugin::LinePut(int aIndex, const QString &OldLine) {
    Q_UNUSED(OldLine);
    if (fMaxRowLength == 0) return 0;
    if (aIndex < 0 || aIndex >= fLineCount) Fail();
    return ReWrapLine(aIndex);
}

// ---- look-ups ------------------------------------------------------------------------------------------

int TLexWordWrapPlugin::GetRowLength(int aRow) const {
    if (aRow < 1 || aRow > fRowCount)
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(aRow));
    const int k = BlockOfRow(aRow - 1);
    return fBlocks[size_t(k)].RowLengths[size_t(aRow - 1 - fBlockFirstRow[size_t(k)])];
}

int TLexWordWrapPlugin::LineRowCount(int aIndex) const {
    if (aIndex < 0 || aIndex >= fLineCount) Fail();
    const int k = BlockOfLine(aIndex);
    const TBlock &B = fBlocks[size_t(k)];
    const int Local = aIndex - fBlockFirstLine[size_t(k)];
    return B.LineOffsets[size_t(Local)] - B.RowStart(Local);
}

int TLexWordWrapPlugin::LineToRow(int aLine) const {
    if (aLine > fLineCount) return ClampToInt(int64_t(fRowCount) + aLine - fLineCount);
    if (aLine < 1) return aLine;
    const int k = BlockOfLine(aLine - 1);
    const TBlock &B = fBlocks[size_t(k)];
    return fBlockFirstRow[size_t(k)] + B.RowStart(aLine - 1 - fBlockFirstLine[size_t(k)]) + 1;
}

int TLexWordWrapPlugin::RowToLine(int aRow) const {
    if (aRow > fRowCount) return ClampToInt(int64_t(aRow) - fRowCount + fLineCount);
    if (aRow < 1) return aRow;
    const int k = BlockOfRow(aRow - 1);
    const TBlock &B = fBlocks[size_t(k)];
    const int LocalRow = aRow - 1 - fBlockFirstRow[size_t(k)];
    const auto It = std::upper_bound(B.LineOffsets.begin(), B.LineOffsets.end(), LocalRow);
    return fBlockFirstLine[size_t(k)] + int(It - B.LineOffsets.begin()) + 1;
}

TDisplayCoord TLexWordWrapPlugin::BufferToDisplayPos(const TBufferCoord &aPos) const {
    if (aPos.Char < 1 || aPos.Line < 1) Fail();
    if (aPos.Line > fLineCount) return DisplayCoord(aPos.Char, LineToRow(aPos.Line));
    const int k = BlockOfLine(aPos.Line - 1);
    const TBlock &B = fBlocks[size_t(k)];
    const int Local = aPos.Line - 1 - fBlockFirstLine[size_t(k)];
    const int First = B.RowStart(Local);
    const int End = B.LineOffsets[size_t(Local)];
    int Sum = 0; // lengths of the rows before row r
    for (int r = First; r < End; ++r) {
        const int Len = B.RowLengths[size_t(r)];
        if (Sum + Len >= aPos.Char) return DisplayCoord(aPos.Char - Sum, fBlockFirstRow[size_t(k)] + r + 1);
        Sum += Len;
    }
    // After the end of the line: on its last row.
    const int Last = End - 1;
    return DisplayCoord(ClampToInt(int64_t(B.RowLengths[size_t(Last)]) + aPos.Char - Sum),
                        fBlockFirstRow[size_t(k)] + Last + 1);
}

TBufferCoord TLexWordWrapPlugin::DisplayToBufferPos(const TDisplayCoord &aPos) const {
    if (aPos.Column < 1 || aPos.Row < 1) Fail();
    if (aPos.Row > fRowCount) return BufferCoord(aPos.Column, RowToLine(aPos.Row));
    const int k = BlockOfRow(aPos.Row - 1);
    const TBlock &B = fBlocks[size_t(k)];
    const int LocalRow = aPos.Row - 1 - fBlockFirstRow[size_t(k)];
    const int Local =
        int(std::upper_bound(B.LineOffsets.begin(), B.LineOffsets.end(), LocalRow) - B.LineOffsets.begin());
    const int First = B.RowStart(Local);
    const bool LastRow = LocalRow == B.LineOffsets[size_t(Local)] - 1;
    const int Limit = LastRow ? fMaxRowLength : B.RowLengths[size_t(LocalRow)];
    int64_t Char = std::min<int64_t>(aPos.Column, int64_t(Limit) + 1);
    for (int r = First; r < LocalRow; ++r)
        Char += B.RowLengths[size_t(r)];
    return BufferCoord(ClampToInt(Char), fBlockFirstLine[size_t(k)] + Local + 1);
}

} // namespace lexedit

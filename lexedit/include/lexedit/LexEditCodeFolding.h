// SPDX-License-Identifier: MIT
#pragma once
// Fold ranges and folding highlighters.
//
// A folding highlighter records fold markers per line (a fold of some type opens here, or closes
// here) into a TLexFoldRanges. The list turns them into fold ranges sorted by their first line,
// each with a collapsed flag, keeps markers and ranges in step when lines are inserted or
// deleted, keeps collapsed flags across rebuilds (matched by first line), and maps buffer lines to
// display rows and back (the lines after the first of a collapsed range are hidden).
//
// Line numbers of markers and ranges are 1-based; the line indices given to a scan are 0-based
// (the marker of scanned index i is line i + 1).
//
// Queries that would walk every range (the range around a line, the range ending at a line, the
// row of a line) are answered from indexes built once after a change: a tree of the ranges'
// last lines, the ranges ordered by last line, and the merged spans of hidden lines. So painting
// and caret moves stay cheap on files with hundreds of thousands of ranges, and there is no cap
// on their number.

#include "common/Exception.h"
#include "lexedit/LexColor.h"
#include "lexedit/LexEditHighlighter.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <vector>

class QIODevice;

namespace lexedit {

class TLexEditStringList;

COMMON_DECLARE_EXCEPTION(EArgumentOutOfRangeException, common::Exception)

// The fold type of region markers ("//#region" ... "//#endregion"). A global setting, read when
// a scan or a command runs.
inline int FoldRegionType = 99;

enum TFoldOpenClose : uint8_t { focOpen, focClose };
enum TLexCodeFoldingMode : uint8_t { cfmStandard, cfmIndentation };

struct TLexFoldRange {
    int32_t FromLine = 0; // first line: stays visible when collapsed
    int32_t ToLine = 0;   // last line: hidden with the others when collapsed
    int32_t FoldType = 0; // chosen by the highlighter (PHP: 1 braces, 2 comments, regions)
    int32_t Indent = -1;  // indentation level of indentation folds, -1 for marker folds
    bool Collapsed = false;

    static TLexFoldRange Create(int AFromLine, int AToLine, int AFoldType, int AIndent = -1,
                                bool ACollapsed = false) {
        return TLexFoldRange{AFromLine, AToLine, AFoldType, AIndent, ACollapsed};
    }
    void Move(int Count) {
        FromLine += Count;
        ToLine += Count;
    }
    bool operator==(const TLexFoldRange &O) const {
        return FromLine == O.FromLine && ToLine == O.ToLine && FoldType == O.FoldType && Indent == O.Indent &&
               Collapsed == O.Collapsed;
    }
    bool operator!=(const TLexFoldRange &O) const { return !(*this == O); }
};

struct TLineFoldInfo {
    int32_t Line = 0;
    TFoldOpenClose FoldOpenClose = focOpen;
    int32_t FoldType = 0;
    int32_t Indent = -1;
    bool operator==(const TLineFoldInfo &O) const {
        return Line == O.Line && FoldOpenClose == O.FoldOpenClose && FoldType == O.FoldType &&
               Indent == O.Indent;
    }
};

class TLexFoldRanges {
public:
    TLexFoldRanges();
    ~TLexFoldRanges();
    TLexFoldRanges(const TLexFoldRanges &) = delete;
    TLexFoldRanges &operator=(const TLexFoldRanges &) = delete;

    int Count() const { return int(fRanges.size()); }
    // A copy of the range at a 0-based index; outside 0..Count-1 EArgumentOutOfRangeException.
    TLexFoldRange Ranges(int Index) const;
    const std::vector<TLexFoldRange> &AllRanges() const { return fRanges; }
    const std::vector<TLineFoldInfo> &FoldInfos() const { return fFoldInfoList; }
    TLexCodeFoldingMode CodeFoldingMode() const { return fCodeFoldingMode; }
    void SetCodeFoldingMode(TLexCodeFoldingMode Value) { fCodeFoldingMode = Value; }
    bool RangesNeedFixing() const { return fRangesNeedFixing; }

    // Collapses or expands the range at Index (range errors as Ranges).
    void SetCollapsed(int Index, bool Value);

    void Reset();
    void StartScanning() {}
    // Rebuilds the ranges when markers changed since the last rebuild, keeping collapsed flags;
    // true when it did.
    bool StopScanning(const TLexEditStringList &Lines);

    void AddLineInfo(int ALine, int AFoldType, TFoldOpenClose AFoldOpenClose, int AIndent);
    void StartFoldRange(int ALine, int AFoldType, int AIndent = -1) {
        AddLineInfo(ALine, AFoldType, focOpen, AIndent);
    }
    void StopFoldRange(int ALine, int AFoldType, int AIndent = -1) {
        AddLineInfo(ALine, AFoldType, focClose, AIndent);
    }
    void NoFoldInfo(int ALine);
    int GetIndentLevel(int Line) const;

    bool FoldStartAtLine(int Line) const;
    bool FoldStartAtLine(int Line, int &Index) const;
    bool CollapsedFoldStartAtLine(int Line) const;
    bool CollapsedFoldStartAtLine(int Line, int &Index) const;
    bool FoldEndAtLine(int Line) const;
    bool FoldEndAtLine(int Line, int &Index) const;
    // The innermost range around Line (the last one in range order) whose collapsed flag is
    // WantCollapsed; its first and last line count as inside when AcceptFromLine / AcceptToLine.
    bool FoldAroundLineEx(int Line, bool WantCollapsed, bool AcceptFromLine, bool AcceptToLine,
                          int &Index) const;
    bool FoldAroundLine(int Line) const;
    bool FoldAroundLine(int Line, int &Index) const;
    bool CollapsedFoldAroundLine(int Line) const;
    bool CollapsedFoldAroundLine(int Line, int &Index) const;
    // A collapsed range hides the lines after its first, up to and including its last.
    bool FoldHidesLine(int Line) const;
    bool FoldHidesLine(int Line, int &Index) const;
    // Indices of the ranges nested exactly Level deep (1 = outermost), region folds ignored.
    std::vector<int> FoldsAtLevel(int Level) const;
    std::vector<int> FoldsOfType(int aType) const;

    // The row of a line and the line of a row with collapsed ranges hiding lines; a hidden line
    // maps to the row of the visible first line of its fold.
    int FoldLineToRow(int Line) const;
    int FoldRowToLine(int Row) const;
    // The number of hidden lines (nested collapsed ranges counted once).
    int HiddenLineCount() const;

    // 0-based index of the first line concerned.
    void LinesInserted(int aIndex, int aCount);
    void LinesDeleted(int aIndex, int aCount);
    void LinePut(int aIndex, const QString &OldLine);

    void StoreCollapsedState();
    void RestoreCollapsedState();
    // The first line of every collapsed range, 32-bit little-endian, in range order.
    void StoreCollapsedState(QIODevice &Stream) const;
    // Collapses the range starting at each line read. A trailing partial number and lines that
    // start no range (past the end, say) are ignored.
    void RestoreCollapsedState(QIODevice &Stream);

    void RecreateFoldRanges(const TLexEditStringList &Lines);
    // Replaces the range starting at AFromLine or inserts it in order.
    void AddByParts(int AFoldType, int AFromLine, int AToLine);
    // Inserts the range in order of its first line, replacing one with the same first line.
    void AddFoldRange(const TLexFoldRange &FoldRange);

private:
    int FindRange(int Line, bool &Found) const;
    int FindInfo(int Line, bool &Found) const;
    void RangesChanged();
    void CheckIndex(int Index) const;
    void BuildTree() const;
    void BuildEndIndex() const;
    void BuildHiddenSpans() const;
    void UpdateTree(int Index) const;
    // The largest range index i <= Last with ToLine >= Threshold and the given collapsed flag.
    int RightmostReaching(int Last, int Threshold, bool WantCollapsed) const;
    static int SearchTree(const std::vector<int32_t> &T, size_t Node, int Lo, int Hi, int Last,
                          int Threshold);

    TLexCodeFoldingMode fCodeFoldingMode = cfmStandard;
    bool fRangesNeedFixing = false;
    std::vector<TLexFoldRange> fRanges;
    std::vector<int32_t> fCollapsedState;
    std::vector<TLineFoldInfo> fFoldInfoList;

    // Indexes built on demand (see the head of this file).
    struct THiddenSpan {
        int32_t First;  // first hidden line
        int32_t Last;   // last hidden line
        int32_t Before; // hidden lines before First
    };
    int fCollapsedCount = 0; // ranges collapsed
    mutable bool fTreeValid = false;
    mutable int fTreeSize = 0;                // leaves, a power of two
    mutable std::vector<int32_t> fTreeMax[2]; // max ToLine per node: [0] expanded, [1] collapsed
    mutable bool fEndIndexValid = false;
    mutable std::vector<std::pair<int32_t, int32_t>> fEndIndex; // (ToLine, index), sorted
    mutable bool fSpansValid = false;
    mutable std::vector<THiddenSpan> fSpans;
};

// A highlighter that records fold markers.
class TLexCustomCodeFoldingHighlighter : public TLexCustomHighlighter {
public:
    explicit TLexCustomCodeFoldingHighlighter(QObject *AOwner = nullptr) : TLexCustomHighlighter(AOwner) {}

    virtual void InitFoldRanges(TLexFoldRanges &FoldRanges);
    // Records markers for the 0-based lines FromLine..ToLine of LinesToScan; lines that do not
    // exist are skipped. The ranges stored in LinesToScan must be current.
    virtual void ScanForFoldRanges(TLexFoldRanges &FoldRanges, const TLexEditStringList &LinesToScan,
                                   int FromLine, int ToLine) = 0;
    // Called after a rebuild of the ranges.
    virtual void AdjustFoldRanges(TLexFoldRanges &FoldRanges, const TLexEditStringList &LinesToScan);

    // The range stored for the 0-based Line, or 0 outside the lines.
    TLexRange GetLineRange(const TLexEditStringList &Lines, int Line) const;
    // The token containing the 1-based column Char of the 0-based Line.
    bool GetHighlighterAttriAtRowColEx(const TLexEditStringList &Lines, int Line, int Char, QString &Token,
                                       int &TokenType, int &Start, TLexHighlighterAttributes *&Attri);
    TLexHighlighterAttributes *GetHighlighterAttriAtRowCol(const TLexEditStringList &Lines, int Line,
                                                           int Char);

protected:
    // Puts the scanner on the 0-based Line with the state stored for the line before it.
    void StartLineScan(const TLexEditStringList &Lines, int Line);
};

// The editor's folding options.
class TLexCodeFolding : public QObject {
public:
    TLexCodeFolding();
    ~TLexCodeFolding() override = default;

    static const char *StaticClassName() { return "TLexCodeFolding"; }
    // From another TLexCodeFolding the seven values; from anything else EConvertError.
    void Assign(const QObject *Source);

    bool IndentGuides() const { return fIndentGuides; }
    TColor CollapsedLineColor() const { return fCollapsedLineColor; }
    TColor FolderBarLinesColor() const { return fFolderBarLinesColor; }
    TColor IndentGuidesColor() const { return fIndentGuidesColor; }
    bool ShowCollapsedLine() const { return fShowCollapsedLine; }
    bool ShowHintMark() const { return fShowHintMark; }
    int GutterShapeSize() const { return fGutterShapeSize; }
    void SetIndentGuides(bool Value);
    void SetCollapsedLineColor(TColor Value);
    void SetFolderBarLinesColor(TColor Value);
    void SetIndentGuidesColor(TColor Value);
    void SetShowCollapsedLine(bool Value);
    void SetShowHintMark(bool Value);
    void SetGutterShapeSize(int Value);

    // GutterShapeSize scaled to PPI, rounded, made odd by taking one off an even size.
    int ScaledGutterShapeSize(int PPI) const;

    const TNotifyEvent &OnChange() const { return fOnChange; }
    void SetOnChange(TNotifyEvent Value) { fOnChange = std::move(Value); }

private:
    void Changed();

    bool fIndentGuides = true;
    TColor fCollapsedLineColor = clGrayText;
    TColor fFolderBarLinesColor = clGrayText;
    TColor fIndentGuidesColor = 0x808080;
    bool fShowCollapsedLine = false;
    bool fShowHintMark = true;
    int fGutterShapeSize = 11;
    TNotifyEvent fOnChange;
};

} // namespace lexedit

// SPDX-License-Identifier: MIT
// Fold ranges: markers, the rebuild of the ranges, line changes, collapsed state, the row map of
// collapsed ranges; the folding highlighter base and the folding options.

#include "lexedit/LexEditCodeFolding.h"

#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QIODevice>

#include <algorithm>
#include <climits>
#include <functional>
#include <queue>

namespace lexedit {

namespace {

bool IsBlankLine(const QString &S) {
    for (QChar c : S)
        if (c.unicode() > 32) return false;
    return true;
}

} // namespace

// ---- TLexFoldRanges: lists and searches -------------------------------------------------------

TLexFoldRanges::TLexFoldRanges() = default;
TLexFoldRanges::~TLexFoldRanges() = default;

void TLexFoldRanges::CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count())
        throw EArgumentOutOfRangeException(
            QStringLiteral("Specified argument was out of the range of valid values (%1)").arg(Index));
}

TLexFoldRange TLexFoldRanges::Ranges(int Index) const {
    CheckIndex(Index);
    return fRanges[size_t(Index)];
}

int TLexFoldRanges::FindRange(int Line, bool &Found) const {
    const auto It = std::lower_bound(fRanges.begin(), fRanges.end(), Line,
                                     [](const TLexFoldRange &R, int L) { return R.FromLine < L; });
    Found = It != fRanges.end() && It->FromLine == Line;
    return int(It - fRanges.begin());
}

int TLexFoldRanges::FindInfo(int Line, bool &Found) const {
    const auto It = std::lower_bound(fFoldInfoList.begin(), fFoldInfoList.end(), Line,
                                     [](const TLineFoldInfo &I, int L) { return I.Line < L; });
    Found = It != fFoldInfoList.end() && It->Line == Line;
    return int(It - fFoldInfoList.begin());
}

void TLexFoldRanges::RangesChanged() {
    fCollapsedCount = int(
        std::count_if(fRanges.begin(), fRanges.end(), [](const TLexFoldRange &R) { return R.Collapsed; }));
    fTreeValid = false;
    fEndIndexValid = false;
    fSpansValid = false;
}

void TLexFoldRanges::SetCollapsed(int Index, bool Value) {
    CheckIndex(Index);
    TLexFoldRange &R = fRanges[size_t(Index)];
    if (R.Collapsed == Value) return;
    R.Collapsed = Value;
    fCollapsedCount += Value ? 1 : -1;
    fSpansValid = false;
    if (fTreeValid) UpdateTree(Index);
}

void TLexFoldRanges::Reset() {
    fRanges.clear();
    fCollapsedState.clear();
    fFoldInfoList.clear();
    fRangesNeedFixing = false;
    RangesChanged();
}

bool TLexFoldRanges::StopScanning(const TLexEditStringList &Lines) {
    if (!fRangesNeedFixing) return false;
    StoreCollapsedState();
    RecreateFoldRanges(Lines);
    RestoreCollapsedState();
    fRangesNeedFixing = false;
    return true;
}

// ---- markers ----------------------------------------------------------------------------------

void TLexFoldRanges::AddLineInfo(int ALine, int AFoldType, TFoldOpenClose AFoldOpenClose, int AIndent) {
    // Scans record lines in order: appending is the common case and costs no search.
    if (fFoldInfoList.empty() || fFoldInfoList.back().Line < ALine) {
        fFoldInfoList.push_back(TLineFoldInfo{ALine, AFoldOpenClose, AFoldType, AIndent});
        fRangesNeedFixing = true;
        return;
    }
    bool Found = false;
    const int Index = FindInfo(ALine, Found);
    if (Found) {
        TLineFoldInfo &I = fFoldInfoList[size_t(Index)];
        if (I.FoldOpenClose == AFoldOpenClose && I.FoldType == AFoldType && I.Indent == AIndent) return;
        I.FoldOpenClose = AFoldOpenClose;
        I.FoldType = AFoldType;
        I.Indent = AIndent;
    } else {
        fFoldInfoList.insert(fFoldInfoList.begin() + Index,
                             TLineFoldInfo{ALine, AFoldOpenClose, AFoldType, AIndent});
    }
    fRangesNeedFixing = true;
}

void TLexFoldRanges::NoFoldInfo(int ALine) {
    if (fFoldInfoList.empty() || fFoldInfoList.back().Line < ALine) return;
    bool Found = false;
    const int Index = FindInfo(ALine, Found);
    if (!Found) return;
    fFoldInfoList.erase(fFoldInfoList.begin() + Index);
    fRangesNeedFixing = true;
}

int TLexFoldRanges::GetIndentLevel(int Line) const {
    bool Found = false;
    for (int i = FindInfo(Line, Found) - 1; i >= 0; --i)
        if (fFoldInfoList[size_t(i)].Indent >= 0) return fFoldInfoList[size_t(i)].Indent;
    return -1;
}

// ---- queries ----------------------------------------------------------------------------------

bool TLexFoldRanges::FoldStartAtLine(int Line) const {
    int Index = 0;
    return FoldStartAtLine(Line, Index);
}

bool TLexFoldRanges::FoldStartAtLine(int Line, int &Index) const {
    bool Found = false;
    Index = FindRange(Line, Found);
    return Found;
}

bool TLexFoldRanges::CollapsedFoldStartAtLine(int Line) const {
    int Index = 0;
    return CollapsedFoldStartAtLine(Line, Index);
}

bool TLexFoldRanges::CollapsedFoldStartAtLine(int Line, int &Index) const {
    return FoldStartAtLine(Line, Index) && fRanges[size_t(Index)].Collapsed;
}

void TLexFoldRanges::BuildEndIndex() const {
    fEndIndex.clear();
    fEndIndex.reserve(fRanges.size());
    for (size_t i = 0; i < fRanges.size(); ++i)
        fEndIndex.emplace_back(fRanges[i].ToLine, int32_t(i));
    std::sort(fEndIndex.begin(), fEndIndex.end());
    fEndIndexValid = true;
}

bool TLexFoldRanges::FoldEndAtLine(int Line) const {
    int Index = 0;
    return FoldEndAtLine(Line, Index);
}

bool TLexFoldRanges::FoldEndAtLine(int Line, int &Index) const {
    if (!fEndIndexValid) BuildEndIndex();
    // The ranges ending at Line in index order: the first is the first in range order.
    const auto It =
        std::lower_bound(fEndIndex.begin(), fEndIndex.end(), std::make_pair(int32_t(Line), INT32_MIN));
    if (It == fEndIndex.end() || It->first != Line) return false;
    Index = It->second;
    return true;
}

void TLexFoldRanges::BuildTree() const {
    int Size = 1;
    while (Size < int(fRanges.size()))
        Size *= 2;
    fTreeSize = Size;
    for (auto &T : fTreeMax)
        T.assign(size_t(2 * Size), INT32_MIN);
    for (size_t i = 0; i < fRanges.size(); ++i)
        fTreeMax[fRanges[i].Collapsed ? 1 : 0][size_t(Size) + i] = fRanges[i].ToLine;
    for (int n = Size - 1; n >= 1; --n)
        for (auto &T : fTreeMax)
            T[size_t(n)] = std::max(T[size_t(2 * n)], T[size_t(2 * n + 1)]);
    fTreeValid = true;
}

void TLexFoldRanges::UpdateTree(int Index) const {
    const TLexFoldRange &R = fRanges[size_t(Index)];
    size_t n = size_t(fTreeSize + Index);
    fTreeMax[R.Collapsed ? 1 : 0][n] = R.ToLine;
    fTreeMax[R.Collapsed ? 0 : 1][n] = INT32_MIN;
    for (n /= 2; n >= 1; n /= 2)
        for (auto &T : fTreeMax)
            T[n] = std::max(T[2 * n], T[2 * n + 1]);
}

int TLexFoldRanges::RightmostReaching(int Last, int Threshold, bool WantCollapsed) const {
    if (Last < 0) return -1;
    if (!fTreeValid) BuildTree();
    return SearchTree(fTreeMax[WantCollapsed ? 1 : 0], 1, 0, fTreeSize, Last, Threshold);
}

int TLexFoldRanges::SearchTree(const std::vector<int32_t> &T, size_t Node, int Lo, int Hi, int Last,
                               int Threshold) {
    // Descends into the right child first; a subtree is entered only when it lies (partly) at or
    // before Last and holds a last line reaching Threshold.
    if (Lo > Last || T[Node] < Threshold) return -1;
    if (Hi - Lo == 1) return Lo;
    const int Mid = (Lo + Hi) / 2;
    const int Right = SearchTree(T, 2 * Node + 1, Mid, Hi, Last, Threshold);
    return Right >= 0 ? Right : SearchTree(T, 2 * Node, Lo, Mid, Last, Threshold);
}

bool TLexFoldRanges::FoldAroundLineEx(int Line, bool WantCollapsed, bool AcceptFromLine, bool AcceptToLine,
                                      int &Index) const {
    if (WantCollapsed && fCollapsedCount == 0) return false;
    // The candidates start before Line (or at it): the last match among them in range order.
    const int FromLimit = AcceptFromLine ? Line : Line - 1;
    bool Found = false;
    int Last = FindRange(FromLimit, Found);
    if (!Found) --Last;
    const int Threshold = AcceptToLine ? Line : Line + 1;
    const int i = RightmostReaching(Last, Threshold, WantCollapsed);
    if (i < 0) return false;
    Index = i;
    return true;
}

bool TLexFoldRanges::FoldAroundLine(int Line) const {
    int Index = 0;
    return FoldAroundLineEx(Line, false, false, false, Index);
}
bool TLexFoldRanges::FoldAroundLine(int Line, int &Index) const {
    return FoldAroundLineEx(Line, false, false, false, Index);
}
bool TLexFoldRanges::CollapsedFoldAroundLine(int Line) const {
    int Index = 0;
    return FoldAroundLineEx(Line, true, false, false, Index);
}
bool TLexFoldRanges::CollapsedFoldAroundLine(int Line, int &Index) const {
    return FoldAroundLineEx(Line, true, false, false, Index);
}
bool TLexFoldRanges::FoldHidesLine(int Line) const {
    int Index = 0;
    return FoldAroundLineEx(Line, true, false, true, Index);
}
bool TLexFoldRanges::FoldHidesLine(int Line, int &Index) const {
    return FoldAroundLineEx(Line, true, false, true, Index);
}

std::vector<int> TLexFoldRanges::FoldsAtLevel(int Level) const {
    std::vector<int> Result;
    // The ranges still open at a first line are those pushed before whose last line lies after
    // it; once closed a range stays closed, since first lines only grow. A heap of last lines
    // drops them in order.
    std::priority_queue<int32_t, std::vector<int32_t>, std::greater<int32_t>> Open;
    for (size_t i = 0; i < fRanges.size(); ++i) {
        const TLexFoldRange &R = fRanges[i];
        if (R.FoldType == FoldRegionType) continue;
        while (!Open.empty() && Open.top() <= R.FromLine)
            Open.pop();
        Open.push(R.ToLine);
        if (int(Open.size()) == Level) Result.push_back(int(i));
    }
    return Result;
}

std::vector<int> TLexFoldRanges::FoldsOfType(int aType) const {
    std::vector<int> Result;
    for (size_t i = 0; i < fRanges.size(); ++i)
        if (fRanges[i].FoldType == aType) Result.push_back(int(i));
    return Result;
}

// ---- rows -------------------------------------------------------------------------------------

void TLexFoldRanges::BuildHiddenSpans() const {
    fSpans.clear();
    fSpansValid = true;
    if (fCollapsedCount == 0) return;
    int32_t Before = 0;
    for (const TLexFoldRange &R : fRanges) {
        if (!R.Collapsed || R.ToLine <= R.FromLine) continue;
        const int32_t First = R.FromLine + 1;
        if (!fSpans.empty() && First <= fSpans.back().Last + 1) {
            THiddenSpan &S = fSpans.back();
            if (R.ToLine > S.Last) S.Last = R.ToLine;
            continue;
        }
        if (!fSpans.empty()) Before += fSpans.back().Last - fSpans.back().First + 1;
        fSpans.push_back(THiddenSpan{First, R.ToLine, Before});
    }
    fSpansValid = true;
}

int TLexFoldRanges::HiddenLineCount() const {
    if (!fSpansValid) BuildHiddenSpans();
    if (fSpans.empty()) return 0;
    const THiddenSpan &S = fSpans.back();
    return S.Before + S.Last - S.First + 1;
}

int TLexFoldRanges::FoldLineToRow(int Line) const {
    if (!fSpansValid) BuildHiddenSpans();
    const auto It = std::upper_bound(fSpans.begin(), fSpans.end(), Line,
                                     [](int L, const THiddenSpan &S) { return L < S.First; });
    if (It == fSpans.begin()) return Line;
    const THiddenSpan &S = *(It - 1);
    if (Line <= S.Last) return S.First - 1 - S.Before; // hidden: the row of the fold's first line
    return Line - (S.Before + S.Last - S.First + 1);
}

int TLexFoldRanges::FoldRowToLine(int Row) const {
    if (!fSpansValid) BuildHiddenSpans();
    // The row of the visible line before each span grows strictly from span to span.
    const auto It = std::upper_bound(fSpans.begin(), fSpans.end(), Row,
                                     [](int R, const THiddenSpan &S) { return R <= S.First - 1 - S.Before; });
    if (It == fSpans.begin()) return Row;
    const THiddenSpan &S = *(It - 1);
    return Row + S.Before + S.Last - S.First + 1;
}

// ---- line changes -----------------------------------------------------------------------------

void TLexFoldRanges::LinesInserted(int aIndex, int aCount) {
    if (aCount <= 0) return;
    for (auto It = fFoldInfoList.rbegin(); It != fFoldInfoList.rend() && It->Line > aIndex; ++It)
        It->Line += aCount;
    for (TLexFoldRange &R : fRanges) {
        if (R.FromLine > aIndex)
            R.Move(aCount);
        else if (aIndex < R.ToLine)
            R.ToLine += aCount;
    }
    // Every last line after aIndex moved by aCount, the others stayed: the order by last line
    // holds, and the index of the ranges ending at a line is updated in place.
    if (fEndIndexValid)
        for (auto &E : fEndIndex)
            if (E.first > aIndex) E.first += aCount;
    // The same map is monotone, so every node of the tree of largest last lines follows it too.
    if (fTreeValid)
        for (auto &T : fTreeMax)
            for (int32_t &V : T)
                if (V > aIndex) V += aCount;
    fSpansValid = false;
}

void TLexFoldRanges::LinesDeleted(int aIndex, int aCount) {
    if (aCount <= 0) return;
    // A rebuild still pending from markers recorded earlier (inside one update of the buffer)
    // stays pending: the flag is only ever raised here.
    const int LastDeleted = aIndex + aCount;
    {
        auto It = fFoldInfoList.end();
        auto EraseEnd = It;
        while (It != fFoldInfoList.begin() && (It - 1)->Line > aIndex) {
            --It;
            if (It->Line > LastDeleted) {
                It->Line -= aCount;
                EraseEnd = It;
            }
        }
        // [It, EraseEnd) are the markers of deleted lines.
        if (It != EraseEnd) {
            fFoldInfoList.erase(It, EraseEnd);
            fRangesNeedFixing = true;
        }
    }
    const auto NewEnd = std::remove_if(fRanges.begin(), fRanges.end(), [&](const TLexFoldRange &R) {
        return R.FromLine > aIndex && R.FromLine <= LastDeleted;
    });
    const bool RemovedAny = NewEnd != fRanges.end();
    bool Reordered = false;
    if (RemovedAny) {
        fRanges.erase(NewEnd, fRanges.end());
        fRangesNeedFixing = true;
    }
    for (TLexFoldRange &R : fRanges) {
        if (R.FromLine > LastDeleted) {
            R.Move(-aCount);
        } else if (R.ToLine > LastDeleted) {
            R.ToLine -= aCount;
        } else if (R.ToLine > aIndex) {
            R.ToLine = aIndex;
            Reordered = true; // last lines that were apart may meet
        }
    }
    if (RemovedAny) {
        RangesChanged();
        return;
    }
    // Otherwise the last lines after the deleted ones moved up by aCount, the others stayed:
    // the index of the ranges ending at a line keeps its order and is updated in place.
    if (fEndIndexValid && !Reordered) {
        for (auto &E : fEndIndex)
            if (E.first > LastDeleted) E.first -= aCount;
    } else {
        fEndIndexValid = false;
    }
    // The map of last lines is monotone (those in the deleted lines meet at aIndex): every node
    // of the tree of largest last lines follows it.
    if (fTreeValid)
        for (auto &T : fTreeMax)
            for (int32_t &V : T) {
                if (V > LastDeleted)
                    V -= aCount;
                else if (V > aIndex)
                    V = aIndex;
            }
    fSpansValid = false;
}

void TLexFoldRanges::LinePut(int aIndex, const QString &OldLine) {
    Q_UNUSED(aIndex);
    Q_UNUSED(OldLine);
}

// ---- collapsed state --------------------------------------------------------------------------

void TLexFoldRanges::StoreCollapsedState() {
    fCollapsedState.clear();
    for (const TLexFoldRange &R : fRanges)
        if (R.Collapsed) fCollapsedState.push_back(R.FromLine);
}

void TLexFoldRanges::RestoreCollapsedState() {
    for (int32_t Line : fCollapsedState) {
        bool Found = false;
        const int Index = FindRange(Line, Found);
        if (Found) fRanges[size_t(Index)].Collapsed = true;
    }
    fCollapsedState.clear();
    RangesChanged(); // the collapsed count and the tree
}

void TLexFoldRanges::StoreCollapsedState(QIODevice &Stream) const {
    QByteArray Bytes;
    for (const TLexFoldRange &R : fRanges) {
        if (!R.Collapsed) continue;
        const uint32_t V = uint32_t(R.FromLine);
        for (int k = 0; k < 4; ++k)
            Bytes.append(char((V >> (8 * k)) & 0xFF));
    }
    if (!Bytes.isEmpty() && Stream.write(Bytes) != Bytes.size())
        throw common::Exception(QStringLiteral("Stream write error"));
}

void TLexFoldRanges::RestoreCollapsedState(QIODevice &Stream) {
    const QByteArray Bytes = Stream.readAll();
    const int Whole = int(Bytes.size() / 4); // a trailing partial number is ignored
    for (int i = 0; i < Whole; ++i) {
        uint32_t V = 0;
        for (int k = 0; k < 4; ++k)
            V |= uint32_t(uint8_t(Bytes[4 * i + k])) << (8 * k);
        bool Found = false;
        const int Index = FindRange(int32_t(V), Found);
        if (Found) SetCollapsed(Index, true);
    }
}

// ---- rebuilding -------------------------------------------------------------------------------

void TLexFoldRanges::RecreateFoldRanges(const TLexEditStringList &Lines) {
    fRanges.clear();
    fRanges.reserve(fFoldInfoList.size());
    // Open indentation ranges (their indents grow from the bottom up, since every open closes
    // the ones at or above its indent first) and open marker ranges, one stack per fold type.
    std::vector<int> IndentStack;
    std::vector<std::pair<int, std::vector<int>>> TypeStacks;
    auto StackOf = [&TypeStacks](int Type) -> std::vector<int> & {
        for (auto &P : TypeStacks)
            if (P.first == Type) return P.second;
        TypeStacks.emplace_back(Type, std::vector<int>());
        return TypeStacks.back().second;
    };
    auto CloseIndented = [&](const TLineFoldInfo &M) {
        while (!IndentStack.empty() && fRanges[size_t(IndentStack.back())].Indent >= M.Indent) {
            fRanges[size_t(IndentStack.back())].ToLine = M.Line - 1;
            IndentStack.pop_back();
        }
    };
    for (const TLineFoldInfo &M : fFoldInfoList) {
        if (M.FoldOpenClose == focOpen) {
            if (M.Indent >= 0) CloseIndented(M);
            fRanges.push_back(TLexFoldRange::Create(M.Line, M.Line, M.FoldType, M.Indent));
            if (M.Indent >= 0)
                IndentStack.push_back(int(fRanges.size()) - 1);
            else
                StackOf(M.FoldType).push_back(int(fRanges.size()) - 1);
        } else if (M.Indent >= 0) {
            CloseIndented(M);
        } else {
            std::vector<int> &S = StackOf(M.FoldType);
            if (S.empty()) continue; // a close without an open range is ignored
            fRanges[size_t(S.back())].ToLine = M.Line;
            S.pop_back();
        }
    }
    if (fCodeFoldingMode == cfmIndentation) {
        const int Count = Lines.Count();
        for (int i : IndentStack)
            fRanges[size_t(i)].ToLine = Count;
        for (TLexFoldRange &R : fRanges) {
            if (R.Indent < 0) continue;
            while (R.ToLine > R.FromLine && R.ToLine <= Count && IsBlankLine(Lines.Get(R.ToLine - 1)))
                --R.ToLine;
        }
    }
    RangesChanged();
}

void TLexFoldRanges::AddByParts(int AFoldType, int AFromLine, int AToLine) {
    AddFoldRange(TLexFoldRange::Create(AFromLine, AToLine, AFoldType, -1, false));
}

void TLexFoldRanges::AddFoldRange(const TLexFoldRange &FoldRange) {
    bool Found = false;
    const int Index = FindRange(FoldRange.FromLine, Found);
    if (Found)
        fRanges[size_t(Index)] = FoldRange;
    else
        fRanges.insert(fRanges.begin() + Index, FoldRange);
    RangesChanged();
}

// ---- TLexCustomCodeFoldingHighlighter -----------------------------------------------------------

void TLexCustomCodeFoldingHighlighter::InitFoldRanges(TLexFoldRanges &FoldRanges) {
    FoldRanges.SetCodeFoldingMode(cfmStandard);
}

void TLexCustomCodeFoldingHighlighter::AdjustFoldRanges(TLexFoldRanges &FoldRanges,
                                                        const TLexEditStringList &LinesToScan) {
    Q_UNUSED(FoldRanges);
    Q_UNUSED(LinesToScan);
}

TLexRange TLexCustomCodeFoldingHighlighter::GetLineRange(const TLexEditStringList &Lines, int Line) const {
    if (Line < 0 || Line >= Lines.Count()) return 0;
    return Lines.GetRange(Line);
}

void TLexCustomCodeFoldingHighlighter::StartLineScan(const TLexEditStringList &Lines, int Line) {
    if (Line == 0)
        ResetRange();
    else
        SetRange(Lines.GetRange(Line - 1));
    SetLine(Lines.Get(Line), Line);
}

bool TLexCustomCodeFoldingHighlighter::GetHighlighterAttriAtRowColEx(const TLexEditStringList &Lines,
                                                                     int Line, int Char, QString &Token,
                                                                     int &TokenType, int &Start,
                                                                     TLexHighlighterAttributes *&Attri) {
    Token.clear();
    Attri = nullptr;
    if (Line < 0 || Line >= Lines.Count()) return false;
    StartLineScan(Lines, Line);
    if (Char <= 0 || Char > LineLength()) return false;
    while (!GetEol()) {
        const int Pos = GetTokenPos();
        const QString T = GetToken();
        if (Char - 1 >= Pos && Char - 1 < Pos + int(T.size())) {
            Token = T;
            TokenType = GetTokenKind();
            Start = Pos + 1;
            Attri = GetTokenAttribute();
            return true;
        }
        Next();
    }
    return false;
}

TLexHighlighterAttributes *
TLexCustomCodeFoldingHighlighter::GetHighlighterAttriAtRowCol(const TLexEditStringList &Lines, int Line,
                                                              int Char) {
    QString Token;
    int TokenType = 0;
    int Start = 0;
    TLexHighlighterAttributes *Attri = nullptr;
    GetHighlighterAttriAtRowColEx(Lines, Line, Char, Token, TokenType, Start, Attri);
    return Attri;
}

// ---- TLexCodeFolding ----------------------------------------------------------------------------

TLexCodeFolding::TLexCodeFolding() = default;

void TLexCodeFolding::Assign(const QObject *Source) {
    const auto *S = dynamic_cast<const TLexCodeFolding *>(Source);
    if (S == nullptr)
        throw EConvertError(
            QStringLiteral("Cannot assign a %1 to a %2.")
                .arg(Source ? QString::fromLatin1(Source->metaObject()->className()) : QStringLiteral("nil"),
                     QString::fromLatin1(StaticClassName())));
    fIndentGuides = S->fIndentGuides;
    fCollapsedLineColor = S->fCollapsedLineColor;
    fFolderBarLinesColor = S->fFolderBarLinesColor;
    fIndentGuidesColor = S->fIndentGuidesColor;
    fShowCollapsedLine = S->fShowCollapsedLine;
    fShowHintMark = S->fShowHintMark;
    fGutterShapeSize = S->fGutterShapeSize;
    Changed();
}

void TLexCodeFolding::Changed() {
    if (fOnChange) fOnChange(this);
}

#define LEX_FOLDING_SETTER(Name, Type, Field)                                                                \
    void TLexCodeFolding::Set##Name(Type Value) {                                                            \
        if (Field == Value) return;                                                                          \
        Field = Value;                                                                                       \
        Changed();                                                                                           \
    }

LEX_FOLDING_SETTER(IndentGuides, bool, fIndentGuides)
LEX_FOLDING_SETTER(CollapsedLineColor, TColor, fCollapsedLineColor)
LEX_FOLDING_SETTER(FolderBarLinesColor, TColor, fFolderBarLinesColor)
LEX_FOLDING_SETTER(IndentGuidesColor, TColor, fIndentGuidesColor)
LEX_FOLDING_SETTER(ShowCollapsedLine, bool, fShowCollapsedLine)
LEX_FOLDING_SETTER(ShowHintMark, bool, fShowHintMark)
LEX_FOLDING_SETTER(GutterShapeSize, int, fGutterShapeSize)

#undef LEX_FOLDING_SETTER

int TLexCodeFolding::ScaledGutterShapeSize(int PPI) const {
    int Result = MulDiv(fGutterShapeSize, PPI, 96);
    if (Result % 2 == 0) --Result;
    return Result;
}

} // namespace lexedit

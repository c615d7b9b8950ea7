// SPDX-License-Identifier: MIT
#include "lexedit/LexEditTextBuffer.h"

#include "LexEditTextBufferStore.h"

#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexUnicode.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <iterator>
#include <utility>

namespace lexedit {

TLexEditStringList::TLexEditStringList(TExpandAtWideGlyphsFunc AExpandAtWideGlyphsFunc)
    : FStore(std::make_unique<TLexEditLineStore>()), FConvertTabsProc(GetBestConvertTabsProcEx(8)),
      FExpandAtWideGlyphsFunc(std::move(AExpandAtWideGlyphsFunc)) {}

TLexEditStringList::~TLexEditStringList() {
    // Destroying the list notifies nobody.
    OnChange = nullptr;
    OnChanging = nullptr;
}

void TLexEditStringList::ListIndexError(int Index) {
    throw ELexEditStringList(QStringLiteral("Invalid stringlist index %1").arg(Index));
}

// ---- reading ------------------------------------------------------------------------------

int TLexEditStringList::Count() const {
    return int(FStore->FList.size());
}

int TLexEditStringList::Capacity() const {
    return int(FStore->FList.capacity());
}

QString TLexEditStringList::Get(int Index) const {
    if (Index < 0 || Index >= Count()) return QString();
    return FStore->FList[size_t(Index)].Text();
}

bool TLexEditStringList::GetLatin1(int Index, QLatin1String &AText) const {
    if (Index < 0 || Index >= Count()) return false;
    const TLexEditStringRec &Rec = FStore->FList[size_t(Index)];
    if (Rec.IsWide()) return false;
    AText = Rec.Length() == 0 ? QLatin1String("") : QLatin1String(Rec.Latin1(), qsizetype(Rec.Length()));
    return true;
}

int TLexEditStringList::GetLatin1Run(int Index, QLatin1String &ABytes) const {
    const int N = Count();
    if (Index < 0 || Index >= N) return 0;
    const TLexEditStringRec &First = FStore->FList[size_t(Index)];
    if (!First.IsShared()) return 0;
    // Shared bytes lie in a QByteArray, which ends in a NUL: the byte after a line's end can be
    // read, and the one after a CR there too.
    const char *Begin = First.Latin1();
    const char *End = Begin + First.Length();
    int Lines = 1;
    for (int i = Index + 1; i < N; ++i) {
        const char *Next = End;
        if (*Next == '\r') {
            ++Next;
            if (*Next == '\n') ++Next;
        } else if (*Next == '\n') {
            ++Next;
        } else {
            break;
        }
        const TLexEditStringRec &Rec = FStore->FList[size_t(i)];
        // An empty line holds no bytes: it stands wherever a line break brought the run.
        if (Rec.Length() == 0) {
            End = Next;
        } else if (Rec.IsShared() && Rec.Latin1() == Next) {
            End = Next + Rec.Length();
        } else {
            break;
        }
        ++Lines;
    }
    ABytes = QLatin1String(Begin, End - Begin);
    return Lines;
}

void *TLexEditStringList::GetObject(int Index) const {
    if (Index < 0 || Index >= Count() || FStore->FObjects.empty()) return nullptr;
    const auto It = std::lower_bound(FStore->FObjects.begin(), FStore->FObjects.end(), Index,
                                     [](const std::pair<int, void *> &E, int i) { return E.first < i; });
    return It != FStore->FObjects.end() && It->first == Index ? It->second : nullptr;
}

TLexRange TLexEditStringList::GetRange(int Index) const {
    if (Index < 0 || Index >= Count()) return 0;
    return FStore->FList[size_t(Index)].FRange;
}

QString TLexEditStringList::ExpandString(int Index) const {
    TLexEditStringRec &Rec = FStore->FList[size_t(Index)];
    if (Rec.Length() == 0) {
        Rec.FExpandedLength = 0;
        Rec.FFlags = TLexEditStringFlags{sfHasNoTabs};
        return QString();
    }
    if (!Rec.IsWide() && std::memchr(Rec.Latin1(), '\t', size_t(Rec.Length())) == nullptr) {
        // Without tabs the expanded line is the line itself (a Latin-1 line has no wide glyphs);
        // its length is known without building the string.
        Rec.FExpandedLength = Rec.Length();
        Rec.FFlags = TLexEditStringFlags{sfHasNoTabs};
        return QString();
    }
    bool HasTabs = false;
    QString Result;
    if (Rec.IsWide() && FExpandAtWideGlyphsFunc) {
        // Tabs after wide glyphs reach their stops in display columns, as the mapping counts.
        int DisplayLength = 0;
        Result = ConvertTabsAtDisplayColumns(Rec.Text(), FTabWidth, FExpandAtWideGlyphsFunc, HasTabs,
                                             DisplayLength);
        Rec.FExpandedLength = DisplayLength;
    } else {
        Result = FConvertTabsProc(Rec.Text(), FTabWidth, HasTabs);
        Rec.FExpandedLength = int32_t(Result.size());
    }
    Rec.FFlags = TLexEditStringFlags{HasTabs ? sfHasTabs : sfHasNoTabs};
    return Result;
}

QString TLexEditStringList::ExpandedStrings(int Index) const {
    if (Index < 0 || Index >= Count()) return QString();
    const TLexEditStringRec &Rec = FStore->FList[size_t(Index)];
    if (Rec.FFlags.Contains(sfHasNoTabs)) return Rec.Text();
    QString Result = ExpandString(Index);
    // A line found to have no tabs is its own expansion.
    return Rec.FFlags.Contains(sfHasNoTabs) ? Rec.Text() : Result;
}

int TLexEditStringList::ExpandedStringLengths(int Index) const {
    if (Index < 0 || Index >= Count()) return 0;
    TLexEditStringRec &Rec = FStore->FList[size_t(Index)];
    if (!Rec.FFlags.Contains(sfExpandedLengthUnknown)) return Rec.FExpandedLength;
    if (Rec.IsWide() || Rec.Length() == 0) {
        ExpandString(Index);
        return Rec.FExpandedLength;
    }
    // A Latin-1 line is measured from its bytes, as the expansion would count it (a tab fills
    // up to the next multiple of the tab width; one column when the width is below 2), without
    // building the string.
    const char *P = Rec.Latin1();
    const int n = Rec.Length();
    const void *Tab = std::memchr(P, '\t', size_t(n));
    int Len = n;
    if (Tab != nullptr && FTabWidth >= 2) {
        Len = int(static_cast<const char *>(Tab) - P);
        for (int i = Len; i < n; ++i)
            Len += P[i] == '\t' ? FTabWidth - Len % FTabWidth : 1;
    }
    Rec.FExpandedLength = Len;
    Rec.FFlags = TLexEditStringFlags{Tab != nullptr ? sfHasTabs : sfHasNoTabs};
    return Len;
}

int TLexEditStringList::LengthOfLongestLine() const {
    if (!FStore->FLongestKnown) {
        FStore->FLongestKnown = true;
        FStore->FIndexOfLongestLine = -1;
        FStore->FPendingFrom = 0;
        FStore->FPendingTo = Count();
    }
    int Best = FStore->FIndexOfLongestLine;
    int BestLen = Best >= 0 ? FStore->FList[size_t(Best)].FExpandedLength : 0;
    // The first line with the strictly greatest length wins; a pending line before the current
    // longest line wins a tie.
    for (int i = FStore->FPendingFrom; i < FStore->FPendingTo; ++i) {
        const int Len = ExpandedStringLengths(i);
        if (Len > BestLen || (Len == BestLen && Len > 0 && i < Best)) {
            Best = i;
            BestLen = Len;
        }
    }
    FStore->FPendingFrom = FStore->FPendingTo = 0;
    FStore->FIndexOfLongestLine = Best;
    return BestLen;
}

int TLexEditStringList::LineCharLength(int Index) const {
    if (Index < 0 || Index >= Count()) return 0;
    return FStore->FList[size_t(Index)].Length();
}

int TLexEditStringList::LineCharIndex(int Index) const {
    if (Index < 0 || Index >= Count()) return 0;
    if (Index >= FStore->FValidCharIndexes) {
        int k = FStore->FValidCharIndexes;
        int32_t Sum =
            k == 0 ? 0 : FStore->FList[size_t(k - 1)].FCharIndex + FStore->FList[size_t(k - 1)].Length();
        for (; k <= Index; ++k) {
            FStore->FList[size_t(k)].FCharIndex = Sum;
            Sum += FStore->FList[size_t(k)].Length();
        }
        FStore->FValidCharIndexes = Index + 1;
    }
    return FStore->FList[size_t(Index)].FCharIndex;
}

QString TLexEditStringList::GetSeparatedText(const QString &Separators) const {
    if (FStore->FList.empty()) return QString();
    qsizetype Size = Separators.size() * qsizetype(FStore->FList.size() - 1);
    for (const TLexEditStringRec &Rec : FStore->FList)
        Size += Rec.Length();
    QString Result;
    Result.reserve(Size);
    for (size_t i = 0; i < FStore->FList.size(); ++i) {
        if (i > 0) Result += Separators;
        FStore->FList[i].AppendTo(Result);
    }
    return Result;
}

QString TLexEditStringList::Text() const {
    return GetSeparatedText(FLineBreak);
}

QStringList TLexEditStringList::ToStringList() const {
    QStringList Result;
    Result.reserve(Count());
    for (const TLexEditStringRec &Rec : FStore->FList)
        Result.append(Rec.Text());
    return Result;
}

// ---- cache bookkeeping --------------------------------------------------------------------

void TLexEditStringList::ForgetLongestLine() {
    FStore->FLongestKnown = false;
    FStore->FIndexOfLongestLine = -1;
    FStore->FPendingFrom = FStore->FPendingTo = 0;
}

void TLexEditStringList::MarkPending(int From, int To) const {
    if (!FStore->FLongestKnown || From >= To) return;
    if (FStore->FPendingFrom >= FStore->FPendingTo) {
        FStore->FPendingFrom = From;
        FStore->FPendingTo = To;
    } else {
        FStore->FPendingFrom = std::min(FStore->FPendingFrom, From);
        FStore->FPendingTo = std::max(FStore->FPendingTo, To);
    }
}

void TLexEditStringList::LinesInserted(int Index, int Num) {
    FStore->FValidCharIndexes = std::min(FStore->FValidCharIndexes, Index);
    for (auto &E : FStore->FObjects)
        if (E.first >= Index) E.first += Num;
    if (!FStore->FLongestKnown) return;
    if (FStore->FIndexOfLongestLine >= Index) FStore->FIndexOfLongestLine += Num;
    if (FStore->FPendingFrom < FStore->FPendingTo) {
        if (FStore->FPendingFrom >= Index) FStore->FPendingFrom += Num;
        if (FStore->FPendingTo > Index) FStore->FPendingTo += Num;
    }
    MarkPending(Index, Index + Num);
}

void TLexEditStringList::LinesDeleted(int Index, int Num) {
    FStore->FValidCharIndexes = std::min(FStore->FValidCharIndexes, Index);
    if (!FStore->FObjects.empty()) {
        FStore->FObjects.erase(std::remove_if(FStore->FObjects.begin(), FStore->FObjects.end(),
                                              [Index, Num](const std::pair<int, void *> &E) {
                                                  return E.first >= Index && E.first < Index + Num;
                                              }),
                               FStore->FObjects.end());
        for (auto &E : FStore->FObjects)
            if (E.first >= Index + Num) E.first -= Num;
    }
    if (!FStore->FLongestKnown) return;
    if (FStore->FIndexOfLongestLine >= Index && FStore->FIndexOfLongestLine < Index + Num) {
        ForgetLongestLine();
        return;
    }
    if (FStore->FIndexOfLongestLine >= Index + Num) FStore->FIndexOfLongestLine -= Num;
    auto Map = [Index, Num](int x) { return x < Index ? x : (x < Index + Num ? Index : x - Num); };
    FStore->FPendingFrom = Map(FStore->FPendingFrom);
    FStore->FPendingTo = Map(FStore->FPendingTo);
    if (FStore->FPendingFrom >= FStore->FPendingTo) FStore->FPendingFrom = FStore->FPendingTo = 0;
}

void TLexEditStringList::LineChanged(int Index) {
    FStore->FValidCharIndexes = std::min(FStore->FValidCharIndexes, Index + 1);
    if (!FStore->FLongestKnown) return;
    if (Index != FStore->FIndexOfLongestLine) {
        MarkPending(Index, Index + 1);
        return;
    }
    // The longest line itself changed: it stays the longest unless it shrank.
    const int OldLen = FStore->FList[size_t(Index)].FExpandedLength;
    if (ExpandedStringLengths(Index) < OldLen) ForgetLongestLine();
}

void TLexEditStringList::InvalidateExpandedLengths() {
    ForgetLongestLine();
    ++FStore->FExpansionEpoch;
    for (TLexEditStringRec &Rec : FStore->FList) {
        Rec.FExpandedLength = -1;
        Rec.FFlags.Exclude(sfHasNoTabs);
        Rec.FFlags.Include(sfExpandedLengthUnknown);
    }
}

// ---- storage ------------------------------------------------------------------------------

void TLexEditStringList::Grow(int Needed) {
    const int Cap = Capacity();
    if (Needed <= Cap) return;
    // Geometric growth for single and bulk insertions alike, so that many small bulk
    // insertions stay linear in total.
    const int Delta = Cap > 64 ? Cap / 4 : 16;
    FStore->FList.reserve(size_t(std::max(Needed, Cap + Delta)));
}

void TLexEditStringList::InsertRecords(int Index, std::vector<QString> &&Lines) {
    const int Num = int(Lines.size());
    Grow(Count() + Num);
    // The records are filled first, so that a failed allocation leaves the list as it was.
    std::vector<TLexEditStringRec> Recs(static_cast<size_t>(Num));
    for (int i = 0; i < Num; ++i)
        Recs[size_t(i)].SetText(Lines[size_t(i)]);
    FStore->FList.insert(FStore->FList.begin() + Index, std::make_move_iterator(Recs.begin()),
                         std::make_move_iterator(Recs.end()));
    LinesInserted(Index, Num);
}

void TLexEditStringList::RemoveRecords(int Index, int Num) {
    for (int i = Index; i < Index + Num; ++i)
        FStore->Unshare(FStore->FList[size_t(i)]);
    FStore->FList.erase(FStore->FList.begin() + Index, FStore->FList.begin() + Index + Num);
    FStore->CompactBlocks();
    LinesDeleted(Index, Num);
}

void TLexEditStringList::SetCapacity(int NewCapacity) {
    if (NewCapacity < Count())
        throw EListError(QStringLiteral("Stringlist capacity cannot be smaller than count"));
    if (NewCapacity == Capacity()) return;
    if (NewCapacity > Capacity()) {
        FStore->FList.reserve(size_t(NewCapacity));
        return;
    }
    std::vector<TLexEditStringRec> NewList;
    NewList.reserve(size_t(NewCapacity));
    std::move(FStore->FList.begin(), FStore->FList.end(), std::back_inserter(NewList));
    FStore->FList.swap(NewList);
}

// ---- update bracket -----------------------------------------------------------------------

void TLexEditStringList::BeginUpdate() {
    if (FUpdateCount++ == 0 && OnChanging) {
        try {
            OnChanging(this);
        } catch (...) {
            --FUpdateCount;
            throw;
        }
    }
}

void TLexEditStringList::EndUpdate() {
    if (FUpdateCount <= 0) return;
    if (--FUpdateCount == 0 && OnChange) OnChange(this);
}

// ---- changing -----------------------------------------------------------------------------

int TLexEditStringList::Add(const QString &S) {
    const int Index = Count();
    Insert(Index, S);
    return Index;
}

void TLexEditStringList::Insert(int Index, const QString &S) {
    if (Index < 0 || Index > Count()) ListIndexError(Index);
    UpdateGuard Bracket(*this);
    TLexEditStringRec Rec;
    Rec.SetText(S);
    Grow(Count() + 1);
    FStore->FList.insert(FStore->FList.begin() + Index, std::move(Rec));
    LinesInserted(Index, 1);
    if (OnInserted) OnInserted(this, Index, 1);
}

void TLexEditStringList::InsertLines(int Index, int NumLines) {
    if (Index < 0 || Index > Count()) ListIndexError(Index);
    if (NumLines <= 0) return;
    UpdateGuard Bracket(*this);
    InsertRecords(Index, std::vector<QString>(size_t(NumLines)));
    if (OnInserted) OnInserted(this, Index, NumLines);
}

void TLexEditStringList::InsertStrings(int Index, const QStringList &Strings, int FromIndex) {
    if (Index < 0 || Index > Count()) ListIndexError(Index);
    FromIndex = std::max(FromIndex, 0);
    const int Num = int(Strings.size()) - FromIndex;
    if (Num <= 0) return;
    UpdateGuard Bracket(*this);
    InsertRecords(Index, std::vector<QString>(Strings.begin() + FromIndex, Strings.end()));
    if (OnInserted) OnInserted(this, Index, Num);
}

void TLexEditStringList::AddStrings(const QStringList &Strings) {
    InsertStrings(Count(), Strings);
}

namespace {

// The lines of a text cut at CR LF, CR and LF; a final line break adds no empty line.
QStringList CutText(const QString &S) {
    QStringList Lines = StringToLines(S);
    if (!S.isEmpty() && (S.back() == QLatin1Char('\r') || S.back() == QLatin1Char('\n'))) Lines.removeLast();
    return Lines;
}

} // namespace

void TLexEditStringList::InsertText(int Index, const QString &NewText) {
    if (NewText.isEmpty()) return;
    InsertStrings(Index, CutText(NewText));
}

void TLexEditStringList::Put(int Index, const QString &S) {
    if (Index == Count()) {
        Add(S);
        return;
    }
    if (Index < 0 || Index > Count()) ListIndexError(Index);
    UpdateGuard Bracket(*this);
    TLexEditStringRec &Rec = FStore->FList[size_t(Index)];
    // The old line is only built when someone is told about it.
    const QString OldLine = OnPut ? Rec.Text() : QString();
    const bool WasShared = Rec.IsShared();
    const int OldLength = Rec.Length();
    Rec.SetText(S);
    if (WasShared) {
        FStore->FSharedBytes -= OldLength;
        FStore->CompactBlocks();
    }
    Rec.FFlags.Exclude(sfHasTabs);
    Rec.FFlags.Exclude(sfHasNoTabs);
    Rec.FFlags.Include(sfExpandedLengthUnknown);
    LineChanged(Index);
    if (OnPut) OnPut(this, Index, OldLine);
}

void TLexEditStringList::PutObject(int Index, void *AObject) {
    if (Index < 0 || Index >= Count()) ListIndexError(Index);
    UpdateGuard Bracket(*this);
    StoreObject(Index, AObject);
}

void TLexEditStringList::StoreObject(int Index, void *AObject) {
    const auto It = std::lower_bound(FStore->FObjects.begin(), FStore->FObjects.end(), Index,
                                     [](const std::pair<int, void *> &E, int i) { return E.first < i; });
    const bool Found = It != FStore->FObjects.end() && It->first == Index;
    if (AObject == nullptr) {
        if (Found) FStore->FObjects.erase(It);
    } else if (Found) {
        It->second = AObject;
    } else {
        FStore->FObjects.insert(It, {Index, AObject});
    }
}

void TLexEditStringList::PutRange(int Index, TLexRange ARange) {
    if (Index < 0 || Index >= Count()) ListIndexError(Index);
    FStore->FList[size_t(Index)].FRange = ARange;
}

void TLexEditStringList::Delete(int Index) {
    if (Index < 0 || Index >= Count()) ListIndexError(Index);
    UpdateGuard Bracket(*this);
    RemoveRecords(Index, 1);
    if (OnDeleted) OnDeleted(this, Index, 1);
}

void TLexEditStringList::DeleteLines(int Index, int NumLines) {
    if (NumLines <= 0) return;
    if (Index < 0 || Index >= Count()) ListIndexError(Index);
    const int Num = std::min(NumLines, Count() - Index);
    UpdateGuard Bracket(*this);
    RemoveRecords(Index, Num);
    if (OnDeleted) OnDeleted(this, Index, Num);
}

std::shared_ptr<TLexTakenLines> TLexEditStringList::TakeLines(int Index) {
    if (Index < 0 || Index >= Count()) ListIndexError(Index);
    auto Taken = std::make_shared<TLexTakenLines>();
    const int Num = Count() - Index;
    std::vector<TLexEditStringRec> Kept;
    Kept.reserve(size_t(Index));
    UpdateGuard Bracket(*this);
    // The records stay in their vector, which the set takes; the lines kept move to a new one.
    std::move(FStore->FList.begin(), FStore->FList.begin() + Index, std::back_inserter(Kept));
    Taken->Lines.swap(FStore->FList);
    FStore->FList.swap(Kept);
    Taken->First = Index;
    // The blocks are shared with the list: the bytes stay where the taken lines point.
    Taken->Blocks = FStore->FBlocks;
    for (size_t i = size_t(Index); i < Taken->Lines.size(); ++i)
        if (Taken->Lines[i].IsShared()) Taken->SharedBytes += Taken->Lines[i].Length();
    FStore->FSharedBytes -= Taken->SharedBytes;
    FStore->CompactBlocks();
    Taken->ExpansionEpoch = FStore->FExpansionEpoch;
    LinesDeleted(Index, Num);
    if (OnDeleted) OnDeleted(this, Index, Num);
    return Taken;
}

void TLexEditStringList::RestoreLines(int Index, TLexTakenLines &ALines) {
    if (Index < 0 || Index > Count()) ListIndexError(Index);
    const int Num = int(ALines.Lines.size()) - ALines.First;
    if (Num <= 0) return;
    const bool InPlace = Index == ALines.First && Index == Count();
    if (!InPlace) Grow(Count() + Num);
    FStore->FBlocks.reserve(FStore->FBlocks.size() + ALines.Blocks.size());
    UpdateGuard Bracket(*this);
    const auto Taken = ALines.Lines.begin() + ALines.First;
    // Display lengths computed before a change of the tab width or of wide glyphs are redone.
    if (ALines.ExpansionEpoch != FStore->FExpansionEpoch)
        for (auto It = Taken; It != ALines.Lines.end(); ++It) {
            It->FExpandedLength = -1;
            It->FFlags.Exclude(sfHasNoTabs);
            It->FFlags.Include(sfExpandedLengthUnknown);
        }
    if (InPlace) {
        // The lines before them are the list's lines: they go back into the free places.
        std::move(FStore->FList.begin(), FStore->FList.end(), ALines.Lines.begin());
        FStore->FList.swap(ALines.Lines);
    } else {
        FStore->FList.insert(FStore->FList.begin() + Index, std::make_move_iterator(Taken),
                             std::make_move_iterator(ALines.Lines.end()));
    }
    for (QByteArray &Block : ALines.Blocks) {
        FStore->FBlockBytes += Block.size();
        FStore->FBlocks.push_back(std::move(Block));
    }
    FStore->FSharedBytes += ALines.SharedBytes;
    ALines = TLexTakenLines();
    FStore->CompactBlocks();
    LinesInserted(Index, Num);
    if (OnInserted) OnInserted(this, Index, Num);
}

void TLexEditStringList::SwapLines(TLexSwappedLines &ALines, bool AReverse,
                                   const std::function<void()> &AExchanged) {
    const size_t Num = ALines.Indexes.size();
    if (ALines.Lines.size() != Num) throw EListError(QStringLiteral("Swapped lines without their texts"));
    for (const int Index : ALines.Indexes)
        if (Index < 0 || Index >= Count()) ListIndexError(Index);
    if (Num == 0) return;
    UpdateGuard Bracket(*this);
    TLexEditLineStore &S = *FStore;
    // Both sides keep the blocks their lines now point into: the list every block, the set the
    // list's blocks as they were (its lines came from there).
    std::vector<QByteArray> Blocks = S.FBlocks;
    S.FBlocks.reserve(S.FBlocks.size() + ALines.Blocks.size());
    for (QByteArray &Block : ALines.Blocks) {
        const bool Known = std::any_of(S.FBlocks.begin(), S.FBlocks.end(), [&](const QByteArray &B) {
            return B.constData() == Block.constData();
        });
        if (Known) continue;
        S.FBlockBytes += Block.size();
        S.FBlocks.push_back(std::move(Block));
    }
    ALines.Blocks.swap(Blocks);
    for (size_t i = 0; i < Num; ++i) {
        TLexEditStringRec &Rec = S.FList[size_t(ALines.Indexes[i])];
        TLexLineText &Other = ALines.Lines[i];
        if (Rec.IsShared()) S.FSharedBytes -= Rec.Length();
        if (Other.IsShared()) S.FSharedBytes += Other.Length();
        Rec.SwapText(Other);
        Rec.FFlags.Exclude(sfHasTabs);
        Rec.FFlags.Exclude(sfHasNoTabs);
        Rec.FFlags.Include(sfExpandedLengthUnknown);
    }
    S.CompactBlocks();
    // The lines are told of the change even when the caller's step fails.
    std::exception_ptr Failed;
    if (AExchanged) {
        try {
            AExchanged();
        } catch (...) {
            Failed = std::current_exception();
        }
    }
    for (const int Index : ALines.Indexes)
        LineChanged(Index);
    if (OnPut) {
        // The old line of each notification, widened into one reused string.
        QString Old;
        for (size_t k = 0; k < Num; ++k) {
            const size_t i = AReverse ? Num - 1 - k : k;
            // A handler that deleted lines: the lines gone are not told.
            if (ALines.Indexes[i] >= Count()) continue;
            const TLexLineText &Was = ALines.Lines[i];
            if (Was.IsWide()) {
                OnPut(this, ALines.Indexes[i], Was.Wide());
                continue;
            }
            Old.resize(Was.Length());
            auto *Dest = reinterpret_cast<char16_t *>(Old.data());
            for (int c = 0; c < Was.Length(); ++c)
                Dest[c] = char16_t(uchar(Was.Latin1()[c]));
            OnPut(this, ALines.Indexes[i], Old);
        }
    }
    if (Failed) std::rethrow_exception(Failed);
}

void TLexEditStringList::Exchange(int Index1, int Index2) {
    if (Index1 < 0 || Index1 >= Count()) ListIndexError(Index1);
    if (Index2 < 0 || Index2 >= Count()) ListIndexError(Index2);
    UpdateGuard Bracket(*this);
    std::swap(FStore->FList[size_t(Index1)], FStore->FList[size_t(Index2)]);
    if (!FStore->FObjects.empty()) {
        void *Object1 = GetObject(Index1);
        void *Object2 = GetObject(Index2);
        StoreObject(Index1, Object2);
        StoreObject(Index2, Object1);
    }
    FStore->FValidCharIndexes = std::min({FStore->FValidCharIndexes, Index1, Index2});
    if (FStore->FLongestKnown) {
        if (Index1 == FStore->FIndexOfLongestLine || Index2 == FStore->FIndexOfLongestLine) {
            ForgetLongestLine();
        } else {
            MarkPending(Index1, Index1 + 1);
            MarkPending(Index2, Index2 + 1);
        }
    }
    if (OnExchanged) OnExchanged(this, Index1, Index2);
}

void TLexEditStringList::Clear() {
    if (!FStore->FList.empty()) {
        UpdateGuard Bracket(*this);
        FStore->ClearAll();
        FStore->FValidCharIndexes = 0;
        ForgetLongestLine();
        if (OnCleared) OnCleared(this);
    }
    ForgetLongestLine();
}

void TLexEditStringList::SetText(const QString &S) {
    UpdateGuard Bracket(*this);
    Clear();
    for (const QString &Line : CutText(S))
        Add(Line);
}

void TLexEditStringList::SetTabWidth(int Value) {
    if (Value == FTabWidth) return;
    FTabWidth = Value;
    FConvertTabsProc = GetBestConvertTabsProcEx(Value);
    InvalidateExpandedLengths();
}

void TLexEditStringList::FontChanged() {
    InvalidateExpandedLengths();
}

} // namespace lexedit

#include "lexedit/LexEditTextBuffer.h"

#include "lexedit/LexEditHighlighter.h" // EListError
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexUnicode.h"

#include <algorithm>
#include <utility>

namespace lexedit {

TLexEditStringList::TLexEditStringList(TExpandAtWideGlyphsFunc AExpandAtWideGlyphsFunc)
    : FConvertTabsProc(GetBestConvertTabsProcEx(8)), FExpandAtWideGlyphsFunc(std::move(AExpandAtWideGlyphsFunc)) {}

TLexEditStringList::~TLexEditStringList() {
    // Destroying the list notifies nobody.
    OnChange = nullptr;
    OnChanging = nullptr;
}

void TLexEditStringList::ListIndexError(int Index) {
    throw ELexEditStringList(QStringLiteral("Invalid stringlist index %1").arg(Index));
}

// ---- reading ------------------------------------------------------------------------------

QString TLexEditStringList::Get(int Index) const {
    if (Index < 0 || Index >= Count())
        return QString();
    return FList[size_t(Index)].FString;
}

void *TLexEditStringList::GetObject(int Index) const {
    if (Index < 0 || Index >= Count())
        return nullptr;
    return FList[size_t(Index)].FObject;
}

TLexRange TLexEditStringList::GetRange(int Index) const {
    if (Index < 0 || Index >= Count())
        return 0;
    return FList[size_t(Index)].FRange;
}

QString TLexEditStringList::ExpandString(int Index) const {
    TLexEditStringRec &Rec = FList[size_t(Index)];
    if (Rec.FString.isEmpty()) {
        Rec.FExpandedLength = 0;
        Rec.FFlags = TLexEditStringFlags{sfHasNoTabs};
        return QString();
    }
    bool HasTabs = false;
    QString Result = FConvertTabsProc(Rec.FString, FTabWidth, HasTabs);
    Rec.FExpandedLength =
        FExpandAtWideGlyphsFunc ? int32_t(FExpandAtWideGlyphsFunc(Result).size()) : int32_t(Result.size());
    Rec.FFlags = TLexEditStringFlags{HasTabs ? sfHasTabs : sfHasNoTabs};
    return Result;
}

QString TLexEditStringList::ExpandedStrings(int Index) const {
    if (Index < 0 || Index >= Count())
        return QString();
    const TLexEditStringRec &Rec = FList[size_t(Index)];
    if (Rec.FFlags.Contains(sfHasNoTabs))
        return Rec.FString;
    return ExpandString(Index);
}

int TLexEditStringList::ExpandedStringLengths(int Index) const {
    if (Index < 0 || Index >= Count())
        return 0;
    if (FList[size_t(Index)].FFlags.Contains(sfExpandedLengthUnknown))
        ExpandString(Index);
    return FList[size_t(Index)].FExpandedLength;
}

int TLexEditStringList::LengthOfLongestLine() const {
    if (!FLongestKnown) {
        FLongestKnown = true;
        FIndexOfLongestLine = -1;
        FPendingFrom = 0;
        FPendingTo = Count();
    }
    int Best = FIndexOfLongestLine;
    int BestLen = Best >= 0 ? FList[size_t(Best)].FExpandedLength : 0;
    // The first line with the strictly greatest length wins; a pending line before the current
    // longest line wins a tie.
    for (int i = FPendingFrom; i < FPendingTo; ++i) {
        const int Len = ExpandedStringLengths(i);
        if (Len > BestLen || (Len == BestLen && Len > 0 && i < Best)) {
            Best = i;
            BestLen = Len;
        }
    }
    FPendingFrom = FPendingTo = 0;
    FIndexOfLongestLine = Best;
    return BestLen;
}

int TLexEditStringList::LineCharLength(int Index) const {
    if (Index < 0 || Index >= Count())
        return 0;
    return int(FList[size_t(Index)].FString.size());
}

int TLexEditStringList::LineCharIndex(int Index) const {
    if (Index < 0 || Index >= Count())
        return 0;
    if (Index >= FValidCharIndexes) {
        int k = FValidCharIndexes;
        int32_t Sum = k == 0 ? 0 : FList[size_t(k - 1)].FCharIndex + int32_t(FList[size_t(k - 1)].FString.size());
        for (; k <= Index; ++k) {
            FList[size_t(k)].FCharIndex = Sum;
            Sum += int32_t(FList[size_t(k)].FString.size());
        }
        FValidCharIndexes = Index + 1;
    }
    return FList[size_t(Index)].FCharIndex;
}

QString TLexEditStringList::GetSeparatedText(const QString &Separators) const {
    if (FList.empty())
        return QString();
    qsizetype Size = Separators.size() * qsizetype(FList.size() - 1);
    for (const TLexEditStringRec &Rec : FList)
        Size += Rec.FString.size();
    QString Result;
    Result.reserve(Size);
    for (size_t i = 0; i < FList.size(); ++i) {
        if (i > 0)
            Result += Separators;
        Result += FList[i].FString;
    }
    return Result;
}

QString TLexEditStringList::Text() const { return GetSeparatedText(FLineBreak); }

QStringList TLexEditStringList::ToStringList() const {
    QStringList Result;
    Result.reserve(Count());
    for (const TLexEditStringRec &Rec : FList)
        Result.append(Rec.FString);
    return Result;
}

// ---- cache bookkeeping --------------------------------------------------------------------

void TLexEditStringList::ForgetLongestLine() {
    FLongestKnown = false;
    FIndexOfLongestLine = -1;
    FPendingFrom = FPendingTo = 0;
}

void TLexEditStringList::MarkPending(int From, int To) const {
    if (!FLongestKnown || From >= To)
        return;
    if (FPendingFrom >= FPendingTo) {
        FPendingFrom = From;
        FPendingTo = To;
    } else {
        FPendingFrom = std::min(FPendingFrom, From);
        FPendingTo = std::max(FPendingTo, To);
    }
}

void TLexEditStringList::LinesInserted(int Index, int Num) {
    FValidCharIndexes = std::min(FValidCharIndexes, Index);
    if (!FLongestKnown)
        return;
    if (FIndexOfLongestLine >= Index)
        FIndexOfLongestLine += Num;
    if (FPendingFrom < FPendingTo) {
        if (FPendingFrom >= Index)
            FPendingFrom += Num;
        if (FPendingTo > Index)
            FPendingTo += Num;
    }
    MarkPending(Index, Index + Num);
}

void TLexEditStringList::LinesDeleted(int Index, int Num) {
    FValidCharIndexes = std::min(FValidCharIndexes, Index);
    if (!FLongestKnown)
        return;
    if (FIndexOfLongestLine >= Index && FIndexOfLongestLine < Index + Num) {
        ForgetLongestLine();
        return;
    }
    if (FIndexOfLongestLine >= Index + Num)
        FIndexOfLongestLine -= Num;
    auto Map = [Index, Num](int x) { return x < Index ? x : (x < Index + Num ? Index : x - Num); };
    FPendingFrom = Map(FPendingFrom);
    FPendingTo = Map(FPendingTo);
    if (FPendingFrom >= FPendingTo)
        FPendingFrom = FPendingTo = 0;
}

void TLexEditStringList::LineChanged(int Index) {
    FValidCharIndexes = std::min(FValidCharIndexes, Index + 1);
    if (!FLongestKnown)
        return;
    if (Index != FIndexOfLongestLine) {
        MarkPending(Index, Index + 1);
        return;
    }
    // The longest line itself changed: it stays the longest unless it shrank.
    const int OldLen = FList[size_t(Index)].FExpandedLength;
    if (ExpandedStringLengths(Index) < OldLen)
        ForgetLongestLine();
}

void TLexEditStringList::InvalidateExpandedLengths() {
    ForgetLongestLine();
    for (TLexEditStringRec &Rec : FList) {
        Rec.FExpandedLength = -1;
        Rec.FFlags.Exclude(sfHasNoTabs);
        Rec.FFlags.Include(sfExpandedLengthUnknown);
    }
}

// ---- storage ------------------------------------------------------------------------------

void TLexEditStringList::Grow(int Needed) {
    const int Cap = Capacity();
    if (Needed <= Cap)
        return;
    // Geometric growth for single and bulk insertions alike, so that many small bulk
    // insertions stay linear in total.
    const int Delta = Cap > 64 ? Cap / 4 : 16;
    FList.reserve(size_t(std::max(Needed, Cap + Delta)));
}

void TLexEditStringList::InsertRecords(int Index, std::vector<QString> &&Lines) {
    const int Num = int(Lines.size());
    Grow(Count() + Num);
    if (Index == Count()) {
        for (QString &S : Lines) {
            FList.emplace_back();
            FList.back().FString = std::move(S);
        }
    } else {
        FList.insert(FList.begin() + Index, size_t(Num), TLexEditStringRec());
        for (int i = 0; i < Num; ++i)
            FList[size_t(Index + i)].FString = std::move(Lines[size_t(i)]);
    }
    LinesInserted(Index, Num);
}

void TLexEditStringList::RemoveRecords(int Index, int Num) {
    FList.erase(FList.begin() + Index, FList.begin() + Index + Num);
    LinesDeleted(Index, Num);
}

void TLexEditStringList::SetCapacity(int NewCapacity) {
    if (NewCapacity < Count())
        throw EListError(QStringLiteral("Stringlist capacity cannot be smaller than count"));
    if (NewCapacity == Capacity())
        return;
    if (NewCapacity > Capacity()) {
        FList.reserve(size_t(NewCapacity));
        return;
    }
    std::vector<TLexEditStringRec> NewList;
    NewList.reserve(size_t(NewCapacity));
    std::move(FList.begin(), FList.end(), std::back_inserter(NewList));
    FList.swap(NewList);
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
    if (FUpdateCount <= 0)
        return;
    if (--FUpdateCount == 0 && OnChange)
        OnChange(this);
}

// ---- changing -----------------------------------------------------------------------------

int TLexEditStringList::Add(const QString &S) {
    const int Index = Count();
    Insert(Index, S);
    return Index;
}

void TLexEditStringList::Insert(int Index, const QString &S) {
    if (Index < 0 || Index > Count())
        ListIndexError(Index);
    UpdateGuard Bracket(*this);
    Grow(Count() + 1);
    if (Index == Count())
        FList.emplace_back();
    else
        FList.emplace(FList.begin() + Index);
    FList[size_t(Index)].FString = S;
    LinesInserted(Index, 1);
    if (OnInserted)
        OnInserted(this, Index, 1);
}

void TLexEditStringList::InsertLines(int Index, int NumLines) {
    if (Index < 0 || Index > Count())
        ListIndexError(Index);
    if (NumLines <= 0)
        return;
    UpdateGuard Bracket(*this);
    InsertRecords(Index, std::vector<QString>(size_t(NumLines)));
    if (OnInserted)
        OnInserted(this, Index, NumLines);
}

void TLexEditStringList::InsertStrings(int Index, const QStringList &Strings, int FromIndex) {
    if (Index < 0 || Index > Count())
        ListIndexError(Index);
    FromIndex = std::max(FromIndex, 0);
    const int Num = int(Strings.size()) - FromIndex;
    if (Num <= 0)
        return;
    UpdateGuard Bracket(*this);
    InsertRecords(Index, std::vector<QString>(Strings.begin() + FromIndex, Strings.end()));
    if (OnInserted)
        OnInserted(this, Index, Num);
}

void TLexEditStringList::AddStrings(const QStringList &Strings) { InsertStrings(Count(), Strings); }

namespace {

// The lines of a text cut at CR LF, CR and LF; a final line break adds no empty line.
QStringList CutText(const QString &S) {
    QStringList Lines = StringToLines(S);
    if (!S.isEmpty() && (S.back() == QLatin1Char('\r') || S.back() == QLatin1Char('\n')))
        Lines.removeLast();
    return Lines;
}

} // namespace

void TLexEditStringList::InsertText(int Index, const QString &NewText) {
    if (NewText.isEmpty())
        return;
    InsertStrings(Index, CutText(NewText));
}

void TLexEditStringList::Put(int Index, const QString &S) {
    if (Index == Count()) {
        Add(S);
        return;
    }
    if (Index < 0 || Index > Count())
        ListIndexError(Index);
    UpdateGuard Bracket(*this);
    TLexEditStringRec &Rec = FList[size_t(Index)];
    const QString OldLine = std::exchange(Rec.FString, S);
    Rec.FFlags.Exclude(sfHasTabs);
    Rec.FFlags.Exclude(sfHasNoTabs);
    Rec.FFlags.Include(sfExpandedLengthUnknown);
    LineChanged(Index);
    if (OnPut)
        OnPut(this, Index, OldLine);
}

void TLexEditStringList::PutObject(int Index, void *AObject) {
    if (Index < 0 || Index >= Count())
        ListIndexError(Index);
    UpdateGuard Bracket(*this);
    FList[size_t(Index)].FObject = AObject;
}

void TLexEditStringList::PutRange(int Index, TLexRange ARange) {
    if (Index < 0 || Index >= Count())
        ListIndexError(Index);
    FList[size_t(Index)].FRange = ARange;
}

void TLexEditStringList::Delete(int Index) {
    if (Index < 0 || Index >= Count())
        ListIndexError(Index);
    UpdateGuard Bracket(*this);
    RemoveRecords(Index, 1);
    if (OnDeleted)
        OnDeleted(this, Index, 1);
}

void TLexEditStringList::DeleteLines(int Index, int NumLines) {
    if (NumLines <= 0)
        return;
    if (Index < 0 || Index >= Count())
        ListIndexError(Index);
    const int Num = std::min(NumLines, Count() - Index);
    UpdateGuard Bracket(*this);
    RemoveRecords(Index, Num);
    if (OnDeleted)
        OnDeleted(this, Index, Num);
}

void TLexEditStringList::Exchange(int Index1, int Index2) {
    if (Index1 < 0 || Index1 >= Count())
        ListIndexError(Index1);
    if (Index2 < 0 || Index2 >= Count())
        ListIndexError(Index2);
    UpdateGuard Bracket(*this);
    std::swap(FList[size_t(Index1)], FList[size_t(Index2)]);
    FValidCharIndexes = std::min({FValidCharIndexes, Index1, Index2});
    if (FLongestKnown) {
        if (Index1 == FIndexOfLongestLine || Index2 == FIndexOfLongestLine) {
            ForgetLongestLine();
        } else {
            MarkPending(Index1, Index1 + 1);
            MarkPending(Index2, Index2 + 1);
        }
    }
}

void TLexEditStringList::Clear() {
    if (!FList.empty()) {
        UpdateGuard Bracket(*this);
        std::vector<TLexEditStringRec>().swap(FList);
        FValidCharIndexes = 0;
        ForgetLongestLine();
        if (OnCleared)
            OnCleared(this);
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
    if (Value == FTabWidth)
        return;
    FTabWidth = Value;
    FConvertTabsProc = GetBestConvertTabsProcEx(Value);
    InvalidateExpandedLengths();
}

void TLexEditStringList::FontChanged() { InvalidateExpandedLengths(); }

} // namespace lexedit

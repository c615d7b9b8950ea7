#include "lexedit/LexEditTextBuffer.h"

#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexUnicode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lexedit {

static_assert(sizeof(void *) != 8 || sizeof(TLexEditStringRec) == 32, "a line record takes 32 bytes");

// ---- line storage -------------------------------------------------------------------------

namespace {

// True when every UTF-16 code unit of the n at P is below U+0100.
bool IsLatin1(const char16_t *P, qsizetype n) {
    qsizetype i = 0;
    uint16_t Acc = 0;
#ifdef __SSE2__
    __m128i VAcc = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8)
        VAcc = _mm_or_si128(VAcc, _mm_loadu_si128(reinterpret_cast<const __m128i *>(P + i)));
    // The high byte of every 16-bit lane must be zero.
    const __m128i High = _mm_and_si128(VAcc, _mm_set1_epi16(int16_t(0xFF00)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(High, _mm_setzero_si128())) != 0xFFFF) return false;
#endif
    for (; i < n; ++i)
        Acc |= P[i];
    return Acc < 0x100;
}

// Copies n code units, all below U+0100, from P to bytes at Dest.
void NarrowLatin1(const char16_t *P, qsizetype n, char *Dest) {
    qsizetype i = 0;
#ifdef __SSE2__
    for (; i + 16 <= n; i += 16) {
        const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P + i));
        const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P + i + 8));
        // Saturating packing is exact for values below 0x100.
        _mm_storeu_si128(reinterpret_cast<__m128i *>(Dest + i), _mm_packus_epi16(A, B));
    }
#endif
    for (; i < n; ++i)
        Dest[i] = char(P[i]);
}

} // namespace

void TLexEditStringRec::FreeText() noexcept {
    if (FWide)
        delete static_cast<QString *>(FData);
    else
        std::free(FData);
    FData = nullptr;
    FLength = 0;
    FWide = false;
}

void TLexEditStringRec::SetText(QStringView S) {
    const qsizetype n = S.size();
    const char16_t *P = S.utf16();
    void *NewData = nullptr;
    bool NewWide = false;
    if (n > 0 && n <= MaxLatin1Length && IsLatin1(P, n)) {
        NewData = std::malloc(size_t(n));
        if (NewData == nullptr) throw std::bad_alloc();
        NarrowLatin1(P, n, static_cast<char *>(NewData));
    } else if (n > 0) {
        NewData = new QString(S.toString());
        NewWide = true;
    }
    FreeText();
    FData = NewData;
    FLength = int32_t(n);
    FWide = NewWide;
}

void TLexEditStringRec::SetText(const QString &S) {
    const qsizetype n = S.size();
    if (n > MaxLatin1Length || (n > 0 && !IsLatin1(reinterpret_cast<const char16_t *>(S.utf16()), n))) {
        // Shares the caller's string.
        QString *NewData = new QString(S);
        FreeText();
        FData = NewData;
        FLength = int32_t(n);
        FWide = true;
        return;
    }
    SetText(QStringView(S));
}

QString TLexEditStringRec::Text() const {
    if (FWide) return Wide();
    if (FLength == 0) return QString();
    return QString::fromLatin1(Latin1(), FLength);
}

void TLexEditStringRec::AppendTo(QString &Dest) const {
    if (FWide)
        Dest += Wide();
    else if (FLength > 0)
        Dest += QLatin1StringView(Latin1(), FLength);
}

TLexEditStringList::TLexEditStringList(TExpandAtWideGlyphsFunc AExpandAtWideGlyphsFunc)
    : FConvertTabsProc(GetBestConvertTabsProcEx(8)),
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

QString TLexEditStringList::Get(int Index) const {
    if (Index < 0 || Index >= Count()) return QString();
    return FList[size_t(Index)].Text();
}

void *TLexEditStringList::GetObject(int Index) const {
    if (Index < 0 || Index >= Count() || FObjects.empty()) return nullptr;
    const auto It = std::lower_bound(FObjects.begin(), FObjects.end(), Index,
                                     [](const std::pair<int, void *> &E, int i) { return E.first < i; });
    return It != FObjects.end() && It->first == Index ? It->second : nullptr;
}

TLexRange TLexEditStringList::GetRange(int Index) const {
    if (Index < 0 || Index >= Count()) return 0;
    return FList[size_t(Index)].FRange;
}

QString TLexEditStringList::ExpandString(int Index) const {
    TLexEditStringRec &Rec = FList[size_t(Index)];
    if (Rec.Length() == 0) {
        Rec.FExpandedLength = 0;
        Rec.FFlags = TLexEditStringFlags{sfHasNoTabs};
        return QString();
    }
    if (!Rec.IsWide() && !FExpandAtWideGlyphsFunc &&
        std::memchr(Rec.Latin1(), '\t', size_t(Rec.Length())) == nullptr) {
        // Without tabs the expanded line is the line itself; its length is known without
        // building the string.
        Rec.FExpandedLength = Rec.Length();
        Rec.FFlags = TLexEditStringFlags{sfHasNoTabs};
        return QString();
    }
    bool HasTabs = false;
    QString Result = FConvertTabsProc(Rec.Text(), FTabWidth, HasTabs);
    Rec.FExpandedLength =
        FExpandAtWideGlyphsFunc ? int32_t(FExpandAtWideGlyphsFunc(Result).size()) : int32_t(Result.size());
    Rec.FFlags = TLexEditStringFlags{HasTabs ? sfHasTabs : sfHasNoTabs};
    return Result;
}

QString TLexEditStringList::ExpandedStrings(int Index) const {
    if (Index < 0 || Index >= Count()) return QString();
    const TLexEditStringRec &Rec = FList[size_t(Index)];
    if (Rec.FFlags.Contains(sfHasNoTabs)) return Rec.Text();
    QString Result = ExpandString(Index);
    // A line found to have no tabs is its own expansion.
    return Rec.FFlags.Contains(sfHasNoTabs) ? Rec.Text() : Result;
}

int TLexEditStringList::ExpandedStringLengths(int Index) const {
    if (Index < 0 || Index >= Count()) return 0;
    if (FList[size_t(Index)].FFlags.Contains(sfExpandedLengthUnknown)) ExpandString(Index);
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
    if (Index < 0 || Index >= Count()) return 0;
    return FList[size_t(Index)].Length();
}

int TLexEditStringList::LineCharIndex(int Index) const {
    if (Index < 0 || Index >= Count()) return 0;
    if (Index >= FValidCharIndexes) {
        int k = FValidCharIndexes;
        int32_t Sum = k == 0 ? 0 : FList[size_t(k - 1)].FCharIndex + FList[size_t(k - 1)].Length();
        for (; k <= Index; ++k) {
            FList[size_t(k)].FCharIndex = Sum;
            Sum += FList[size_t(k)].Length();
        }
        FValidCharIndexes = Index + 1;
    }
    return FList[size_t(Index)].FCharIndex;
}

QString TLexEditStringList::GetSeparatedText(const QString &Separators) const {
    if (FList.empty()) return QString();
    qsizetype Size = Separators.size() * qsizetype(FList.size() - 1);
    for (const TLexEditStringRec &Rec : FList)
        Size += Rec.Length();
    QString Result;
    Result.reserve(Size);
    for (size_t i = 0; i < FList.size(); ++i) {
        if (i > 0) Result += Separators;
        FList[i].AppendTo(Result);
    }
    return Result;
}

QString TLexEditStringList::Text() const {
    return GetSeparatedText(FLineBreak);
}

QStringList TLexEditStringList::ToStringList() const {
    QStringList Result;
    Result.reserve(Count());
    for (const TLexEditStringRec &Rec : FList)
        Result.append(Rec.Text());
    return Result;
}

// ---- cache bookkeeping --------------------------------------------------------------------

void TLexEditStringList::ForgetLongestLine() {
    FLongestKnown = false;
    FIndexOfLongestLine = -1;
    FPendingFrom = FPendingTo = 0;
}

void TLexEditStringList::MarkPending(int From, int To) const {
    if (!FLongestKnown || From >= To) return;
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
    for (auto &E : FObjects)
        if (E.first >= Index) E.first += Num;
    if (!FLongestKnown) return;
    if (FIndexOfLongestLine >= Index) FIndexOfLongestLine += Num;
    if (FPendingFrom < FPendingTo) {
        if (FPendingFrom >= Index) FPendingFrom += Num;
        if (FPendingTo > Index) FPendingTo += Num;
    }
    MarkPending(Index, Index + Num);
}

void TLexEditStringList::LinesDeleted(int Index, int Num) {
    FValidCharIndexes = std::min(FValidCharIndexes, Index);
    if (!FObjects.empty()) {
        FObjects.erase(std::remove_if(FObjects.begin(), FObjects.end(),
                                      [Index, Num](const std::pair<int, void *> &E) {
                                          return E.first >= Index && E.first < Index + Num;
                                      }),
                       FObjects.end());
        for (auto &E : FObjects)
            if (E.first >= Index + Num) E.first -= Num;
    }
    if (!FLongestKnown) return;
    if (FIndexOfLongestLine >= Index && FIndexOfLongestLine < Index + Num) {
        ForgetLongestLine();
        return;
    }
    if (FIndexOfLongestLine >= Index + Num) FIndexOfLongestLine -= Num;
    auto Map = [Index, Num](int x) { return x < Index ? x : (x < Index + Num ? Index : x - Num); };
    FPendingFrom = Map(FPendingFrom);
    FPendingTo = Map(FPendingTo);
    if (FPendingFrom >= FPendingTo) FPendingFrom = FPendingTo = 0;
}

void TLexEditStringList::LineChanged(int Index) {
    FValidCharIndexes = std::min(FValidCharIndexes, Index + 1);
    if (!FLongestKnown) return;
    if (Index != FIndexOfLongestLine) {
        MarkPending(Index, Index + 1);
        return;
    }
    // The longest line itself changed: it stays the longest unless it shrank.
    const int OldLen = FList[size_t(Index)].FExpandedLength;
    if (ExpandedStringLengths(Index) < OldLen) ForgetLongestLine();
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
    if (Needed <= Cap) return;
    // Geometric growth for single and bulk insertions alike, so that many small bulk
    // insertions stay linear in total.
    const int Delta = Cap > 64 ? Cap / 4 : 16;
    FList.reserve(size_t(std::max(Needed, Cap + Delta)));
}

void TLexEditStringList::InsertRecords(int Index, std::vector<QString> &&Lines) {
    const int Num = int(Lines.size());
    Grow(Count() + Num);
    // The records are filled first, so that a failed allocation leaves the list as it was.
    std::vector<TLexEditStringRec> Recs(static_cast<size_t>(Num));
    for (int i = 0; i < Num; ++i)
        Recs[size_t(i)].SetText(Lines[size_t(i)]);
    FList.insert(FList.begin() + Index, std::make_move_iterator(Recs.begin()),
                 std::make_move_iterator(Recs.end()));
    LinesInserted(Index, Num);
}

void TLexEditStringList::RemoveRecords(int Index, int Num) {
    FList.erase(FList.begin() + Index, FList.begin() + Index + Num);
    LinesDeleted(Index, Num);
}

void TLexEditStringList::SetCapacity(int NewCapacity) {
    if (NewCapacity < Count())
        throw EListError(QStringLiteral("Stringlist capacity cannot be smaller than count"));
    if (NewCapacity == Capacity()) return;
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
    FList.insert(FList.begin() + Index, std::move(Rec));
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
    TLexEditStringRec &Rec = FList[size_t(Index)];
    // The old line is only built when someone is told about it.
    const QString OldLine = OnPut ? Rec.Text() : QString();
    Rec.SetText(S);
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
    const auto It = std::lower_bound(FObjects.begin(), FObjects.end(), Index,
                                     [](const std::pair<int, void *> &E, int i) { return E.first < i; });
    const bool Found = It != FObjects.end() && It->first == Index;
    if (AObject == nullptr) {
        if (Found) FObjects.erase(It);
    } else if (Found) {
        It->second = AObject;
    } else {
        FObjects.insert(It, {Index, AObject});
    }
}

void TLexEditStringList::PutRange(int Index, TLexRange ARange) {
    if (Index < 0 || Index >= Count()) ListIndexError(Index);
    FList[size_t(Index)].FRange = ARange;
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

void TLexEditStringList::Exchange(int Index1, int Index2) {
    if (Index1 < 0 || Index1 >= Count()) ListIndexError(Index1);
    if (Index2 < 0 || Index2 >= Count()) ListIndexError(Index2);
    UpdateGuard Bracket(*this);
    std::swap(FList[size_t(Index1)], FList[size_t(Index2)]);
    if (!FObjects.empty()) {
        void *Object1 = GetObject(Index1);
        void *Object2 = GetObject(Index2);
        StoreObject(Index1, Object2);
        StoreObject(Index2, Object1);
    }
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
        std::vector<std::pair<int, void *>>().swap(FObjects);
        FValidCharIndexes = 0;
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

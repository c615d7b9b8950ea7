// SPDX-License-Identifier: MIT
// The line records and the blocks of the line buffer's storage.

#include "LexEditTextBufferStore.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lexedit {

static_assert(sizeof(void *) != 8 || sizeof(TLexEditStringRec) == 32, "a line record takes 32 bytes");

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

// ---- line record --------------------------------------------------------------------------

void TLexEditStringRec::FreeData(void *AData, TForm AForm) noexcept {
    if (AForm == fmWide)
        delete static_cast<QString *>(AData);
    else if (AForm == fmBytes)
        std::free(AData);
}

void TLexEditStringRec::FreeText() noexcept {
    FreeData(FData, FForm);
    FData = nullptr;
    FLength = 0;
    FForm = fmBytes;
}

void TLexEditStringRec::SetShared(const char *P, qsizetype n) noexcept {
    FreeText();
    FData = const_cast<char *>(P);
    FLength = int32_t(n);
    FForm = fmSharedBytes;
}

void TLexEditStringRec::SetText(QStringView S) {
    const qsizetype n = S.size();
    const char16_t *P = S.utf16();
    void *NewData = nullptr;
    TForm NewForm = fmBytes;
    if (n > 0 && n <= MaxLatin1Length && IsLatin1(P, n)) {
        NewData = std::malloc(size_t(n));
        if (NewData == nullptr) throw std::bad_alloc();
        NarrowLatin1(P, n, static_cast<char *>(NewData));
    } else if (n > 0) {
        NewData = new QString(S.toString());
        NewForm = fmWide;
    }
    FreeText();
    FData = NewData;
    FLength = int32_t(n);
    FForm = NewForm;
}

void TLexEditStringRec::SetText(const QString &S) {
    const qsizetype n = S.size();
    if (n > MaxLatin1Length || (n > 0 && !IsLatin1(reinterpret_cast<const char16_t *>(S.utf16()), n))) {
        // Shares the caller's string.
        QString *NewData = new QString(S);
        FreeText();
        FData = NewData;
        FLength = int32_t(n);
        FForm = fmWide;
        return;
    }
    SetText(QStringView(S));
}

void TLexEditStringRec::SetText(QString &&S) {
    const qsizetype n = S.size();
    if (n > MaxLatin1Length || (n > 0 && !IsLatin1(reinterpret_cast<const char16_t *>(S.utf16()), n))) {
        QString *NewData = new QString(std::move(S));
        FreeText();
        FData = NewData;
        FLength = int32_t(n);
        FForm = fmWide;
        return;
    }
    SetText(QStringView(S));
}

QString TLexEditStringRec::Text() const {
    if (FForm == fmWide) return Wide();
    if (FLength == 0) return QString();
    return QString::fromLatin1(Latin1(), FLength);
}

void TLexEditStringRec::AppendTo(QString &Dest) const {
    if (FForm == fmWide)
        Dest += Wide();
    else if (FLength > 0)
        Dest += QLatin1StringView(Latin1(), FLength);
}

// ---- writing new line texts ---------------------------------------------------------------

namespace {

// The size of a block of new line texts: large enough that the blocks are few, small enough
// that the unused end of the last one does not matter.
constexpr qsizetype WriterBlockSize = qsizetype(1) << 20;

} // namespace

void TLexLineTextWriter::Begin(int AIndex) {
    FIndex = AIndex;
    FLength = 0;
    FWideMode = false;
    FWide.clear();
    // The longest line held as bytes, and the line break after it, fit in the block.
    if (FBlock == nullptr || FCapacity - FUsed < TLexEditStringRec::MaxLatin1Length + 1) {
        Close();
        FOut.Blocks.emplace_back(WriterBlockSize, Qt::Uninitialized);
        FBlock = FOut.Blocks.back().data();
        FUsed = 0;
        FCapacity = WriterBlockSize;
    }
}

void TLexLineTextWriter::ToWide() {
    FWide = QString::fromLatin1(FBlock + FUsed, FLength);
    FWideMode = true;
    FLength = 0;
}

void TLexLineTextWriter::Append(QLatin1StringView S) {
    if (!FWideMode && FLength + S.size() > TLexEditStringRec::MaxLatin1Length) ToWide();
    if (FWideMode) {
        FWide += S;
        return;
    }
    if (!S.isEmpty()) std::memcpy(FBlock + FUsed + FLength, S.data(), size_t(S.size()));
    FLength += S.size();
}

void TLexLineTextWriter::Append(QStringView S) {
    const auto *P = reinterpret_cast<const char16_t *>(S.utf16());
    if (!FWideMode && (FLength + S.size() > TLexEditStringRec::MaxLatin1Length || !IsLatin1(P, S.size())))
        ToWide();
    if (FWideMode) {
        FWide += S;
        return;
    }
    NarrowLatin1(P, S.size(), FBlock + FUsed + FLength);
    FLength += S.size();
}

void TLexLineTextWriter::End() {
    TLexLineText Text;
    if (FWideMode) {
        TLexEditStringRec Rec;
        Rec.SetText(std::move(FWide));
        FWide = QString();
        Rec.SwapText(Text);
    } else if (FLength > 0) {
        Text.FData = FBlock + FUsed;
        Text.FLength = int32_t(FLength);
        Text.FForm = TLexEditStringRec::fmSharedBytes;
        FUsed += FLength;
        FBlock[FUsed++] = '\n';
    }
    FLength = 0;
    FWideMode = false;
    FOut.Lines.push_back(std::move(Text));
    FOut.Indexes.push_back(FIndex);
}

void TLexLineTextWriter::Close() noexcept {
    if (FBlock == nullptr) return;
    // Shrinking keeps the bytes where they are (the array is not shared yet); an unused block
    // goes.
    if (FUsed == 0)
        FOut.Blocks.pop_back();
    else
        FOut.Blocks.back().resize(FUsed);
    FBlock = nullptr;
    FUsed = FCapacity = 0;
}

// ---- blocks -------------------------------------------------------------------------------

void TLexEditLineStore::CompactBlocks() noexcept {
    if (FBlocks.empty() || FSharedBytes * 2 >= FBlockBytes) return;
    if (FSharedBytes == 0) {
        std::vector<QByteArray>().swap(FBlocks);
        FBlockBytes = 0;
        return;
    }
    QByteArray Block;
    try {
        Block = QByteArray(FSharedBytes, Qt::Uninitialized);
    } catch (const std::bad_alloc &) {
        return; // the old blocks stay; compacting only saves memory
    }
    char *Dest = Block.data();
    for (TLexEditStringRec &Rec : FList) {
        if (!Rec.IsShared()) continue;
        std::memcpy(Dest, Rec.Latin1(), size_t(Rec.Length()));
        Rec.SetShared(Dest, Rec.Length());
        Dest += Rec.Length();
    }
    std::vector<QByteArray> Blocks;
    Blocks.push_back(std::move(Block));
    FBlocks.swap(Blocks);
    FBlockBytes = FSharedBytes;
}

void TLexEditLineStore::ClearAll() noexcept {
    std::vector<TLexEditStringRec>().swap(FList);
    std::vector<std::pair<int, void *>>().swap(FObjects);
    std::vector<QByteArray>().swap(FBlocks);
    FBlockBytes = 0;
    FSharedBytes = 0;
}

void TLexEditLineStore::Assign(TLexLoadedLines &&Loaded) noexcept {
    ClearAll();
    FList.swap(Loaded.Lines);
    FBlocks.swap(Loaded.Blocks);
    FBlockBytes = 0;
    for (const QByteArray &Block : FBlocks)
        FBlockBytes += Block.size();
    FSharedBytes = Loaded.SharedBytes;
}

} // namespace lexedit

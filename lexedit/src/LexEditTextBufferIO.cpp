// SPDX-License-Identifier: MIT
// Loading and saving of the line buffer, with byte-order-mark and UTF-8 detection.

#include "lexedit/LexEditTextBuffer.h"

#include "LexEditTextBufferStore.h"
#include "lexedit/LexUnicode.h"

#include <QFile>
#include <QIODevice>
#include <QSaveFile>
#include <QStringDecoder>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lexedit {

namespace {

constexpr qsizetype UTF8SniffLength = 16384;
// Lines decoded from UTF-8 that fit the 8-bit form are packed into blocks of this size.
constexpr qsizetype DecodedBlockSize = 256 * 1024;

bool IsBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\x2028';
}

// The index of the first CR or LF in P[i .. n), or n. High is set when a byte of 0x80 or above
// lies before it.
qsizetype FindBreak(const char *P, qsizetype i, qsizetype n, bool &High) {
#ifdef __SSE2__
    const __m128i CR = _mm_set1_epi8('\r');
    const __m128i LF = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P + i));
        const unsigned Breaks =
            unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(V, CR), _mm_cmpeq_epi8(V, LF))));
        const unsigned HighBits = unsigned(_mm_movemask_epi8(V));
        if (Breaks != 0) {
            const int k = __builtin_ctz(Breaks);
            if ((HighBits & ((1u << k) - 1)) != 0) High = true;
            return i + k;
        }
        if (HighBits != 0) High = true;
    }
#endif
    for (; i < n; ++i) {
        const uint8_t b = uint8_t(P[i]);
        if (b == '\r' || b == '\n') return i;
        if (b >= 0x80) High = true;
    }
    return n;
}

// The bits set in a 16-bit mask, without the library call the compiler makes for
// __builtin_popcount when the processor's instruction is not assumed.
inline unsigned BitCount16(unsigned v) {
    v = v - ((v >> 1) & 0x5555u);
    v = (v & 0x3333u) + ((v >> 2) & 0x3333u);
    v = (v + (v >> 4)) & 0x0F0Fu;
    return (v + (v >> 8)) & 0x1Fu;
}

// The number of line breaks in P[0 .. n): every CR and every LF, a CR LF pair counting once.
qsizetype CountBreaks(const char *P, qsizetype n) {
    qsizetype Count = 0;
    qsizetype i = 0;
    bool PrevCR = false;
#ifdef __SSE2__
    const __m128i CR = _mm_set1_epi8('\r');
    const __m128i LF = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P + i));
        const unsigned CRs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(V, CR)));
        const unsigned LFs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(V, LF)));
        if ((CRs | LFs) == 0) {
            PrevCR = false;
            continue;
        }
        // An LF right after a CR (also across the chunk boundary) does not end another line.
        const unsigned Pairs = LFs & ((CRs << 1) | (PrevCR ? 1u : 0u));
        Count += BitCount16(CRs) + BitCount16(LFs) - BitCount16(Pairs);
        PrevCR = (CRs & 0x8000u) != 0;
    }
#endif
    for (; i < n; ++i) {
        if (P[i] == '\r') {
            ++Count;
            PrevCR = true;
        } else {
            if (P[i] == '\n' && !PrevCR) ++Count;
            PrevCR = false;
        }
    }
    return Count;
}

// Builds the records of SplitBytes.
class TLineSplitter {
public:
    explicit TLineSplitter(TLexLoadedLines &AOut) : FOut(AOut) {}

    // A line of n Latin-1 bytes at P, which lie in a block of Out.
    void AddBytes(const char *P, qsizetype n) {
        TLexEditStringRec &Rec = FOut.Lines.emplace_back();
        if (n > TLexEditStringRec::MaxLatin1Length) {
            Rec.SetText(QString::fromLatin1(P, n));
        } else if (n > 0) {
            Rec.SetShared(P, n);
            FOut.SharedBytes += n;
        }
    }

    // A line of decoded characters.
    void AddText(QStringView S, QString *Whole) {
        TLexEditStringRec &Rec = FOut.Lines.emplace_back();
        const qsizetype n = S.size();
        if (n == 0) return;
        if (n <= TLexEditStringRec::MaxLatin1Length && IsLatin1(S.utf16(), n)) {
            if (FFree < n) {
                FOut.Blocks.emplace_back(DecodedBlockSize, Qt::Uninitialized);
                FNext = FOut.Blocks.back().data();
                FFree = DecodedBlockSize;
            }
            NarrowLatin1(S.utf16(), n, FNext);
            Rec.SetShared(FNext, n);
            FOut.SharedBytes += n;
            FNext += n;
            FFree -= n;
        } else if (Whole != nullptr) {
            Rec.SetText(std::move(*Whole));
        } else {
            Rec.SetText(S);
        }
    }

    // The decoded characters of the bytes between two CR or LF breaks: U+2028 ends a line too,
    // and one at the very end is part of the CR or LF break that follows (if any).
    void AddDecoded(QString &&T) {
        const char16_t *Q = reinterpret_cast<const char16_t *>(T.utf16());
        const qsizetype m = T.size();
        qsizetype Start = 0;
        for (qsizetype k = 0; k < m; ++k) {
            if (Q[k] != u'\x2028') continue;
            FOut.SawLS = true;
            AddText(QStringView(Q + Start, k - Start), nullptr);
            Start = k + 1;
        }
        if (Start == 0)
            AddText(T, &T);
        else if (Start < m)
            AddText(QStringView(Q + Start, m - Start), nullptr);
    }

private:
    TLexLoadedLines &FOut;
    char *FNext = nullptr;
    qsizetype FFree = 0;
};

} // namespace

TLexEditFileFormat FileFormatFromBreaks(bool SawCR, bool SawLF, bool SawLS) {
    if (SawLS) return sffUnicode;
    if (SawCR && !SawLF) return sffMac;
    if (SawLF && !SawCR) return sffUnix;
    return sffDos;
}

bool SplitBytes(const QByteArray &Bytes, qsizetype Start, bool Utf8, bool TrailingLineBreak,
                TLexLoadedLines &Out) {
    const char *P = Bytes.constData();
    const qsizetype n = Bytes.size();
    // The UTF-8 decoder drops a byte-order mark at the start of what it decodes.
    if (Utf8 && n - Start >= 3 && std::memcmp(P + Start, "\xEF\xBB\xBF", 3) == 0) Start += 3;
    Out = TLexLoadedLines();
    Out.Lines.reserve(size_t(CountBreaks(P + Start, n - Start) + 1));
    TLineSplitter Splitter(Out);
    QStringDecoder Decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    bool SharesBytes = false;
    qsizetype i = Start;
    while (i < n) {
        bool High = false;
        const qsizetype End = FindBreak(P, i, n, High);
        if (Utf8 && High) {
            QString T = Decoder.decode(QByteArrayView(P + i, End - i));
            if (Decoder.hasError()) return false;
            Splitter.AddDecoded(std::move(T));
        } else {
            Splitter.AddBytes(P + i, End - i);
            SharesBytes = true;
        }
        // One break: an optional CR, then an optional LF.
        i = End;
        if (i < n && P[i] == '\r') {
            Out.SawCR = true;
            ++i;
        }
        if (i < n && P[i] == '\n') {
            Out.SawLF = true;
            ++i;
        }
    }
    if (!TrailingLineBreak && n > Start) {
        const char Last = P[n - 1];
        if (Last == '\r' || Last == '\n' ||
            (Utf8 && n - Start >= 3 && std::memcmp(P + n - 3, "\xE2\x80\xA8", 3) == 0))
            Out.Lines.emplace_back();
    }
    // The records of 8-bit lines point into the bytes themselves.
    if (SharesBytes) Out.Blocks.insert(Out.Blocks.begin(), Bytes);
    return true;
}

TLexLoadPlan PlanLoad(QByteArrayView Bytes, std::optional<TLexEncoding> AEncoding, bool DetectUTF8) {
    TLexLoadPlan Plan;
    if (!AEncoding) {
        if (const auto FromBOM = EncodingFromBOM(Bytes)) {
            Plan.Encoding = *FromBOM;
            Plan.MarkLength = EncodingPreamble(Plan.Encoding).size();
        }
    } else {
        Plan.Encoding = *AEncoding;
        const QByteArray Mark = EncodingPreamble(Plan.Encoding);
        if (!Mark.isEmpty() && Bytes.startsWith(Mark)) Plan.MarkLength = Mark.size();
    }
    if (Plan.Encoding == seAnsi && DetectUTF8 && IsUTF8(Bytes, Plan.MarkLength, UTF8SniffLength))
        Plan.Encoding = seUTF8;
    return Plan;
}

void LoadDecodedText(TLexEditStringList &List, const QByteArray &Bytes,
                     std::optional<TLexEncoding> AEncoding) {
    const TLexLoadPlan Plan = PlanLoad(Bytes, AEncoding, List.DetectUTF8());
    TLexEncoding Enc = Plan.Encoding;
    bool HasMark = Plan.MarkLength > 0;
    bool Ok = true;
    QString Text = DecodeText(QByteArrayView(Bytes).sliced(Plan.MarkLength), Enc, &Ok);
    if (!Ok) {
        // Bytes that are not valid in the chosen encoding would be replaced and lost on the next
        // save; the 8-bit code page keeps every byte, mark included.
        Enc = seAnsi;
        HasMark = false;
        Text = DecodeText(Bytes, seAnsi);
    }
    // Everything that can fail is done; only now the list changes.
    TLexEditStringList::UpdateGuard Bracket(List);
    List.SetWriteBOM(HasMark);
    List.SetEncoding(Enc);
    List.SetTextAndFileFormat(Text);
}

void TLexEditStringList::SetTextAndFileFormat(const QString &Value) {
    bool SawCR = false, SawLF = false, SawLS = false;
    {
        UpdateGuard Bracket(*this);
        Clear();
        std::vector<TLexEditStringRec> &Lines = FStore->FList;
        const char16_t *P = reinterpret_cast<const char16_t *>(Value.utf16());
        const qsizetype n = Value.size();
        // Count the lines first, so that the records are allocated once.
        qsizetype Count = 0;
        for (qsizetype i = 0; i < n; ++i)
            if (IsBreak(P[i]) && !(P[i] == u'\n' && i > 0 && P[i - 1] == u'\r')) ++Count;
        Lines.reserve(size_t(Count + 1));
        qsizetype i = 0;
        while (i < n) {
            const qsizetype Start = i;
            while (i < n && !IsBreak(P[i]))
                ++i;
            Lines.emplace_back();
            Lines.back().SetText(QStringView(P + Start, i - Start));
            // One break: an optional U+2028, then an optional CR, then an optional LF.
            if (i < n && P[i] == u'\x2028') {
                SawLS = true;
                ++i;
            }
            if (i < n && P[i] == u'\r') {
                SawCR = true;
                ++i;
            }
            if (i < n && P[i] == u'\n') {
                SawLF = true;
                ++i;
            }
        }
        if (!FTrailingLineBreak && n > 0 && IsBreak(P[n - 1])) Lines.emplace_back();
        if (!Lines.empty()) {
            LinesInserted(0, this->Count());
            if (OnInserted) OnInserted(this, 0, this->Count());
        }
    }
    FFileFormat = FileFormatFromBreaks(SawCR, SawLF, SawLS);
}

void TLexEditStringList::AssignLoadedLines(TLexLoadedLines &&Loaded) {
    {
        UpdateGuard Bracket(*this);
        Clear();
        FStore->Assign(std::move(Loaded));
        // A block that holds more break bytes or decoded lines than text is copied smaller.
        FStore->CompactBlocks();
        if (!FStore->FList.empty()) {
            LinesInserted(0, Count());
            if (OnInserted) OnInserted(this, 0, Count());
        }
    }
    FFileFormat = FileFormatFromBreaks(Loaded.SawCR, Loaded.SawLF, Loaded.SawLS);
}

void TLexEditStringList::LoadFromBytes(QByteArray Bytes, std::optional<TLexEncoding> AEncoding) {
    const TLexLoadPlan Plan = PlanLoad(Bytes, AEncoding, FDetectUTF8);
    if (Plan.Encoding != seAnsi && Plan.Encoding != seUTF8) {
        LoadDecodedText(*this, Bytes, AEncoding);
        return;
    }
    // Spare capacity of the buffer read would stay allocated with the lines that point into it.
    // A single line too long to point into the bytes is decoded instead: nothing keeps them.
    const bool OneLongLine = Bytes.size() > TLexEditStringRec::MaxLatin1Length + 3 && !Bytes.contains('\n') &&
                             !Bytes.contains('\r');
    if (!OneLongLine && Bytes.capacity() > Bytes.size() + Bytes.size() / 8 + 4096) Bytes.squeeze();
    TLexLoadedLines Loaded;
    TLexEncoding Enc = Plan.Encoding;
    bool HasMark = Plan.MarkLength > 0;
    if (!SplitBytes(Bytes, Plan.MarkLength, Enc == seUTF8, FTrailingLineBreak, Loaded)) {
        // Not valid UTF-8 after all: the 8-bit code page keeps every byte, mark included.
        Enc = seAnsi;
        HasMark = false;
        SplitBytes(Bytes, 0, false, FTrailingLineBreak, Loaded);
    }
    Bytes = QByteArray();
    // Everything that can fail is done; only now the list changes.
    UpdateGuard Bracket(*this);
    FWriteBOM = HasMark;
    FEncoding = Enc;
    AssignLoadedLines(std::move(Loaded));
}

void TLexEditStringList::LoadFromStream(QIODevice &Stream, std::optional<TLexEncoding> AEncoding) {
    if (!Stream.isReadable())
        throw ELexEditStringList(QStringLiteral("Cannot read the stream: it is not open for reading"));
    QByteArray Bytes = Stream.readAll();
    if (auto *File = qobject_cast<QFileDevice *>(&Stream);
        File != nullptr && File->error() != QFileDevice::NoError)
        throw ELexEditStringList(
            QStringLiteral("Cannot read file \"%1\": %2").arg(File->fileName(), File->errorString()));
    LoadFromBytes(std::move(Bytes), AEncoding);
}

void TLexEditStringList::LoadFromFile(const QString &FileName) {
    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly))
        throw ELexEditStringList(
            QStringLiteral("Cannot open file \"%1\": %2").arg(FileName, File.errorString()));
    LoadFromStream(File);
}

bool TLexEditStringList::WriteText(QIODevice &Stream, std::optional<TLexEncoding> AEncoding) {
    TLexEncoding Enc = AEncoding.value_or(DefaultEncoding());
    QString Text;
    {
        // The file keeps its own kind of line break.
        const QString SavedLineBreak = FLineBreak;
        FLineBreak = LineBreakFromFileFormat(FFileFormat);
        try {
            Text = this->Text();
        } catch (...) {
            FLineBreak = SavedLineBreak;
            throw;
        }
        FLineBreak = SavedLineBreak;
    }
    if (Enc == seAnsi && OnInfoLoss && !IsAnsiOnly(Text)) {
        TLexEncoding NewEnc = Enc;
        bool Cancel = false;
        OnInfoLoss(NewEnc, Cancel);
        if (Cancel) return false;
        if (NewEnc != Enc) {
            Enc = NewEnc;
            FEncoding = NewEnc;
        }
    }
    QByteArray Bytes = FWriteBOM ? EncodingPreamble(Enc) : QByteArray();
    Bytes += EncodeText(Text, Enc);
    Text = QString();
    if (Stream.write(Bytes) != Bytes.size())
        throw ELexEditStringList(QStringLiteral("Cannot write the text: %1").arg(Stream.errorString()));
    return true;
}

void TLexEditStringList::SaveToStream(QIODevice &Stream, std::optional<TLexEncoding> AEncoding) {
    WriteText(Stream, AEncoding);
}

void TLexEditStringList::SaveToFile(const QString &FileName) {
    // Written to a temporary file that replaces the old one only when complete, so that a failed
    // or cancelled save leaves the old file as it was.
    QSaveFile File(FileName);
    if (!File.open(QIODevice::WriteOnly))
        throw ELexEditStringList(
            QStringLiteral("Cannot create file \"%1\": %2").arg(FileName, File.errorString()));
    if (!WriteText(File, FEncoding)) {
        File.cancelWriting();
        return;
    }
    if (!File.commit())
        throw ELexEditStringList(
            QStringLiteral("Cannot write file \"%1\": %2").arg(FileName, File.errorString()));
}

} // namespace lexedit

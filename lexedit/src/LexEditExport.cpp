// SPDX-License-Identifier: MIT
// The format-independent part of exporting: the byte buffer in the export encoding, the walk
// over lines and tokens, the detection of look changes, saving and the clipboard.

#include "lexedit/LexEditExport.h"

#include "common/BracketGuard.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditMiscProcs.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>
#include <QSaveFile>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lexedit {

namespace {

QPalette InitialPalette() {
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr)
        return QGuiApplication::palette();
    // Without a GUI application: black text on white.
    QPalette P;
    P.setColor(QPalette::Window, Qt::white);
    P.setColor(QPalette::Base, Qt::white);
    P.setColor(QPalette::WindowText, Qt::black);
    P.setColor(QPalette::Text, Qt::black);
    return P;
}

// Copies the n bytes at ASource to ADest and returns the end of the copy. For the short texts of
// the markup (tags, entities: a few dozen bytes) a plain loop: calling the library's memcpy for
// them made the export of many small spans about half again as slow.
inline char *CopyShort(char *ADest, const char *ASource, qsizetype n) {
    for (qsizetype i = 0; i < n; ++i)
        ADest[i] = ASource[i];
    return ADest + n;
}

// Every ASCII character written as it is (text written without replacements).
constexpr std::array<bool, 128> AllAsciiPlain = [] {
    std::array<bool, 128> t{};
    for (bool &b : t)
        b = true;
    return t;
}();

bool IsBlank(QStringView AText) {
    const char16_t *u = reinterpret_cast<const char16_t *>(AText.data());
    for (qsizetype i = 0, n = AText.size(); i < n; ++i)
        if (u[i] != u' ' && u[i] != u'\t') return false;
    return true;
}

// The byte-order mark of an encoding.
QByteArray ByteOrderMark(TLexEncoding AEncoding) {
    const auto Mark = [](const auto &ABytes) {
        return QByteArray(reinterpret_cast<const char *>(ABytes.data()), int(ABytes.size()));
    };
    switch (AEncoding) {
    case seUTF8:
        return Mark(UTF8BOM);
    case seUTF16LE:
        return Mark(UTF16BOMLE);
    case seUTF16BE:
        return Mark(UTF16BOMBE);
    case seAnsi:
        break;
    }
    return QByteArray();
}

} // namespace

// ---- lines ---------------------------------------------------------------------------------------

TLexExportLines::TLexExportLines(const QStringList &ALines)
    : FCount(int(std::min<qsizetype>(ALines.size(), INT_MAX))),
      FGet([&ALines](int i) { return ALines.at(i); }) {}

TLexExportLines::TLexExportLines(const TLexEditStringList &ALines)
    : FCount(ALines.Count()), FGet([&ALines](int i) { return ALines.Get(i); }), FList(&ALines) {}

void TLexExportLines::GetInto(int AIndex, QString &ADest) const {
    QLatin1String Bytes;
    if (FList == nullptr || !FList->GetLatin1(AIndex, Bytes)) {
        ADest = FGet(AIndex);
        return;
    }
    const qsizetype n = Bytes.size();
    ADest.resize(n); // keeps the storage when it is ADest's own and large enough
    char16_t *Dest = reinterpret_cast<char16_t *>(ADest.data());
    const auto *Src = reinterpret_cast<const unsigned char *>(Bytes.data());
    qsizetype i = 0;
#ifdef __SSE2__
    for (; i + 16 <= n; i += 16) {
        const __m128i V = _mm_loadu_si128(reinterpret_cast<const __m128i *>(Src + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(Dest + i), _mm_unpacklo_epi8(V, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(Dest + i + 8),
                         _mm_unpackhi_epi8(V, _mm_setzero_si128()));
    }
#endif
    for (; i < n; ++i)
        Dest[i] = Src[i];
}

// ---- construction and properties -------------------------------------------------------------------

TLexCustomExporter::TLexCustomExporter(QObject *AOwner) : QObject(AOwner), fPalette(InitialPalette()) {
    AssignFont(nullptr);
    Clear();
    fTitle = QStringLiteral("Untitled");
}

TLexCustomExporter::~TLexCustomExporter() = default;

void TLexCustomExporter::Clear() {
    fBuffer.clear();
    fStart = 0;
    fLen = 0;
    fLastStyle = TFontStyles();
    fLastBG = clWindow;
    fLastFG = clWindowText;
    fRunAttribute = nullptr;
    fLastAttribute = nullptr;
    fJoinedAttribute = nullptr;
}

void TLexCustomExporter::AssignFont(const TLexExportFont *Value) {
    if (Value != nullptr) {
        fFont = *Value;
        return;
    }
    fFont = TLexExportFont{DefaultFontName(), 10, clWindowText, TFontStyles()};
}

void TLexCustomExporter::TakeWhitespaceBackground() {
    if (fHighlighter == nullptr || !fUseBackground) return;
    if (TLexHighlighterAttributes *W = fHighlighter->GetDefaultAttribute(LEX_ATTR_WHITESPACE))
        if (W->Background() != clNone) fBackgroundColor = W->Background();
}

void TLexCustomExporter::SetHighlighter(TLexCustomHighlighter *Value) {
    if (fHighlighter == Value) return;
    fHighlighter = Value;
    Clear();
    TakeWhitespaceBackground();
}

void TLexCustomExporter::SetUseBackground(bool Value) {
    fUseBackground = Value;
    TakeWhitespaceBackground();
}

void TLexCustomExporter::SetTitle(const QString &Value) {
    fTitle = Value.isEmpty() ? QStringLiteral("Untitled") : Value;
}

void TLexCustomExporter::SetExportAsText(bool Value) {
    if (fExportAsText == Value) return;
    fExportAsText = Value;
    Clear();
}

QString TLexCustomExporter::EncodingStr(TLexEncoding AEncoding) {
    switch (AEncoding) {
    case seUTF8:
        return QStringLiteral("UTF-8");
    case seUTF16LE:
        return QStringLiteral("UTF-16 Little Endian");
    case seUTF16BE:
        return QStringLiteral("UTF-16 Big Endian");
    case seAnsi:
        return QStringLiteral("ANSI");
    }
    return QString();
}

void TLexCustomExporter::SetEncoding(TLexEncoding Value) {
    if (FStreaming) return;
    if (!SupportedEncodings().Contains(Value))
        throw ELexExporterError(QStringLiteral("%1 encoding is not supported by %2-exporter")
                                    .arg(EncodingStr(Value), GetFormatName()));
    FEncoding = Value;
    FCharSize = Value == seUTF16LE || Value == seUTF16BE ? 2 : 1;
}

TColor TLexCustomExporter::ValidatedColor(TColor C, TColor ADefault) const {
    return ColorToRGB(C == clNone || C == clDefault ? ADefault : C, fPalette);
}

// ---- writing ----------------------------------------------------------------------------------------

void TLexCustomExporter::PutCode(char32_t ACode) {
    char *p = Room(16);
    switch (FEncoding) {
    case seUTF8:
        if (ACode < 0x80) {
            *p++ = char(ACode);
        } else if (ACode < 0x800) {
            *p++ = char(0xC0 | (ACode >> 6));
            *p++ = char(0x80 | (ACode & 0x3F));
        } else if (ACode < 0x10000) {
            *p++ = char(0xE0 | (ACode >> 12));
            *p++ = char(0x80 | ((ACode >> 6) & 0x3F));
            *p++ = char(0x80 | (ACode & 0x3F));
        } else {
            *p++ = char(0xF0 | (ACode >> 18));
            *p++ = char(0x80 | ((ACode >> 12) & 0x3F));
            *p++ = char(0x80 | ((ACode >> 6) & 0x3F));
            *p++ = char(0x80 | (ACode & 0x3F));
        }
        break;
    case seUTF16LE:
    case seUTF16BE: {
        char16_t Units[2];
        int n = 1;
        if (ACode >= 0x10000) {
            Units[0] = char16_t(0xD800 + ((ACode - 0x10000) >> 10));
            Units[1] = char16_t(0xDC00 + ((ACode - 0x10000) & 0x3FF));
            n = 2;
        } else {
            Units[0] = char16_t(ACode);
        }
        for (int i = 0; i < n; ++i) {
            const char Lo = char(Units[i] & 0xFF);
            const char Hi = char(Units[i] >> 8);
            if (FEncoding == seUTF16LE) {
                *p++ = Lo;
                *p++ = Hi;
            } else {
                *p++ = Hi;
                *p++ = Lo;
            }
        }
        break;
    }
    case seAnsi:
        if (ACode <= fAnsiLimit) {
            *p++ = char(ACode);
        } else {
            // Replacement texts are ASCII.
            const QString R = UnencodableChar(ACode);
            p = Room(R.size());
            for (QChar c : R)
                *p++ = char(c.unicode() & 0x7F);
        }
        break;
    }
    fLen = p - fBuffer.data();
}

QString TLexCustomExporter::UnencodableChar(char32_t ACode) const {
    Q_UNUSED(ACode);
    return QStringLiteral("?");
}

char *TLexCustomExporter::Grow(qsizetype AMore) {
    fBuffer.resize(std::max(fLen + AMore, fBuffer.size() * 2 + 4096));
    return fBuffer.data() + fLen;
}

void TLexCustomExporter::Settle() {
    if (fBuffer.size() != fLen) fBuffer.resize(fLen);
    if (fStart > 0) {
        // Qt drops the bytes at the front by moving the array's start, without copying.
        fBuffer.remove(0, fStart);
        fLen -= fStart;
        fStart = 0;
    }
}

void TLexCustomExporter::Emit(QStringView AText, bool AReplace) {
    if (FEncoding != seUTF8) {
        EmitOther(AText, AReplace);
        return;
    }
    // UTF-8 straight into the buffer: at most 4 bytes a unit, 8 for a replaced one.
    const qsizetype n = AText.size();
    char *p = Room(n * 8 + 8);
    const char16_t *u = reinterpret_cast<const char16_t *>(AText.data());
    const std::array<bool, 128> &Plain = AReplace ? fAsciiPlain : AllAsciiPlain;
    const bool Table = AReplace && fAsciiOutTable;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = u[i];
        if (c < 0x80) {
            if (Table) {
                // Eight bytes are written, the length of the character's text kept: the room
                // asked for above holds them.
                std::memcpy(p, fAsciiOut[c].data(), 8);
                p += fAsciiOutLength[c];
            } else if (Plain[c]) {
                *p++ = char(c);
            } else {
                const QByteArray &R = fAsciiReplacements[c];
                p = CopyShort(p, R.constData(), R.size());
            }
            continue;
        }
        if (c < 256 && AReplace && fReplaced[c]) {
            c = fReplacements[c].at(0).unicode(); // U+FFFD for the controls
        } else if (QChar::isHighSurrogate(char16_t(c)) && i + 1 < n && QChar::isLowSurrogate(u[i + 1])) {
            c = QChar::surrogateToUcs4(char16_t(c), u[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(c) || (AReplace && c >= 0xFFFE)) {
            // A lone half of a pair and the two non-characters cannot be written as text.
            c = 0xFFFD;
        }
        if (c < 0x800) {
            *p++ = char(0xC0 | (c >> 6));
            *p++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *p++ = char(0xE0 | (c >> 12));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        } else {
            *p++ = char(0xF0 | (c >> 18));
            *p++ = char(0x80 | ((c >> 12) & 0x3F));
            *p++ = char(0x80 | ((c >> 6) & 0x3F));
            *p++ = char(0x80 | (c & 0x3F));
        }
    }
    fLen = p - fBuffer.data();
}

void TLexCustomExporter::EmitOther(QStringView AText, bool AReplace) {
    const qsizetype n = AText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = AText[i].unicode();
        if (c < 256 && AReplace && fReplaced[c]) {
            EmitOther(fReplacements[c], false);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(AText[i + 1].unicode())) {
            PutCode(QChar::surrogateToUcs4(c, AText[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(c) || (AReplace && c >= 0xFFFE)) {
            PutCode(0xFFFD);
        } else {
            PutCode(c);
        }
    }
}

void TLexCustomExporter::AddData(QStringView AText) {
    Emit(AText, false);
}

void TLexCustomExporter::WriteText(QStringView AText) {
    Emit(AText, true);
}

QByteArray TLexCustomExporter::Encoded(QStringView AText) const {
    // Written past the end of the output and taken back: the output itself does not change.
    auto *Self = const_cast<TLexCustomExporter *>(this);
    const qsizetype End = fLen;
    Self->AddData(AText);
    QByteArray Bytes(fBuffer.constData() + End, fLen - End);
    Self->fLen = End;
    return Bytes;
}

qsizetype TLexCustomExporter::StringSize(QStringView AText) const {
    auto *Self = const_cast<TLexCustomExporter *>(this);
    const qsizetype End = fLen;
    Self->AddData(AText);
    const qsizetype Size = fLen - End;
    Self->fLen = End;
    return Size;
}

void TLexCustomExporter::InsertData(QStringView AText) {
    const QByteArray Bytes = Encoded(AText);
    const qsizetype Size = Bytes.size();
    if (Size <= fStart) {
        // Into the room left before the output.
        fStart -= Size;
        std::copy(Bytes.begin(), Bytes.end(), fBuffer.data() + fStart);
        return;
    }
    Settle();
    fBuffer.prepend(Bytes);
    fLen = fBuffer.size();
}

void TLexCustomExporter::FlushPending() {
    if (fPending.isEmpty()) return;
    const QStringView Text = fPending;
    fPending = QStringView();
    FormatToken(Text);
}

void TLexCustomExporter::FormatToken(QStringView Token) {
    WriteText(Token);
}

QString TLexCustomExporter::BufferText() const {
    switch (FEncoding) {
    case seUTF8:
        return QString::fromUtf8(fBuffer);
    case seAnsi:
        return QString::fromLatin1(fBuffer);
    case seUTF16LE:
    case seUTF16BE: {
        QString S(fBuffer.size() / 2, Qt::Uninitialized);
        const auto *b = reinterpret_cast<const uint8_t *>(fBuffer.constData());
        for (qsizetype i = 0; i < S.size(); ++i) {
            const uint8_t b0 = b[2 * i];
            const uint8_t b1 = b[2 * i + 1];
            S[i] = QChar(FEncoding == seUTF16LE ? char16_t(b0 | b1 << 8) : char16_t(b1 | b0 << 8));
        }
        return S;
    }
    }
    return QString();
}

// ---- the walk ----------------------------------------------------------------------------------------

int TLexCustomExporter::AddLook(TLexHighlighterAttributes *Attri) {
    TLook L;
    L.BG = fUseBackground ? ValidatedColor(Attri != nullptr ? Attri->Background() : clNone, fBackgroundColor)
                          : BackgroundRGB();
    L.FG = ValidatedColor(Attri != nullptr ? Attri->Foreground() : clNone, fFont.Color);
    L.Style = Attri != nullptr ? Attri->Style() : TFontStyles();
    L.Id = int(fLooks.size());
    for (const auto &Other : fLooks)
        if (Other.second.BG == L.BG && Other.second.FG == L.FG && Other.second.Style == L.Style) {
            L.Id = Other.second.Id;
            break;
        }
    fLooks.emplace_back(Attri, L);
    return int(fLooks.size() - 1);
}

int TLexCustomExporter::FindLook(TLexHighlighterAttributes *Attri) {
    const size_t Count = fLookSlots.size();
    const size_t Hash = LookSlot(Attri);
    for (size_t k = 0; k < Count; ++k) {
        TLookSlot &Slot = fLookSlots[(Hash + k) % Count];
        if (Slot.Index < 0) {
            Slot.Attri = Attri;
            Slot.Index = AddLook(Attri);
            Slot.Id = fLooks[size_t(Slot.Index)].second.Id;
            return Slot.Index;
        }
        if (Slot.Attri == Attri) return Slot.Index;
    }
    // More attributes than slots: the list itself.
    for (size_t i = 0; i < fLooks.size(); ++i)
        if (fLooks[i].first == Attri) return int(i);
    return AddLook(Attri);
}

void TLexCustomExporter::SetTokenAttribute(TLexHighlighterAttributes *Attri, int AIndex, QStringView AText) {
    const TLook &Look = fLooks[size_t(AIndex)].second;
    const TColor BG = Look.BG;
    const TColor FG = Look.FG;
    const TFontStyles Style = Look.Style;
    if (fFirstAttribute) {
        fFirstAttribute = false;
        fLastBG = BG;
        fLastFG = FG;
        fLastStyle = Style;
        fRunAttribute = Attri;
        fRunIndex = AIndex;
        fRunLook = Look.Id;
        fLastAttribute = Attri;
        fJoinedAttribute = nullptr;
        FlushPending();
        FormatBeforeFirstAttribute(fUseBackground && BG != BackgroundRGB(), FG != FontColorRGB(), Style);
        return;
    }
    const bool BGChanged = BG != fLastBG;
    const bool FGChanged = FG != fLastFG;
    if (!BGChanged && !FGChanged && Style == fLastStyle) {
        fLastAttribute = Attri;
        fJoinedAttribute = nullptr;
        return;
    }
    // Blanks show only their background and lines: they join the open run when both agree.
    if (!BGChanged && !fLastStyle.Contains(fsUnderline) && !fLastStyle.Contains(fsStrikeOut) &&
        IsBlank(AText))
        return;
    fLastAttribute = Attri;
    fJoinedAttribute = nullptr;
    FlushPending();
    FormatAttributeDone(BGChanged, FGChanged, fLastStyle - Style);
    const TFontStyles Added = Style - fLastStyle;
    fLastBG = BG;
    fLastFG = FG;
    fLastStyle = Style;
    fRunAttribute = Attri;
    fRunIndex = AIndex;
    fRunLook = Look.Id;
    FormatAttributeInit(BGChanged, FGChanged, Added);
}

void TLexCustomExporter::ExportLinePiece(QStringView ALine, int AFrom, int ATo) {
    // AFrom, ATo: 0-based, AFrom < ATo <= line length.
    TLexCustomHighlighter *H = fHighlighter;
    if (H == nullptr) {
        const QStringView Piece = ALine.mid(AFrom, ATo - AFrom);
        SetTokenAttribute(nullptr, LookIndex(nullptr), Piece);
        FormatToken(Piece);
        return;
    }
    // The open run's text is written when its look ends: from RunStart up to the token that
    // changes the look, and at the end of the piece.
    const QChar *Line = ALine.data();
    int RunStart = AFrom;
    constexpr int Batch = 128;
    TLexTokenSpan Tokens[Batch];
    for (;;) {
        const int n = H->NextTokens(Tokens, Batch);
        int k = 0;
        for (; k < n && Tokens[k].Pos < ATo; ++k) {
            const TLexTokenSpan &T = Tokens[k];
            // fLastAttribute and fJoinedAttribute have the run's look (and are null before the
            // first token): tokens often alternate between two attributes of one look.
            if ((T.Attri == fLastAttribute || (T.Attri == fJoinedAttribute && T.Attri != nullptr)) &&
                !fFirstAttribute)
                continue;
            const int a = std::max(T.Pos, AFrom);
            const int b = std::min(T.End, ATo); // ATo is within the line
            if (a >= b) continue;
            const TLookSlot &Slot = fLookSlots[LookSlot(T.Attri)];
            if (Slot.Attri == T.Attri && Slot.Index >= 0 && Slot.Id == fRunLook && !fFirstAttribute) {
                fJoinedAttribute = fLastAttribute; // the same look: the token joins the run
                fLastAttribute = T.Attri;
                continue;
            }
            // A token without an attribute (a NUL of the text) is written in the default look.
            fPending = QStringView(Line + RunStart, a - RunStart);
            SetTokenAttribute(T.Attri, LookIndex(T.Attri), QStringView(Line + a, b - a));
            // Written when a new run began; otherwise the token (blanks) joins the open run.
            if (fPending.isEmpty()) RunStart = a;
        }
        // The batch reached the end of the line or of the piece.
        if (n < Batch || k < n) break;
    }
    fPending = QStringView(Line + RunStart, ATo - RunStart);
    FlushPending();
}

TLexCustomExporter::TRowWalk
TLexCustomExporter::StartBody(int AFirstLine, std::optional<TLexRange> AStartRange, bool AHasRows) {
    // Room for the header in front of the output, so that it need not be moved to make room.
    fBuffer.clear();
    fStart = 4096 * FCharSize;
    fLen = fStart;
    fFirstAttribute = true;
    fLastAttribute = nullptr;
    fJoinedAttribute = nullptr;
    fRunAttribute = nullptr;
    fRunIndex = 0;
    fRunLook = 0;
    fLooks.clear();
    fLookSlots.fill(TLookSlot());
    fPageRGB = ValidatedColor(fBackgroundColor, clWindow);
    fFontRGB = ValidatedColor(fFont.Color, clWindowText);
    for (int c = 0; c < 256; ++c) {
        fReplacements[c] = ReplaceReservedChar(char16_t(c)).toString();
        fReplaced[c] = !fReplacements[c].isEmpty();
        if (c >= 128) continue;
        fAsciiReplacements[c] = fReplacements[c].toUtf8();
        fAsciiPlain[c] = !fReplaced[c];
    }
    fAsciiOutTable = true;
    for (size_t c = 0; c < 128; ++c) {
        const QByteArray Out = fAsciiPlain[c] ? QByteArray(1, char(c)) : fAsciiReplacements[c];
        if (Out.size() > 8) fAsciiOutTable = false;
        fAsciiOut[c].fill(0);
        std::copy_n(Out.constData(), std::min<qsizetype>(Out.size(), 8), fAsciiOut[c].begin());
        fAsciiOutLength[c] = uint8_t(std::min<qsizetype>(Out.size(), 8));
    }
    fAnsiLimit = AsciiOnly() ? 0x7F : 0xFF;
    BeginExport();
    if (fStream != nullptr) {
        // The header is known before the body: the mark and the header go first.
        const QByteArray Bom = UseBom() ? ByteOrderMark(FEncoding) : QByteArray();
        WriteOut(Bom.constData(), Bom.size());
        const QByteArray Header = Encoded(GetHeader());
        WriteOut(Header.constData(), Header.size());
    }
    // The range at the start of line Line (1-based).
    TRowWalk Walk;
    if (fHighlighter != nullptr && AHasRows) {
        fHighlighter->ResetRange();
        Walk.Range = fHighlighter->GetRange();
        if (AStartRange) {
            Walk.Range = *AStartRange;
            Walk.Line = std::max(1, AFirstLine);
        }
    }
    return Walk;
}

void TLexCustomExporter::ExportRow(const TLexExportLines &ALines, const TLexExportRow &Row, int ANextLine,
                                   TRowWalk &AWalk) {
    TLexCustomHighlighter *H = fHighlighter;
    const bool InText = Row.Line >= 1 && Row.Line <= ALines.Count();
    // Two line strings in turn: the highlighter keeps a reference to the last line it was given,
    // so the other one is free to be filled without a new allocation.
    fLineTurn ^= 1;
    QString &Line = fLineText[fLineTurn];
    if (InText)
        ALines.GetInto(Row.Line - 1, Line);
    else
        Line.clear();
    const int Len = int(Line.size());
    const int From = std::clamp(Row.From, 1, Len + 1) - 1;
    const int To = std::max(From, std::clamp(Row.To, 1, Len + 1) - 1);
    if (H != nullptr && InText) {
        for (; AWalk.Line < Row.Line; ++AWalk.Line) {
            H->SetRange(AWalk.Range);
            H->SetLine(ALines.Get(AWalk.Line - 1), AWalk.Line - 1);
            H->NextToEol();
            AWalk.Range = H->GetRange();
        }
        H->SetRange(AWalk.Range);
        H->SetLine(Line, Row.Line - 1);
        if (From < To) ExportLinePiece(Line, From, To);
        // The next row on another line starts from the range this line ends in.
        if (ANextLine > 0 && ANextLine != Row.Line) {
            H->NextToEol();
            AWalk.Range = H->GetRange();
            AWalk.Line = Row.Line + 1;
        }
    } else if (From < To) {
        ExportLinePiece(Line, From, To);
    }
    if (Row.Padding > 0) {
        const QString Blanks(Row.Padding, QLatin1Char(' '));
        SetTokenAttribute(nullptr, LookIndex(nullptr), Blanks);
        FormatToken(Blanks);
    }
    if (Row.LineBreak) FormatNewLine();
    // Written out in pieces that stay in the processor's cache.
    if (fStream != nullptr && fLen - fStart >= 256 * 1024) FlushToStream();
}

void TLexCustomExporter::FinishBody() {
    for (QString &Line : fLineText)
        Line = QString(); // a long line is not kept after the export
    if (!fFirstAttribute) FormatAfterLastAttribute();
    if (fStream == nullptr) InsertData(GetHeader());
    AddData(GetFooter());
    if (fStream != nullptr) {
        FlushToStream();
        fBuffer.clear();
        fStart = 0;
        fLen = 0;
        return;
    }
    Settle();
}

void TLexCustomExporter::WriteOut(const char *AData, qsizetype ASize) {
    if (ASize > 0 && fStream->write(AData, ASize) != ASize)
        throw ELexExporterError(QStringLiteral("Cannot write the export: %1").arg(fStream->errorString()));
}

void TLexCustomExporter::FlushToStream() {
    WriteOut(fBuffer.constData() + fStart, fLen - fStart);
    fLen = fStart;
}

void TLexCustomExporter::ExportRows(const TLexExportLines &ALines, const std::vector<TLexExportRow> &ARows,
                                    std::optional<TLexRange> AStartRange) {
    const common::ScopedValue<bool> Guard(FStreaming, true);
    TRowWalk Walk = StartBody(ARows.empty() ? 1 : ARows.front().Line, AStartRange, !ARows.empty());
    for (size_t r = 0; r < ARows.size(); ++r)
        ExportRow(ALines, ARows[r], r + 1 < ARows.size() ? ARows[r + 1].Line : 0, Walk);
    FinishBody();
}

void TLexCustomExporter::ExportAll(const TLexExportLines &ALines) {
    ExportRange(ALines, BufferCoord(1, 1), BufferCoord(INT_MAX, INT_MAX));
}

void TLexCustomExporter::ExportRange(const TLexExportLines &ALines, TBufferCoord Start, TBufferCoord Stop) {
    const common::ScopedValue<bool> Guard(FStreaming, true);
    const int Count = ALines.Count();
    if (Stop < Start) std::swap(Start, Stop);
    const bool HasRows = Count > 0 && Start.Line <= Count && Stop.Line >= 1;
    if (HasRows) {
        if (Start.Line < 1) Start = BufferCoord(1, 1);
        if (Stop.Line > Count) Stop = BufferCoord(INT_MAX, Count);
    }
    TRowWalk Walk = StartBody(Start.Line, std::nullopt, HasRows);
    if (HasRows) {
        // One row per line, made as the walk goes.
        for (int L = Start.Line; L <= Stop.Line; ++L) {
            TLexExportRow Row;
            Row.Line = L;
            Row.From = L == Start.Line ? std::max(1, Start.Char) : 1;
            Row.To = L == Stop.Line ? Stop.Char : INT_MAX;
            Row.LineBreak = L < Stop.Line;
            ExportRow(ALines, Row, L < Stop.Line ? L + 1 : 0, Walk);
        }
    }
    FinishBody();
}

// ---- saving and the clipboard -------------------------------------------------------------------------

namespace {

// Runs AWrite on a new file that replaces FileName once it is complete: a failure (raised as
// ELexExporterError) leaves an earlier file of that name as it was. What is not a plain file (a
// device, a pipe such as /dev/stdout) is written straight into, as is a file in a directory
// that takes no new files.
template <typename TWrite> void WriteFile(const QString &FileName, TWrite AWrite) {
    const QFileInfo Info(FileName);
    std::unique_ptr<QFileDevice> F;
    if (Info.exists() && !Info.isFile()) {
        F = std::make_unique<QFile>(FileName);
    } else {
        auto Save = std::make_unique<QSaveFile>(FileName);
        // A writable file in a directory where no new file can be made is written in place.
        Save->setDirectWriteFallback(true);
        F = std::move(Save);
    }
    if (!F->open(QIODevice::WriteOnly))
        throw ELexExporterError(QStringLiteral("Cannot create %1: %2").arg(FileName, F->errorString()));
    AWrite(*F); // on a failure a new file is dropped with F
    auto *Save = qobject_cast<QSaveFile *>(F.get());
    if (!(Save != nullptr ? Save->commit() : F->flush()))
        throw ELexExporterError(QStringLiteral("Cannot write %1: %2").arg(FileName, F->errorString()));
}

} // namespace

void TLexCustomExporter::SaveToStream(QIODevice &Stream) {
    const QByteArray Bom = UseBom() ? ByteOrderMark(FEncoding) : QByteArray();
    if ((!Bom.isEmpty() && Stream.write(Bom) != Bom.size()) || Stream.write(fBuffer) != fBuffer.size())
        throw ELexExporterError(QStringLiteral("Cannot write the export: %1").arg(Stream.errorString()));
}

void TLexCustomExporter::SaveToFile(const QString &FileName) {
    WriteFile(FileName, [this](QIODevice &F) { SaveToStream(F); });
}

void TLexCustomExporter::ExportAllToStream(const TLexExportLines &ALines, QIODevice &Stream) {
    if (!HeaderBeforeBody()) {
        ExportAll(ALines);
        SaveToStream(Stream);
        return;
    }
    const common::ScopedValue<QIODevice *> Scope(fStream, &Stream);
    try {
        ExportAll(ALines);
    } catch (...) {
        // What was written is not the whole export: the buffer does not pretend to hold it.
        fBuffer.clear();
        fStart = 0;
        fLen = 0;
        throw;
    }
}

void TLexCustomExporter::ExportAllToFile(const TLexExportLines &ALines, const QString &FileName) {
    WriteFile(FileName, [this, &ALines](QIODevice &F) { ExportAllToStream(ALines, F); });
}

void TLexCustomExporter::FillMimeData(QMimeData &AData) const {
    AData.setText(BufferText());
}

void TLexCustomExporter::CopyToClipboard() {
    QClipboard *C = QGuiApplication::clipboard();
    if (C == nullptr) return;
    auto Data = std::make_unique<QMimeData>();
    FillMimeData(*Data);
    C->setMimeData(Data.release()); // the clipboard owns it
}

} // namespace lexedit

// The format-independent part of exporting: the byte buffer in the export encoding, the walk
// over lines and tokens, the detection of look changes, saving and the clipboard.

#include "lexedit/LexEditExport.h"

#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditMiscProcs.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>
#include <climits>
#include <memory>
#include <utility>

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

bool IsBlank(QStringView AText) {
    return std::all_of(AText.begin(), AText.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
}

} // namespace

// ---- lines ---------------------------------------------------------------------------------------

TLexExportLines::TLexExportLines(const QStringList &ALines)
    : FCount(int(std::min<qsizetype>(ALines.size(), INT_MAX))),
      FGet([&ALines](int i) { return ALines.at(i); }) {}

TLexExportLines::TLexExportLines(const TLexEditStringList &ALines)
    : FCount(ALines.Count()), FGet([&ALines](int i) { return ALines.Get(i); }) {}

// ---- construction and properties -------------------------------------------------------------------

TLexCustomExporter::TLexCustomExporter(QObject *AOwner) : QObject(AOwner), fPalette(InitialPalette()) {
    AssignFont(nullptr);
    Clear();
    fTitle = QStringLiteral("Untitled");
}

TLexCustomExporter::~TLexCustomExporter() = default;

void TLexCustomExporter::Clear() {
    fBuffer.clear();
    fLastStyle = TFontStyles();
    fLastBG = clWindow;
    fLastFG = clWindowText;
    fRunAttribute = nullptr;
    fLastAttribute = nullptr;
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
    switch (FEncoding) {
    case seUTF8:
        if (ACode < 0x80) {
            fBuffer.append(char(ACode));
        } else if (ACode < 0x800) {
            fBuffer.append(char(0xC0 | (ACode >> 6)));
            fBuffer.append(char(0x80 | (ACode & 0x3F)));
        } else if (ACode < 0x10000) {
            fBuffer.append(char(0xE0 | (ACode >> 12)));
            fBuffer.append(char(0x80 | ((ACode >> 6) & 0x3F)));
            fBuffer.append(char(0x80 | (ACode & 0x3F)));
        } else {
            fBuffer.append(char(0xF0 | (ACode >> 18)));
            fBuffer.append(char(0x80 | ((ACode >> 12) & 0x3F)));
            fBuffer.append(char(0x80 | ((ACode >> 6) & 0x3F)));
            fBuffer.append(char(0x80 | (ACode & 0x3F)));
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
                fBuffer.append(Lo);
                fBuffer.append(Hi);
            } else {
                fBuffer.append(Hi);
                fBuffer.append(Lo);
            }
        }
        break;
    }
    case seAnsi:
        if (ACode <= fAnsiLimit) {
            fBuffer.append(char(ACode));
        } else {
            // Replacement texts are ASCII.
            const QString R = UnencodableChar(ACode);
            for (QChar c : R)
                fBuffer.append(char(c.unicode() & 0x7F));
        }
        break;
    }
}

QString TLexCustomExporter::UnencodableChar(char32_t ACode) const {
    Q_UNUSED(ACode);
    return QStringLiteral("?");
}

void TLexCustomExporter::AddData(QStringView AText) {
    const qsizetype n = AText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = AText[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(AText[i + 1].unicode())) {
            PutCode(QChar::surrogateToUcs4(c, AText[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(c)) {
            PutCode(0xFFFD);
        } else {
            PutCode(c);
        }
    }
}

void TLexCustomExporter::WriteText(QStringView AText) {
    const qsizetype n = AText.size();
    const bool Utf8 = FEncoding == seUTF8;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = AText[i].unicode();
        if (c < 256) {
            const QString &R = fReplacements[c];
            if (!R.isEmpty())
                AddData(R);
            else if (Utf8 && c < 0x80)
                fBuffer.append(char(c));
            else
                PutCode(c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(AText[i + 1].unicode())) {
            PutCode(QChar::surrogateToUcs4(c, AText[i + 1].unicode()));
            ++i;
        } else if (QChar::isSurrogate(c) || c >= 0xFFFE) {
            // A lone half of a pair and the two non-characters cannot be written as text.
            PutCode(0xFFFD);
        } else {
            PutCode(c);
        }
    }
}

qsizetype TLexCustomExporter::StringSize(QStringView AText) const {
    // Measured by writing it into a scratch exporter state.
    auto *Self = const_cast<TLexCustomExporter *>(this);
    QByteArray Saved;
    std::swap(Saved, Self->fBuffer);
    Self->AddData(AText);
    const qsizetype Size = Self->fBuffer.size();
    std::swap(Saved, Self->fBuffer);
    return Size;
}

void TLexCustomExporter::InsertData(QStringView AText) {
    QByteArray Body;
    std::swap(Body, fBuffer);
    AddData(AText);
    fBuffer.append(Body);
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

void TLexCustomExporter::SetTokenAttribute(TLexHighlighterAttributes *Attri, bool ABlank) {
    if (!fFirstAttribute && Attri != nullptr && Attri == fLastAttribute) return;
    const TColor BG = fUseBackground
                          ? ValidatedColor(Attri != nullptr ? Attri->Background() : clNone, fBackgroundColor)
                          : BackgroundRGB();
    const TColor FG = ValidatedColor(Attri != nullptr ? Attri->Foreground() : clNone, fFont.Color);
    const TFontStyles Style = Attri != nullptr ? Attri->Style() : TFontStyles();
    if (fFirstAttribute) {
        fFirstAttribute = false;
        fLastBG = BG;
        fLastFG = FG;
        fLastStyle = Style;
        fRunAttribute = Attri;
        fLastAttribute = Attri;
        FormatBeforeFirstAttribute(fUseBackground && BG != BackgroundRGB(), FG != FontColorRGB(), Style);
        return;
    }
    // Blanks show only their background and lines: they join the open run when both agree.
    if (ABlank && BG == fLastBG && !fLastStyle.Contains(fsUnderline) && !fLastStyle.Contains(fsStrikeOut))
        return;
    fLastAttribute = Attri;
    const bool BGChanged = BG != fLastBG;
    const bool FGChanged = FG != fLastFG;
    if (!BGChanged && !FGChanged && Style == fLastStyle) return;
    FormatAttributeDone(BGChanged, FGChanged, fLastStyle - Style);
    const TFontStyles Added = Style - fLastStyle;
    fLastBG = BG;
    fLastFG = FG;
    fLastStyle = Style;
    fRunAttribute = Attri;
    FormatAttributeInit(BGChanged, FGChanged, Added);
}

void TLexCustomExporter::ExportLinePiece(QStringView ALine, int AFrom, int ATo) {
    // AFrom, ATo: 0-based, AFrom < ATo <= line length.
    TLexCustomHighlighter *H = fHighlighter;
    if (H == nullptr) {
        const QStringView Piece = ALine.mid(AFrom, ATo - AFrom);
        SetTokenAttribute(nullptr, IsBlank(Piece));
        FormatToken(Piece);
        return;
    }
    const int Len = int(ALine.size());
    while (!H->GetEol()) {
        const int Pos = H->GetTokenPos();
        if (Pos >= ATo) break;
        TLexHighlighterAttributes *Attri = H->GetTokenAttribute();
        H->Next();
        const int End = std::min(H->GetEol() ? Len : H->GetTokenPos(), Len);
        const int a = std::max(Pos, AFrom);
        const int b = std::min(End, ATo);
        if (a >= b) continue;
        // A token without an attribute (a NUL of the text) is written in the default look.
        const QStringView Piece = ALine.mid(a, b - a);
        SetTokenAttribute(Attri, IsBlank(Piece));
        FormatToken(Piece);
    }
}

void TLexCustomExporter::ExportRows(const TLexExportLines &ALines, const std::vector<TLexExportRow> &ARows,
                                    std::optional<TLexRange> AStartRange) {
    struct TStreamingGuard {
        bool &Flag;
        explicit TStreamingGuard(bool &AFlag) : Flag(AFlag) { Flag = true; }
        ~TStreamingGuard() { Flag = false; }
    } Guard(FStreaming);
    fBuffer.clear();
    fFirstAttribute = true;
    fLastAttribute = nullptr;
    fRunAttribute = nullptr;
    for (int c = 0; c < 256; ++c)
        fReplacements[c] = ReplaceReservedChar(char16_t(c)).toString();
    fAnsiLimit = AsciiOnly() ? 0x7F : 0xFF;
    TLexCustomHighlighter *H = fHighlighter;
    const int Count = ALines.Count();
    // The range at the start of line CurLine (1-based).
    TLexRange CurRange = 0;
    int CurLine = 1;
    if (H != nullptr && !ARows.empty()) {
        H->ResetRange();
        CurRange = H->GetRange();
        if (AStartRange) {
            CurRange = *AStartRange;
            CurLine = std::max(1, ARows.front().Line);
        }
    }
    for (size_t r = 0; r < ARows.size(); ++r) {
        const TLexExportRow &Row = ARows[r];
        const bool InText = Row.Line >= 1 && Row.Line <= Count;
        const QString Line = InText ? ALines.Get(Row.Line - 1) : QString();
        const int Len = int(Line.size());
        const int From = std::clamp(Row.From, 1, Len + 1) - 1;
        const int To = std::max(From, std::clamp(Row.To, 1, Len + 1) - 1);
        if (H != nullptr && InText) {
            for (; CurLine < Row.Line; ++CurLine) {
                H->SetRange(CurRange);
                H->SetLine(ALines.Get(CurLine - 1), CurLine - 1);
                H->NextToEol();
                CurRange = H->GetRange();
            }
            H->SetRange(CurRange);
            H->SetLine(Line, Row.Line - 1);
            if (From < To) ExportLinePiece(Line, From, To);
            // The next row on another line starts from the range this line ends in.
            if (r + 1 < ARows.size() && ARows[r + 1].Line != Row.Line) {
                H->NextToEol();
                CurRange = H->GetRange();
                CurLine = Row.Line + 1;
            }
        } else if (From < To) {
            ExportLinePiece(Line, From, To);
        }
        if (Row.Padding > 0) {
            const QString Blanks(Row.Padding, QLatin1Char(' '));
            SetTokenAttribute(nullptr, true);
            FormatToken(Blanks);
        }
        if (Row.LineBreak) FormatNewLine();
    }
    if (!fFirstAttribute) FormatAfterLastAttribute();
    InsertData(GetHeader());
    AddData(GetFooter());
}

void TLexCustomExporter::ExportAll(const TLexExportLines &ALines) {
    ExportRange(ALines, BufferCoord(1, 1), BufferCoord(INT_MAX, INT_MAX));
}

void TLexCustomExporter::ExportRange(const TLexExportLines &ALines, TBufferCoord Start, TBufferCoord Stop) {
    std::vector<TLexExportRow> Rows;
    const int Count = ALines.Count();
    if (Stop < Start) std::swap(Start, Stop);
    if (Count > 0 && Start.Line <= Count && Stop.Line >= 1) {
        if (Start.Line < 1) Start = BufferCoord(1, 1);
        if (Stop.Line > Count) Stop = BufferCoord(INT_MAX, Count);
        Rows.reserve(size_t(Stop.Line - Start.Line + 1));
        for (int L = Start.Line; L <= Stop.Line; ++L) {
            TLexExportRow Row;
            Row.Line = L;
            Row.From = L == Start.Line ? std::max(1, Start.Char) : 1;
            Row.To = L == Stop.Line ? Stop.Char : INT_MAX;
            Row.LineBreak = L < Stop.Line;
            Rows.push_back(Row);
        }
    }
    ExportRows(ALines, Rows);
}

// ---- saving and the clipboard -------------------------------------------------------------------------

void TLexCustomExporter::SaveToStream(QIODevice &Stream) {
    QByteArray Bom;
    if (UseBom()) {
        if (FEncoding == seUTF8)
            Bom = QByteArray(reinterpret_cast<const char *>(UTF8BOM.data()), int(UTF8BOM.size()));
        else if (FEncoding == seUTF16LE)
            Bom = QByteArray(reinterpret_cast<const char *>(UTF16BOMLE.data()), int(UTF16BOMLE.size()));
        else if (FEncoding == seUTF16BE)
            Bom = QByteArray(reinterpret_cast<const char *>(UTF16BOMBE.data()), int(UTF16BOMBE.size()));
    }
    if ((!Bom.isEmpty() && Stream.write(Bom) != Bom.size()) || Stream.write(fBuffer) != fBuffer.size())
        throw ELexExporterError(QStringLiteral("Cannot write the export: %1").arg(Stream.errorString()));
}

void TLexCustomExporter::SaveToFile(const QString &FileName) {
    QFile F(FileName);
    if (!F.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw ELexExporterError(QStringLiteral("Cannot create %1: %2").arg(FileName, F.errorString()));
    SaveToStream(F);
    if (!F.flush())
        throw ELexExporterError(QStringLiteral("Cannot write %1: %2").arg(FileName, F.errorString()));
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

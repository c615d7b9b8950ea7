// Loading and saving of the line buffer, with byte-order-mark and UTF-8 detection.

#include "lexedit/LexEditTextBuffer.h"

#include "lexedit/LexUnicode.h"

#include <QFile>
#include <QIODevice>
#include <QSaveFile>

namespace lexedit {

namespace {

constexpr qsizetype UTF8SniffLength = 16384;

bool IsBreak(char16_t c) {
    return c == u'\n' || c == u'\r' || c == u'\x2028';
}

} // namespace

void TLexEditStringList::SetTextAndFileFormat(const QString &Value) {
    bool SawCR = false, SawLF = false, SawLS = false;
    {
        UpdateGuard Bracket(*this);
        Clear();
        const char16_t *P = reinterpret_cast<const char16_t *>(Value.utf16());
        const qsizetype n = Value.size();
        // Count the lines first, so that the records are allocated once.
        qsizetype Lines = 0;
        for (qsizetype i = 0; i < n; ++i)
            if (IsBreak(P[i]) && !(P[i] == u'\n' && i > 0 && P[i - 1] == u'\r')) ++Lines;
        FList.reserve(size_t(Lines + 1));
        qsizetype i = 0;
        while (i < n) {
            const qsizetype Start = i;
            while (i < n && !IsBreak(P[i]))
                ++i;
            FList.emplace_back();
            FList.back().SetText(QStringView(P + Start, i - Start));
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
        if (!FTrailingLineBreak && n > 0 && IsBreak(P[n - 1])) FList.emplace_back();
        if (!FList.empty()) {
            LinesInserted(0, Count());
            if (OnInserted) OnInserted(this, 0, Count());
        }
    }
    if (SawLS)
        FFileFormat = sffUnicode;
    else if (SawCR && !SawLF)
        FFileFormat = sffMac;
    else if (SawLF && !SawCR)
        FFileFormat = sffUnix;
    else
        FFileFormat = sffDos;
}

void TLexEditStringList::LoadFromBytes(QByteArray Bytes, std::optional<TLexEncoding> AEncoding) {
    TLexEncoding Enc = DefaultEncoding();
    qsizetype MarkLength = 0;
    if (!AEncoding) {
        if (const auto FromBOM = EncodingFromBOM(Bytes)) {
            Enc = *FromBOM;
            MarkLength = EncodingPreamble(Enc).size();
        }
    } else {
        Enc = *AEncoding;
        const QByteArray Mark = EncodingPreamble(Enc);
        if (!Mark.isEmpty() && Bytes.startsWith(Mark)) MarkLength = Mark.size();
    }
    bool HasMark = MarkLength > 0;
    if (Enc == seAnsi && FDetectUTF8 && IsUTF8(Bytes, MarkLength, UTF8SniffLength)) Enc = seUTF8;
    bool Ok = true;
    QString Text = DecodeText(QByteArrayView(Bytes).sliced(MarkLength), Enc, &Ok);
    if (!Ok) {
        // Bytes that are not valid in the chosen encoding would be replaced and lost on the next
        // save; the 8-bit code page keeps every byte, mark included.
        Enc = seAnsi;
        HasMark = false;
        Text = DecodeText(Bytes, seAnsi);
    }
    Bytes = QByteArray();
    // Everything that can fail is done; only now the list changes.
    UpdateGuard Bracket(*this);
    FWriteBOM = HasMark;
    FEncoding = Enc;
    SetTextAndFileFormat(Text);
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

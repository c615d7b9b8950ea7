// SPDX-License-Identifier: MIT
#include "lexedit/LexUnicode.h"

#include <QFontMetrics>
#include <QStringDecoder>
#include <QStringEncoder>

namespace lexedit {

QString LineBreakFromFileFormat(TLexEditFileFormat FileFormat) {
    switch (FileFormat) {
    case sffUnix:
        return QStringLiteral("\n");
    case sffMac:
        return QStringLiteral("\r");
    case sffUnicode:
        return QString(WideLineSeparator);
    case sffDos:
        break;
    }
    return QStringLiteral("\r\n");
}

const QChar *GetEOL(const QChar *P) {
    if (P == nullptr) return nullptr;
    while (P->unicode() != 0 && P->unicode() != '\n' && P->unicode() != '\r')
        ++P;
    return P;
}

namespace {

// Calls AddLine(start, length) for every piece of S between CR LF, CR and LF; returns the number
// of pieces, counting the empty one after a final line break.
template <typename TAddLine> int SplitLines(QStringView S, TAddLine AddLine) {
    int Count = 0;
    const qsizetype n = S.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype Start = i;
        while (i < n && S[i] != QLatin1Char('\r') && S[i] != QLatin1Char('\n'))
            ++i;
        AddLine(Start, i - Start);
        ++Count;
        if (i < n && S[i] == QLatin1Char('\r')) {
            ++i;
            if (i < n && S[i] == QLatin1Char('\n')) ++i;
        } else if (i < n) {
            ++i; // LF
        }
    }
    if (n > 0 && (S[n - 1] == QLatin1Char('\r') || S[n - 1] == QLatin1Char('\n'))) {
        AddLine(n, 0);
        ++Count;
    }
    return Count;
}

} // namespace

int CountLines(QStringView S) {
    return SplitLines(S, [](qsizetype, qsizetype) {});
}

QStringList StringToLines(QStringView S) {
    QStringList Result;
    SplitLines(S, [&](qsizetype Start, qsizetype Len) { Result.append(S.mid(Start, Len).toString()); });
    return Result;
}

bool IsAnsiOnly(QStringView WS) {
    for (QChar c : WS)
        if (c.unicode() > 0xFF) return false;
    return true;
}

void StrSwapByteOrder(char16_t *P) {
    if (P == nullptr) return;
    for (; *P != 0; ++P)
        *P = char16_t((*P >> 8) | (*P << 8));
}

QSize GetTextSize(const QFontMetrics &AMetrics, QStringView Str, int Count) {
    QSize Result(0, 0);
    if (Count <= 0) return Result;
    const QString Part = Str.left(Count).toString();
    Result.setWidth(AMetrics.horizontalAdvance(Part));
    Result.setHeight(AMetrics.height());
    return Result;
}

bool IsUTF8(QByteArrayView Bytes, qsizetype Start, qsizetype BytesToCheck) {
    if (Start < 0) Start = 0;
    const qsizetype Limit = std::min(Bytes.size(), Start + std::max<qsizetype>(BytesToCheck, 0));
    auto At = [&](qsizetype i) { return uint8_t(Bytes[i]); };
    auto IsCont = [](uint8_t b) { return b >= 0x80 && b <= 0xBF; };
    qsizetype i = Start;
    while (i < Limit) {
        const uint8_t b = At(i);
        if (b <= 0x7F) {
            ++i;
            continue;
        }
        if (b <= 0xC1 || b >= 0xF5) return false;
        // The byte after E0, ED, F0 and F4 has a narrower range; it counts as one of the
        // continuation bytes.
        int Expected;
        uint8_t Lo = 0x80, Hi = 0xBF;
        if (b <= 0xDF)
            Expected = 1;
        else if (b <= 0xEF) {
            Expected = 2;
            if (b == 0xE0)
                Lo = 0xA0;
            else if (b == 0xED)
                Hi = 0x9F;
        } else {
            Expected = 3;
            if (b == 0xF0)
                Lo = 0x90;
            else if (b == 0xF4)
                Hi = 0x8F;
        }
        qsizetype j = i + 1;
        if (j >= Limit || At(j) < Lo || At(j) > Hi) return false;
        // Counting goes on past the expected number (up to 4), so that a stray continuation
        // byte after a complete sequence rejects it.
        int Count = 0;
        while (j < Limit && Count < 4 && IsCont(At(j))) {
            ++Count;
            ++j;
        }
        return Count == Expected;
    }
    return false;
}

QByteArray EncodingPreamble(TLexEncoding AEncoding) {
    switch (AEncoding) {
    case seUTF8:
        return QByteArray(reinterpret_cast<const char *>(UTF8BOM.data()), qsizetype(UTF8BOM.size()));
    case seUTF16LE:
        return QByteArray(reinterpret_cast<const char *>(UTF16BOMLE.data()), qsizetype(UTF16BOMLE.size()));
    case seUTF16BE:
        return QByteArray(reinterpret_cast<const char *>(UTF16BOMBE.data()), qsizetype(UTF16BOMBE.size()));
    case seAnsi:
        break;
    }
    return QByteArray();
}

std::optional<TLexEncoding> EncodingFromBOM(QByteArrayView Bytes) {
    for (TLexEncoding e : {seUTF8, seUTF16LE, seUTF16BE})
        if (Bytes.startsWith(EncodingPreamble(e))) return e;
    return std::nullopt;
}

namespace {

QStringConverter::Encoding QtEncoding(TLexEncoding AEncoding) {
    switch (AEncoding) {
    case seUTF8:
        return QStringConverter::Utf8;
    case seUTF16LE:
        return QStringConverter::Utf16LE;
    case seUTF16BE:
        return QStringConverter::Utf16BE;
    case seAnsi:
        break;
    }
    return QStringConverter::Latin1;
}

} // namespace

QString DecodeText(QByteArrayView Bytes, TLexEncoding AEncoding, bool *Ok) {
    bool Good = true;
    QString Result;
    if (AEncoding == seAnsi) {
        Result = QString::fromLatin1(Bytes);
    } else {
        // An odd trailing byte of UTF-16 cannot be decoded.
        if ((AEncoding == seUTF16LE || AEncoding == seUTF16BE) && Bytes.size() % 2 != 0) {
            Good = false;
            Bytes = Bytes.first(Bytes.size() - 1);
        }
        QStringDecoder Decoder(QtEncoding(AEncoding), QStringConverter::Flag::Stateless);
        Result = Decoder.decode(Bytes);
        Good = Good && !Decoder.hasError();
    }
    if (Ok) *Ok = Good;
    return Result;
}

QByteArray EncodeText(QStringView Text, TLexEncoding AEncoding) {
    if (AEncoding == seAnsi) {
        QByteArray Result(Text.size(), Qt::Uninitialized);
        char *d = Result.data();
        for (QChar c : Text)
            *d++ = c.unicode() > 0xFF ? '?' : char(c.unicode());
        return Result;
    }
    QStringEncoder Encoder(QtEncoding(AEncoding), QStringConverter::Flag::Stateless);
    return Encoder.encode(Text);
}

} // namespace lexedit

// SPDX-License-Identifier: MIT
#pragma once
// Line breaks, line counting and splitting, byte-order marks, the text encodings of the editor
// and UTF-8 sniffing.

#include "lexedit/LexEditTypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

class QFontMetrics;

namespace lexedit {

// CR LF, LF, CR or U+2028.
QString LineBreakFromFileFormat(TLexEditFileFormat FileFormat);

// The first character at or after P that is NUL, LF or CR; nullptr for nullptr. P must point into
// a NUL-terminated sequence.
const QChar *GetEOL(const QChar *P);

// Number of lines of S: CR LF, a lone CR and a lone LF each end one line, and a final line break
// starts one more (empty) line. "" gives 0, "a" 1, "a" CR LF 2.
int CountLines(QStringView S);
// The CountLines(S) pieces of S between its line breaks.
QStringList StringToLines(QStringView S);

// True when every character of WS exists in the 8-bit code page (ISO-8859-1).
bool IsAnsiOnly(QStringView WS);

// Swaps the two bytes of every 16-bit unit of a NUL-terminated sequence in place.
void StrSwapByteOrder(char16_t *P);

// Width and height of the first Count characters of Str in the font of AMetrics.
QSize GetTextSize(const QFontMetrics &AMetrics, QStringView Str, int Count);

// Whether Bytes[Start .. Start + BytesToCheck) holds at least one well-formed multi-byte UTF-8
// sequence and nothing that cannot be UTF-8 before it. Pure ASCII gives False.
bool IsUTF8(QByteArrayView Bytes, qsizetype Start, qsizetype BytesToCheck);

// The byte-order mark of an encoding (empty for the 8-bit code page).
QByteArray EncodingPreamble(TLexEncoding AEncoding);
// The encoding whose byte-order mark starts Bytes, if any.
std::optional<TLexEncoding> EncodingFromBOM(QByteArrayView Bytes);
// Decodes Bytes; Ok (when given) is set to False when some bytes were not valid in the encoding
// and had to be replaced. The 8-bit code page always decodes without loss.
QString DecodeText(QByteArrayView Bytes, TLexEncoding AEncoding, bool *Ok = nullptr);
// Encodes Text; characters the 8-bit code page lacks become '?'.
QByteArray EncodeText(QStringView Text, TLexEncoding AEncoding);

} // namespace lexedit

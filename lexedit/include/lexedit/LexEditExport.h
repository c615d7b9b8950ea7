// SPDX-License-Identifier: MIT
#pragma once
// Export of highlighted text. TLexCustomExporter walks lines with a highlighter, notices where
// the look of the text (background, foreground, font style) changes, and writes the text wrapped
// in the markup of one format, in one text encoding, into a byte buffer that can be saved or put
// on the clipboard. The format is given by a derived class (TLexExporterHTML, LexExportHTML.h).
//
// Every line is scanned whole, from the range the line above ends in, so a piece cut out of a
// line or a range starting in the middle of a file is coloured exactly as the editor shows it.

#include "common/Exception.h"
#include "lexedit/LexColor.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditTypes.h"
#include "lexedit/LexSet.h"

#include <QByteArray>
#include <QObject>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QIODevice;
class QMimeData;

namespace lexedit {

class TLexCustomHighlighter;
class TLexHighlighterAttributes;

// An encoding the exporter does not support: "%s encoding is not supported by %s-exporter".
COMMON_DECLARE_EXCEPTION(ELexExporterError, common::Exception)

using TLexEncodings = TSet<TLexEncoding, uint8_t>;

// The lines an export reads: a QStringList or a line buffer (kept by the caller during the call).
class TLexExportLines {
public:
    TLexExportLines(const QStringList &ALines);        // NOLINT(google-explicit-constructor)
    TLexExportLines(const TLexEditStringList &ALines); // NOLINT(google-explicit-constructor)
    int Count() const { return FCount; }
    // 0-based.
    QString Get(int AIndex) const { return FGet(AIndex); }
    // Puts line AIndex into ADest, reusing its storage when no one else shares it.
    void GetInto(int AIndex, QString &ADest) const;

private:
    int FCount = 0;
    std::function<QString(int)> FGet;
    const TLexEditStringList *FList = nullptr; // lines held as 8-bit text are widened in place
};

// One piece of an export: the characters [From, To) (1-based, within the line) of line Line
// (1-based), then Padding blanks, then a line break when LineBreak is set.
struct TLexExportRow {
    int Line = 1;
    int From = 1;
    int To = 1;
    int Padding = 0;
    bool LineBreak = false;
};

// The default text font of an export: name, size in points, colour and style.
struct TLexExportFont {
    QString Name;
    int Size = 10;
    TColor Color = clWindowText;
    TFontStyles Style;
};

class TLexCustomExporter : public QObject {
public:
    explicit TLexCustomExporter(QObject *AOwner = nullptr);
    ~TLexCustomExporter() override;
    TLexCustomExporter(const TLexCustomExporter &) = delete;
    TLexCustomExporter &operator=(const TLexCustomExporter &) = delete;

    // Empties the buffer and resets the run state.
    void Clear();
    // ExportRange from the first character of the first line to the end of the last one.
    void ExportAll(const TLexExportLines &ALines);
    // The characters from Start up to (not including) Stop. Positions are clamped into the text
    // (a line below 1 is line 1, a character past a line's end is its end); reversed positions
    // are swapped; an empty range exports an empty body. Without a highlighter the text is
    // exported in the default look.
    void ExportRange(const TLexExportLines &ALines, TBufferCoord Start, TBufferCoord Stop);
    // Exports the pieces ARows (in ascending line order; a line may repeat). AStartRange is the
    // highlighter's range at the start of the first row's line; without it the lines above are
    // scanned from the first line.
    void ExportRows(const TLexExportLines &ALines, const std::vector<TLexExportRow> &ARows,
                    std::optional<TLexRange> AStartRange = std::nullopt);
    // ExportAll then SaveToStream, for big texts: when the format's header does not depend on the
    // body, the output goes to Stream as the walk goes, so that only a small part of it is held
    // in memory. The buffer is empty afterwards. Failures raise ELexExporterError.
    void ExportAllToStream(const TLexExportLines &ALines, QIODevice &Stream);
    // The same into a file, which replaces an earlier one only once it is complete.
    void ExportAllToFile(const TLexExportLines &ALines, const QString &FileName);
    // The buffer, after a byte-order mark for the UTF-16 encodings.
    void SaveToStream(QIODevice &Stream);
    // Writes the buffer to a file, which replaces an earlier one only once it is complete;
    // failures raise ELexExporterError and leave the earlier file as it was.
    void SaveToFile(const QString &FileName);
    // As text (ExportAsText): the buffer decoded as text/plain. Otherwise the format's clipboard
    // flavour (FillMimeData). The buffer itself is never changed.
    void CopyToClipboard();
    // Adds the format's flavour of the buffer to AData (the base adds the decoded text).
    virtual void FillMimeData(QMimeData &AData) const;
    // The buffer decoded from the export encoding.
    QString BufferText() const;

    const QByteArray &Buffer() const { return fBuffer; }
    qsizetype GetBufferSize() const { return fLen - fStart; }
    virtual QString GetFormatName() const { return QString(); }
    virtual TLexEncodings SupportedEncodings() const = 0;

    TLexCustomHighlighter *Highlighter() const { return fHighlighter; }
    // Not owned: the caller keeps it alive while the exporter uses it.
    void SetHighlighter(TLexCustomHighlighter *Value);
    TColor Color() const { return fBackgroundColor; }
    void SetColor(TColor Value) { fBackgroundColor = Value; }
    TLexEncoding Encoding() const { return FEncoding; }
    // Ignored during an export; an unsupported encoding raises ELexExporterError.
    void SetEncoding(TLexEncoding Value);
    bool ExportAsText() const { return fExportAsText; }
    void SetExportAsText(bool Value);
    const TLexExportFont &Font() const { return fFont; }
    void SetFont(const TLexExportFont &Value) { fFont = Value; }
    // The default font: DefaultFontName, 10 points, clWindowText, no style.
    void AssignFont(const TLexExportFont *Value);
    QString Title() const { return fTitle; }
    // An empty title becomes "Untitled".
    void SetTitle(const QString &Value);
    bool UseBackground() const { return fUseBackground; }
    void SetUseBackground(bool Value);
    QString DefaultFilter() const { return fDefaultFilter; }
    void SetDefaultFilter(const QString &Value) { fDefaultFilter = Value; }
    // The palette that resolves system colours (the application's, else a light one).
    const QPalette &Palette() const { return fPalette; }
    void SetPalette(const QPalette &Value) { fPalette = Value; }

    static QString EncodingStr(TLexEncoding AEncoding);

protected:
    // The format's markup. The flags tell which of background, foreground and style changed;
    // AStyles is the set of styles removed (Done) or added (Init, and all of the first run).
    virtual void FormatAttributeDone(bool BackgroundChanged, bool ForegroundChanged, TFontStyles AStyles) = 0;
    virtual void FormatAttributeInit(bool BackgroundChanged, bool ForegroundChanged, TFontStyles AStyles) = 0;
    virtual void FormatAfterLastAttribute() = 0;
    virtual void FormatBeforeFirstAttribute(bool BackgroundChanged, bool ForegroundChanged,
                                            TFontStyles AStyles) = 0;
    // Writes the token's text (already through ReplaceReservedChar and the encoding).
    virtual void FormatToken(QStringView Token);
    virtual void FormatNewLine() = 0;
    virtual QString GetHeader() = 0;
    virtual QString GetFooter() = 0;
    // The replacement of a character of the text, or an empty view when it stays as it is.
    // Asked once per export for each character below 256.
    virtual QStringView ReplaceReservedChar(char16_t AChar) const = 0;
    // The text written for a character the 8-bit encoding cannot hold.
    virtual QString UnencodableChar(char32_t ACode) const;
    virtual bool UseBom() const = 0;
    // True when GetHeader does not depend on the body, so that an export can be written out as
    // it goes.
    virtual bool HeaderBeforeBody() const { return false; }
    // In the 8-bit encoding, write only ASCII (other characters through UnencodableChar).
    virtual bool AsciiOnly() const { return false; }

    // Writes AText in the export encoding at the end of the buffer, without replacements.
    void AddData(QStringView AText);
    // Writes bytes already in the export encoding (made by Encoded) at the end of the buffer.
    // Bytes that are written often (tags) are copied eight at a time when their array has room
    // to read past its end (PadForAddBytes gives them that); otherwise by a plain loop, which for
    // these short texts costs less than a call of memcpy.
    void AddBytes(const QByteArray &ABytes) {
        const qsizetype n = ABytes.size();
        char *p = Room(n + 8);
        const char *q = ABytes.constData();
        if (ABytes.capacity() >= n + 8)
            for (qsizetype i = 0; i < n; i += 8)
                std::memcpy(p + i, q + i, 8);
        else
            for (qsizetype i = 0; i < n; ++i)
                p[i] = q[i];
        fLen += n;
    }
    static void PadForAddBytes(QByteArray &ABytes) { ABytes.reserve(ABytes.size() + 8); }
    // AText in the export encoding, without replacements.
    QByteArray Encoded(QStringView AText) const;
    // Puts AText in front of everything written so far.
    void InsertData(QStringView AText);
    // The bytes AText takes in the export encoding.
    qsizetype StringSize(QStringView AText) const;

    // The run now open.
    TColor LastBG() const { return fLastBG; }
    TColor LastFG() const { return fLastFG; }
    TFontStyles LastStyle() const { return fLastStyle; }
    // The attribute of the token that opened the run (null: the default look).
    TLexHighlighterAttributes *RunAttribute() const { return fRunAttribute; }
    // The number of RunAttribute among the attributes met so far in this export (0 for the first
    // one met, null included): a format may keep what it makes per attribute under it.
    int RunAttributeIndex() const { return fRunIndex; }
    // Whether an export is running.
    bool Streaming() const { return FStreaming; }
    // The RGB value of C, or of ADefault when C is clNone.
    TColor ValidatedColor(TColor C, TColor ADefault) const;
    // The RGB value of the default text colour.
    TColor FontColorRGB() const { return FStreaming ? fFontRGB : ValidatedColor(fFont.Color, clWindowText); }
    // The RGB value of the page background.
    TColor BackgroundRGB() const {
        return FStreaming ? fPageRGB : ValidatedColor(fBackgroundColor, clWindow);
    }
    // Called at the start of every export, before anything is written.
    virtual void BeginExport() {}

private:
    // Opens a new run for the token AText of attribute Attri (number AIndex in fLooks) when its
    // look differs from the run's.
    void SetTokenAttribute(TLexHighlighterAttributes *Attri, int AIndex, QStringView AText);
    struct TLook {
        TColor BG = 0;
        TColor FG = 0;
        TFontStyles Style;
        int Id = 0; // the number of the first attribute in fLooks with the same look
    };
    // The number of an attribute (null: the default look) in fLooks, where its resolved look is
    // kept during an export.
    int LookIndex(TLexHighlighterAttributes *Attri) {
        const TLookSlot &Slot = fLookSlots[LookSlot(Attri)];
        return Slot.Attri == Attri && Slot.Index >= 0 ? Slot.Index : FindLook(Attri);
    }
    static size_t LookSlot(const TLexHighlighterAttributes *Attri) {
        return size_t((uint64_t(reinterpret_cast<uintptr_t>(Attri)) * 0x9E3779B97F4A7C15ULL) >> 58);
    }
    int FindLook(TLexHighlighterAttributes *Attri);
    int AddLook(TLexHighlighterAttributes *Attri);
    // The state of the walk between two rows: the highlighter's range at the start of line Line.
    struct TRowWalk {
        TLexRange Range = 0;
        int Line = 1;
    };
    // An export: StartBody, then ExportRow for every row (ANextLine: the line of the row after
    // it, 0 after the last), then FinishBody.
    TRowWalk StartBody(int AFirstLine, std::optional<TLexRange> AStartRange, bool AHasRows);
    void ExportRow(const TLexExportLines &ALines, const TLexExportRow &Row, int ANextLine, TRowWalk &AWalk);
    void FinishBody();
    // While exporting to a stream: writes out what the buffer holds.
    void WriteOut(const char *AData, qsizetype ASize);
    void FlushToStream();
    // Writes AText in the export encoding, with the format's replacements when AReplace.
    void Emit(QStringView AText, bool AReplace);
    void EmitOther(QStringView AText, bool AReplace);
    void WriteText(QStringView AText);
    // The text of the open run not written yet (a piece of the line being exported).
    void FlushPending();
    void PutCode(char32_t ACode);
    // Space for AMore bytes after those written; Settle cuts the buffer to what was written.
    char *Room(qsizetype AMore) {
        // The buffer's size is its capacity while writing; fLen counts the bytes written.
        return fLen + AMore <= fBuffer.size() ? fBuffer.data() + fLen : Grow(AMore);
    }
    char *Grow(qsizetype AMore);
    void Settle();
    void TakeWhitespaceBackground();
    void ExportLinePiece(QStringView ALine, int AFrom, int ATo);

    QByteArray fBuffer;
    qsizetype fStart = 0; // where the output starts in fBuffer (room for the header before it)
    qsizetype fLen = 0;   // the end of what is written to fBuffer
    TColor fPageRGB = 0;  // BackgroundRGB and FontColorRGB during an export
    TColor fFontRGB = 0;
    int FCharSize = 1;
    bool fFirstAttribute = true;
    bool FStreaming = false;
    TColor fBackgroundColor = clWindow;
    QString fDefaultFilter;
    TLexEncoding FEncoding = seUTF8;
    bool fExportAsText = false;
    TLexExportFont fFont;
    TLexCustomHighlighter *fHighlighter = nullptr; // not owned
    TColor fLastBG = clWindow;
    TColor fLastFG = clWindowText;
    TFontStyles fLastStyle;
    TLexHighlighterAttributes *fRunAttribute = nullptr;
    int fRunIndex = 0;
    int fRunLook = 0; // the Id of the run's look
    TLexHighlighterAttributes *fLastAttribute = nullptr;
    TLexHighlighterAttributes *fJoinedAttribute = nullptr; // another attribute met in the run
    QString fTitle;
    bool fUseBackground = false;
    char32_t fAnsiLimit = 0xFF; // the largest code written as one byte in the 8-bit encoding
    QPalette fPalette;
    // The replacements of the characters below 256 during an export.
    std::array<QString, 256> fReplacements;
    std::array<bool, 256> fReplaced{};
    // The UTF-8 bytes of the ASCII characters' replacements, and the ASCII characters written
    // as they are (those without a replacement).
    std::array<QByteArray, 128> fAsciiReplacements;
    std::array<bool, 128> fAsciiPlain{};
    // The same as eight bytes and a length for each ASCII character (its own byte or its
    // replacement), when every replacement fits: Emit then writes ASCII without a branch.
    std::array<std::array<char, 8>, 128> fAsciiOut{};
    std::array<uint8_t, 128> fAsciiOutLength{};
    bool fAsciiOutTable = false;
    QStringView fPending;
    QIODevice *fStream = nullptr;     // where the output goes during ExportAllToStream
    std::array<QString, 2> fLineText; // the line being exported and the one before it
    int fLineTurn = 0;
    // The attributes met in this export with their looks, and a table from an attribute's address
    // to its number there (hashed, probed linearly; -1: a free slot).
    std::vector<std::pair<TLexHighlighterAttributes *, TLook>> fLooks;
    struct TLookSlot {
        const TLexHighlighterAttributes *Attri = nullptr;
        int Index = -1;
        int Id = -1; // the look's Id
    };
    std::array<TLookSlot, 64> fLookSlots; // LookSlot gives 6 bits
};

} // namespace lexedit

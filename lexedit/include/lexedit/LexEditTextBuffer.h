// SPDX-License-Identifier: MIT
#pragma once
// TLexEditStringList: the text of one editor as an array of lines, with per line the
// highlighter's range at its end, a cached display length and tab flags; change notifications;
// loading with byte-order-mark and UTF-8 detection and saving in every file format.
//
// Line indexes are 0-based here (an editor's TBufferCoord.Line is the index plus 1).

#include "common/Exception.h"
#include "lexedit/LexEditTypes.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QIODevice;

namespace lexedit {

// The highlighter's state at the end of a line: an opaque pointer-sized value, compared only for
// equality.
using TLexRange = intptr_t;
// The range of a line that was never scanned.
inline constexpr TLexRange NullRange = -1;

// An index out of range of a changing operation: "Invalid stringlist index %d"; also failed
// loads and saves.
COMMON_DECLARE_EXCEPTION(ELexEditStringList, common::Exception)
// The general list error (a capacity below the count, an attribute index out of bounds).
COMMON_DECLARE_EXCEPTION(EListError, common::Exception)

// The storage of the lines (defined with the implementation).
class TLexEditLineStore;
struct TLexLoadedLines;

class TLexEditStringList;
struct TLexTakenLines;
struct TLexSwappedLines;

using TLexStringListNotifyEvent = std::function<void(TLexEditStringList *Sender)>;
using TStringListChangeEvent = std::function<void(TLexEditStringList *Sender, int Index, int Count)>;
using TStringListPutEvent =
    std::function<void(TLexEditStringList *Sender, int Index, const QString &OldLine)>;
using TStringListExchangeEvent = std::function<void(TLexEditStringList *Sender, int Index1, int Index2)>;
// Saving in the 8-bit code page would lose characters: the handler may pick another encoding or
// cancel the save.
using TLexInfoLossEvent = std::function<void(TLexEncoding &Encoding, bool &Cancel)>;
// Widens the wide glyphs of a tab-expanded line (the editor's ExpandAtWideGlyphs).
using TExpandAtWideGlyphsFunc = std::function<QString(const QString &S)>;

class TLexEditStringList {
public:
    explicit TLexEditStringList(TExpandAtWideGlyphsFunc AExpandAtWideGlyphsFunc = {});
    ~TLexEditStringList();
    TLexEditStringList(const TLexEditStringList &) = delete;
    TLexEditStringList &operator=(const TLexEditStringList &) = delete;

    // Reading; none of these notifies and none raises for an index out of range.
    int Count() const;
    int Capacity() const;
    QString Get(int Index) const;
    // The line's characters as Latin-1 bytes when the line is held that way (the bytes stay
    // valid until the buffer changes); false for a line held as UTF-16 (read it with Get).
    bool GetLatin1(int Index, QLatin1String &AText) const;
    // The lines from Index on that lie one after another in one block of bytes with exactly one
    // line break (CR, LF or CR LF) between each two, as a loaded file's lines do until they are
    // edited: their number (0 when line Index does not start such a run), and the bytes from the
    // start of line Index to the end of the last of them. Searches use it to hand many lines to
    // an engine at once. The bytes stay valid until the buffer changes.
    int GetLatin1Run(int Index, QLatin1String &ABytes) const;
    QString Strings(int Index) const { return Get(Index); }
    void *GetObject(int Index) const;
    TLexRange GetRange(int Index) const;
    TLexRange Ranges(int Index) const { return GetRange(Index); }
    QString ExpandedStrings(int Index) const;
    int ExpandedStringLengths(int Index) const;
    int LengthOfLongestLine() const;
    int LineCharLength(int Index) const;
    int LineCharIndex(int Index) const;
    QString GetSeparatedText(const QString &Separators) const;
    QString Text() const;
    QStringList ToStringList() const;

    // Changing.
    int Add(const QString &S);
    void Insert(int Index, const QString &S);
    void InsertLines(int Index, int NumLines);
    void InsertStrings(int Index, const QStringList &Strings, int FromIndex = 0);
    void AddStrings(const QStringList &Strings);
    void InsertText(int Index, const QString &NewText);
    void Put(int Index, const QString &S);
    void PutObject(int Index, void *AObject);
    void PutRange(int Index, TLexRange ARange);
    void Delete(int Index);
    void DeleteLines(int Index, int NumLines);
    void Exchange(int Index1, int Index2);
    void Clear();
    void SetText(const QString &S);
    // Replaces the text, cutting it at CR LF, CR, LF and U+2028, and sets FileFormat from the
    // breaks found. A text ending in a line break gets an empty last line.
    void SetTextAndFileFormat(const QString &Value);
    void SetCapacity(int NewCapacity);
    // Moves the lines from Index to the end out of the list whole, with their stored ranges and
    // display lengths, for a caller that may put them back (the undo of deleting them); notified
    // as DeleteLines. Their objects are dropped, as DeleteLines drops them.
    std::shared_ptr<TLexTakenLines> TakeLines(int Index);
    // Puts lines taken by TakeLines back at Index, each with its stored range; notified as
    // InsertStrings. The set is empty afterwards.
    void RestoreLines(int Index, TLexTakenLines &ALines);
    // Exchanges the texts of the lines listed in ALines with the other texts held there for them
    // (a change that rewrote those lines in place, its undo and its redo), without copying
    // text; the lines keep their stored ranges. Either every text is exchanged or (an exception)
    // none. Then AExchanged is called (where a caller records the change; an exception of it
    // passes on after the notifications), and each line is notified as by Put, in the order of
    // the set or (AReverse) the reverse.
    void SwapLines(TLexSwappedLines &ALines, bool AReverse = false,
                   const std::function<void()> &AExchanged = {});

    int TabWidth() const { return FTabWidth; }
    void SetTabWidth(int Value);
    // The width of wide glyphs changed: every display length is recomputed.
    void FontChanged();

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // Loading and saving. Without an encoding, loading detects it from a byte-order mark or by
    // sniffing for UTF-8, and saving uses the encoding of the last load.
    void LoadFromStream(QIODevice &Stream, std::optional<TLexEncoding> AEncoding = std::nullopt);
    void LoadFromFile(const QString &FileName);
    void SaveToStream(QIODevice &Stream, std::optional<TLexEncoding> AEncoding = std::nullopt);
    void SaveToFile(const QString &FileName);
    // Loads from bytes already in memory (what LoadFromStream does after reading).
    void LoadFromBytes(QByteArray Bytes, std::optional<TLexEncoding> AEncoding = std::nullopt);

    TLexEditFileFormat FileFormat() const { return FFileFormat; }
    void SetFileFormat(TLexEditFileFormat Value) { FFileFormat = Value; }
    // The encoding of the last load; none (the default encoding) before any load.
    std::optional<TLexEncoding> Encoding() const { return FEncoding; }
    void SetEncoding(std::optional<TLexEncoding> Value) { FEncoding = Value; }
    static constexpr TLexEncoding DefaultEncoding() { return seAnsi; }
    QString LineBreak() const { return FLineBreak; }
    void SetLineBreak(const QString &Value) { FLineBreak = Value; }
    bool WriteBOM() const { return FWriteBOM; }
    void SetWriteBOM(bool Value) { FWriteBOM = Value; }
    bool TrailingLineBreak() const { return FTrailingLineBreak; }
    void SetTrailingLineBreak(bool Value) { FTrailingLineBreak = Value; }
    bool DetectUTF8() const { return FDetectUTF8; }
    void SetDetectUTF8(bool Value) { FDetectUTF8 = Value; }

    // Notifications; replaceable, not called when empty.
    TLexStringListNotifyEvent OnChange;
    TLexStringListNotifyEvent OnChanging;
    TLexStringListNotifyEvent OnCleared;
    TStringListChangeEvent OnDeleted;
    TStringListChangeEvent OnInserted;
    TStringListPutEvent OnPut;
    // Two lines swapped places, each with its stored range and object (Exchange).
    TStringListExchangeEvent OnExchanged;
    TLexInfoLossEvent OnInfoLoss;

    // RAII form of BeginUpdate / EndUpdate. While an exception is already on its way out, an
    // exception thrown by the OnChange handler is dropped instead of ending the process.
    class UpdateGuard {
    public:
        explicit UpdateGuard(TLexEditStringList &AList)
            : FList(AList), FUncaught(std::uncaught_exceptions()) {
            FList.BeginUpdate();
        }
        ~UpdateGuard() noexcept(false) {
            if (std::uncaught_exceptions() > FUncaught) {
                try {
                    FList.EndUpdate();
                } catch (...) {
                }
            } else {
                FList.EndUpdate();
            }
        }
        UpdateGuard(const UpdateGuard &) = delete;
        UpdateGuard &operator=(const UpdateGuard &) = delete;

    private:
        TLexEditStringList &FList;
        int FUncaught;
    };

private:
    [[noreturn]] static void ListIndexError(int Index);
    // Writes the text; False when OnInfoLoss cancelled.
    bool WriteText(QIODevice &Stream, std::optional<TLexEncoding> AEncoding);
    QString ExpandString(int Index) const;
    void Grow(int Needed);
    void InsertRecords(int Index, std::vector<QString> &&Lines);
    void RemoveRecords(int Index, int Num);
    void InvalidateExpandedLengths();
    // Sets or (for null) removes the object of a line in the side table.
    void StoreObject(int Index, void *AObject);
    // Cache bookkeeping of the longest line and the character indexes.
    void ForgetLongestLine();
    void LinesInserted(int Index, int Num);
    void LinesDeleted(int Index, int Num);
    void LineChanged(int Index);
    void MarkPending(int From, int To) const;
    // Replaces the lines by loaded ones, notifying as SetTextAndFileFormat does.
    void AssignLoadedLines(TLexLoadedLines &&Loaded);

    // The records, their blocks and caches; the const readers fill the display-length and
    // character-index caches lazily.
    std::unique_ptr<TLexEditLineStore> FStore;
    int FUpdateCount = 0;
    TLexEditFileFormat FFileFormat = sffDos;
    TConvertTabsProcEx FConvertTabsProc = nullptr;
    int FTabWidth = 8;
    TExpandAtWideGlyphsFunc FExpandAtWideGlyphsFunc;
    bool FDetectUTF8 = true;
    std::optional<TLexEncoding> FEncoding;
    QString FLineBreak = QStringLiteral("\r\n");
    bool FWriteBOM = false;
    bool FTrailingLineBreak = false;
};

} // namespace lexedit

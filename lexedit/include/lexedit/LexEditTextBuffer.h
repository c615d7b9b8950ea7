#pragma once
// TLexEditStringList: the text of one editor as an array of lines, with per line the
// highlighter's range at its end, a cached display length and tab flags; change notifications;
// loading with byte-order-mark and UTF-8 detection and saving in every file format.
//
// Line indexes are 0-based here (an editor's TBufferCoord.Line is the index plus 1).

#include "common/Exception.h"
#include "lexedit/LexEditTypes.h"
#include "lexedit/LexSet.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <exception>
#include <functional>
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

enum TLexEditStringFlag : uint8_t { sfHasTabs, sfHasNoTabs, sfExpandedLengthUnknown };
using TLexEditStringFlags = TSet<TLexEditStringFlag, uint8_t>;

// One line: its characters, the highlighter's range at its end, the cached display length, the
// cached index of its first character in the text, and the tab flags (32 bytes on 64-bit
// systems). The characters are held in one of three forms, chosen by SetText:
//  - none (FData null) for an empty line;
//  - Latin-1 bytes (FData a malloc'd char[FLength]) when every character is below U+0100 and
//    the line has at most MaxLatin1Length characters: half the size of UTF-16, and no string
//    header; readers get a QString built on demand;
//  - a QString (FData a QString *, FWide set) otherwise, so that other characters and very long
//    lines are returned without copying.
// The objects of the lines are held by the list in a side table (most lines have none).
struct TLexEditStringRec {
    // The longest line held as Latin-1 bytes: converting it on each read stays cheap.
    static constexpr qsizetype MaxLatin1Length = 4096;

    TLexEditStringRec() noexcept = default;
    ~TLexEditStringRec() { FreeText(); }
    TLexEditStringRec(TLexEditStringRec &&Other) noexcept
        : FData(std::exchange(Other.FData, nullptr)), FRange(Other.FRange),
          FLength(std::exchange(Other.FLength, 0)), FExpandedLength(Other.FExpandedLength),
          FCharIndex(Other.FCharIndex), FFlags(Other.FFlags), FWide(std::exchange(Other.FWide, false)) {}
    TLexEditStringRec &operator=(TLexEditStringRec &&Other) noexcept {
        if (this != &Other) {
            FreeText();
            FData = std::exchange(Other.FData, nullptr);
            FLength = std::exchange(Other.FLength, 0);
            FWide = std::exchange(Other.FWide, false);
            FRange = Other.FRange;
            FExpandedLength = Other.FExpandedLength;
            FCharIndex = Other.FCharIndex;
            FFlags = Other.FFlags;
        }
        return *this;
    }
    TLexEditStringRec(const TLexEditStringRec &) = delete;
    TLexEditStringRec &operator=(const TLexEditStringRec &) = delete;

    // Replaces the characters (not the cached values). The QString form shares S.
    void SetText(const QString &S);
    void SetText(QStringView S);
    QString Text() const;
    // Appends the characters to Dest.
    void AppendTo(QString &Dest) const;
    int Length() const { return FLength; }
    bool IsWide() const { return FWide; }
    // The Latin-1 bytes (FLength of them); only when the line is not empty and not wide.
    const char *Latin1() const { return static_cast<const char *>(FData); }
    // The QString form; only when IsWide().
    const QString &Wide() const { return *static_cast<const QString *>(FData); }

    void *FData = nullptr;
    TLexRange FRange = NullRange;
    int32_t FLength = 0;
    int32_t FExpandedLength = -1;
    int32_t FCharIndex = 0;
    TLexEditStringFlags FFlags{sfExpandedLengthUnknown};
    bool FWide = false;

private:
    void FreeText() noexcept;
};

class TLexEditStringList;

using TLexStringListNotifyEvent = std::function<void(TLexEditStringList *Sender)>;
using TStringListChangeEvent = std::function<void(TLexEditStringList *Sender, int Index, int Count)>;
using TStringListPutEvent =
    std::function<void(TLexEditStringList *Sender, int Index, const QString &OldLine)>;
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
    int Count() const { return int(FList.size()); }
    int Capacity() const { return int(FList.capacity()); }
    QString Get(int Index) const;
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
    // Sets or (for null) removes the object of a line in FObjects.
    void StoreObject(int Index, void *AObject);
    // Cache bookkeeping of the longest line and the character indexes.
    void ForgetLongestLine();
    void LinesInserted(int Index, int Num);
    void LinesDeleted(int Index, int Num);
    void LineChanged(int Index);
    void MarkPending(int From, int To) const;

    // Mutable: the const readers fill the display-length and character-index caches lazily.
    mutable std::vector<TLexEditStringRec> FList;
    // The objects of the lines that have one, as (line index, object) sorted by index; kept in
    // step with insertions, deletions and exchanges.
    std::vector<std::pair<int, void *>> FObjects;
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

    // Longest line: while FLongestKnown, FIndexOfLongestLine is the first line with the strictly
    // greatest display length among all lines outside [FPendingFrom, FPendingTo) (-1 when they
    // are all empty); the lines inside that span still have to be compared.
    mutable bool FLongestKnown = false;
    mutable int FIndexOfLongestLine = -1;
    mutable int FPendingFrom = 0;
    mutable int FPendingTo = 0;
    // The FCharIndex fields of the first FValidCharIndexes lines are current.
    mutable int FValidCharIndexes = 0;
};

} // namespace lexedit

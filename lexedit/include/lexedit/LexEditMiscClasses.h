// SPDX-License-Identifier: MIT
#pragma once
// Small helper classes owned by the editor: the mark list (bookmarks and other line marks), the
// plug-in base class with the notifications a plug-in may ask for, and the search-engine contract.

#include "common/Exception.h"
#include "lexedit/LexEditTypes.h"
#include "lexedit/LexSet.h"

#include <QImage>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QRect;

namespace lexedit {

class TCustomLexEdit;

class TLexEditMarkList;

// One mark on a line: a bookmark (BookmarkNumber 0..9) or any other mark (BookmarkNumber -1).
// The fields may be read and written directly; the setters also repaint the mark's gutter rows
// while the mark belongs to an editor's list.
class TLexEditMark {
public:
    TLexEditMark(int ALine = 0, int AChar = 0, int AImageIndex = 0, int ABookmarkNumber = -1,
                 bool AVisible = true, bool AInternalImage = false)
        : Line(ALine), Char(AChar), ImageIndex(AImageIndex), BookmarkNumber(ABookmarkNumber),
          Visible(AVisible), InternalImage(AInternalImage) {}

    int Line = 0; // 1-based
    int Char = 0;
    int ImageIndex = 0;
    int BookmarkNumber = -1;
    bool Visible = true;
    bool InternalImage = false;
    bool IsBookmark() const { return BookmarkNumber >= 0; }

    // A visible mark repaints its old and its new line.
    void SetLine(int Value);
    void SetChar(int Value) { Char = Value; }
    // A visible mark repaints its line on a change.
    void SetImageIndex(int Value);
    void SetInternalImage(bool Value);
    // Repaints the line on a change, shown or hidden.
    void SetVisible(bool Value);
    // The list holding this mark, or null once it is no longer in one.
    TLexEditMarkList *List() const;

private:
    friend class TLexEditMarkList;
    // The list a mark is in: set by the list and kept while the list moves its marks about; a
    // copy of a mark belongs to no list.
    class TOwnerRef {
    public:
        TOwnerRef() = default;
        TOwnerRef(const TOwnerRef &) noexcept {}
        TOwnerRef(TOwnerRef &&AOther) noexcept : fList(AOther.fList) {}
        TOwnerRef &operator=(const TOwnerRef &) noexcept { return *this; }
        TOwnerRef &operator=(TOwnerRef &&) noexcept { return *this; }
        TLexEditMarkList *fList = nullptr;
    };
    void RepaintLine(int ALine) const;
    TOwnerRef fOwner;
};

// The marks of an editor, in the order they were added. OnChange fires after every change made
// through the list or a mark's setters, with the lines whose marks changed: FirstLine..LastLine,
// LastLine -1 for every line from FirstLine on, (-1, -1) for all lines.
class TLexEditMarkList {
public:
    TLexEditMarkList() = default;
    TLexEditMarkList(const TLexEditMarkList &) = delete;
    TLexEditMarkList &operator=(const TLexEditMarkList &) = delete;

    int Count() const { return int(FItems.size()); }
    // Bad indexes raise ELexEdit "Mark index out of range (%d)".
    TLexEditMark &Items(int Index);
    const TLexEditMark &Items(int Index) const;
    TLexEditMark &Add(const TLexEditMark &AMark);
    void Delete(int Index);
    void Clear();
    // Removes every mark of line ALine.
    void ClearLine(int ALine);
    // The marks of line ALine, in list order.
    std::vector<TLexEditMark *> GetMarksForLine(int ALine);
    // Whether AMark is one of the list's own marks (not a copy of one).
    bool Holds(const TLexEditMark *AMark) const;

    // Line bookkeeping of the buffer notifications: marks at or below AFirstLine (1-based) move
    // down by ACount; marks of deleted lines move to the line above the deletion.
    void LinesInserted(int AFirstLine, int ACount);
    void LinesDeleted(int AFirstLine, int ACount);

    std::function<void(int FirstLine, int LastLine)> OnChange;

private:
    friend class TLexEditMark;
    void Changed(int FirstLine, int LastLine);
    std::vector<TLexEditMark> FItems;
};

// A picture drawn centred in a row: the user's picture when one is set, else the built-in one
// given by name at construction ("LexEditWrapped": the continuation-row arrow, 15 x 14 pixels).
class TLexGlyph {
public:
    explicit TLexGlyph(const QString &aName = QString());
    virtual ~TLexGlyph() = default;
    TLexGlyph(const TLexGlyph &) = delete;
    TLexGlyph &operator=(const TLexGlyph &) = delete;

    // Copies Visible and both pictures, then fires OnChange.
    void Assign(const TLexGlyph &Source);
    const QImage &Glyph() const { return fGlyph; }
    void SetGlyph(const QImage &Value);
    bool Visible() const { return fVisible; }
    void SetVisible(bool Value);
    // Of the picture in use (0 without one).
    int Width() const;
    int Height() const;
    // At (aX, aY + (aLineHeight - Height) div 2); in a lower row the middle band of the picture.
    void Draw(QPainter &aCanvas, int aX, int aY, int aLineHeight) const;
    // Resizes both pictures to MulDiv of their sizes.
    virtual void ChangeScale(int M, int D);

    std::function<void()> OnChange;

private:
    const QImage &Picture() const { return fGlyph.isNull() ? fInternalGlyph : fGlyph; }
    void Changed();
    QImage fGlyph;
    QImage fInternalGlyph;
    bool fVisible = true;
};

// The notifications a plug-in wants.
enum TPluginHandler : uint8_t {
    phLinesInserted,
    phLinesDeleted,
    phLinePut,
    phLinesChanging,
    phLinesChanged,
    phPaintTransient,
    phAfterPaint
};
using TPlugInHandlers = TSet<TPluginHandler, uint8_t>;

enum TTransientType : uint8_t { ttBefore, ttAfter };

// A plug-in of an editor. It registers itself with the editor when created and unregisters
// itself when destroyed; the editor never owns it. When the editor goes first, the plug-in is
// told (Owner() becomes null).
class TLexEditPlugin {
public:
    TLexEditPlugin(TCustomLexEdit *AOwner, TPlugInHandlers AHandlers);
    virtual ~TLexEditPlugin();
    TLexEditPlugin(const TLexEditPlugin &) = delete;
    TLexEditPlugin &operator=(const TLexEditPlugin &) = delete;

    TCustomLexEdit *Owner() const { return fOwner; }
    TPlugInHandlers Handlers() const { return fHandlers; }

    // Line indexes are 0-based, as the buffer reports them.
    virtual void LinesInserted(int FirstLine, int Count) {
        Q_UNUSED(FirstLine);
        Q_UNUSED(Count);
    }
    virtual void LinesDeleted(int FirstLine, int Count) {
        Q_UNUSED(FirstLine);
        Q_UNUSED(Count);
    }
    virtual void LinePut(int Index, const QString &OldLine) {
        Q_UNUSED(Index);
        Q_UNUSED(OldLine);
    }
    virtual void LinesChanging() {}
    virtual void LinesChanged() {}
    virtual void AfterPaint(QPainter &ACanvas, const QRect &AClip, int FirstLine, int LastLine) {
        Q_UNUSED(ACanvas);
        Q_UNUSED(AClip);
        Q_UNUSED(FirstLine);
        Q_UNUSED(LastLine);
    }
    // ACanvas is null outside a paint: the plug-in then asks for an update of what it draws.
    virtual void PaintTransient(QPainter *ACanvas, TTransientType ATransientType) {
        Q_UNUSED(ACanvas);
        Q_UNUSED(ATransientType);
    }

private:
    friend class TCustomLexEdit;
    TCustomLexEdit *fOwner; // not owned; null once the editor is gone
    TPlugInHandlers fHandlers;
};

// A search engine failed: an invalid pattern, or a pattern too complex to finish matching.
COMMON_DECLARE_EXCEPTION(ELexSearchError, common::Exception)

class TLexEditSearchCustom;
class TLexEditStringList;

// A reference to a search engine that the engine clears when it is destroyed, so that whoever
// holds it (an editor) never keeps a dangling pointer. The reference does not own the engine.
class TLexSearchEngineRef {
public:
    TLexSearchEngineRef() = default;
    ~TLexSearchEngineRef() { Set(nullptr); }
    TLexSearchEngineRef(const TLexSearchEngineRef &) = delete;
    TLexSearchEngineRef &operator=(const TLexSearchEngineRef &) = delete;

    TLexEditSearchCustom *Get() const { return fEngine; }
    void Set(TLexEditSearchCustom *AEngine);

private:
    friend class TLexEditSearchCustom;
    TLexEditSearchCustom *fEngine = nullptr;
};

// The contract of a search engine. The editor sets Options and then Pattern, hands the engine one
// text at a time with FindAll and reads the matches back: Results(i) is the 1-based character
// (UTF-16 code unit) position of match i in that text, Lengths(i) its length, in ascending order.
// Replace makes the text that replaces one matched occurrence. Engines report failures by
// throwing ELexSearchError.
class TLexEditSearchCustom {
public:
    TLexEditSearchCustom() = default;
    TLexEditSearchCustom(const TLexEditSearchCustom &) = delete;
    TLexEditSearchCustom &operator=(const TLexEditSearchCustom &) = delete;
    // Clears every reference to this engine.
    virtual ~TLexEditSearchCustom();

    virtual QString GetPattern() const = 0;
    virtual void SetPattern(const QString &Value) = 0;
    virtual int GetLength(int Index) const = 0;
    virtual int GetResult(int Index) const = 0;
    virtual int GetResultCount() const = 0;
    virtual void SetOptions(TLexSearchOptions Value) = 0;
    // Finds every match in NewText and returns their number.
    virtual int FindAll(const QString &NewText) = 0;
    // The same for a text of Latin-1 characters (one position a character, as in FindAll):
    // callers holding such text use it to save the conversion. By default the text is converted
    // and given to FindAll.
    virtual int FindAllLatin1(QLatin1String NewText) { return FindAll(QString(NewText)); }
    // Searches the lines AFirst to ALast (0-based) of ALines in order and calls AFound(Index,
    // Count) for each line with matches, when the results are that line's (as after FindAll on
    // it). The call ends when AFound returns false or after the last line; it returns the number
    // of matches reported. The lines must not change during the call. By default each line is
    // given to FindAll (FindAllLatin1 for one held as Latin-1 bytes); an engine may search many
    // lines at once.
    virtual long long FindAllLines(const TLexEditStringList &ALines, int AFirst, int ALast,
                                   const std::function<bool(int, int)> &AFound);
    // Turns the user's replacement expression into the one passed to Replace; unchanged here.
    virtual QString PreprocessReplaceExpression(const QString &AReplace) { return AReplace; }
    // The text that replaces aOccurrence (a match of the last FindAll) for the expression.
    virtual QString Replace(const QString &aOccurrence, const QString &aReplacement) = 0;
    // The same for match Index of the last FindAll, whose text is aOccurrence: callers that know
    // which match they replace say so, as matches with the same text may differ in their groups.
    // By default the text alone decides.
    virtual QString ReplaceMatch(int Index, QStringView aOccurrence, const QString &aReplacement) {
        Q_UNUSED(Index);
        return Replace(aOccurrence.toString(), aReplacement);
    }

    QString Pattern() const { return GetPattern(); }
    int ResultCount() const { return GetResultCount(); }
    int Results(int Index) const { return GetResult(Index); }
    int Lengths(int Index) const { return GetLength(Index); }

private:
    friend class TLexSearchEngineRef;
    std::vector<TLexSearchEngineRef *> fRefs; // the references to this engine, not owned
};

} // namespace lexedit

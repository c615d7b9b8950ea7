#pragma once
// Small helper classes owned by the editor: the mark list (bookmarks and other line marks) and
// the plug-in base class with the notifications a plug-in may ask for.

#include "lexedit/LexEditTypes.h"
#include "lexedit/LexSet.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QRect;

namespace lexedit {

class TCustomLexEdit;

// One mark on a line: a bookmark (BookmarkNumber 0..9) or any other mark (BookmarkNumber -1).
struct TLexEditMark {
    int Line = 0; // 1-based
    int Char = 0;
    int ImageIndex = 0;
    int BookmarkNumber = -1;
    bool Visible = true;
    bool InternalImage = false;
    bool IsBookmark() const { return BookmarkNumber >= 0; }
};

// The marks of an editor, in the order they were added. OnChange fires after every change made
// through the list (not when a mark's fields are changed directly).
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

    // Line bookkeeping of the buffer notifications: marks at or below AFirstLine (1-based) move
    // down by ACount; marks of deleted lines move to the line above the deletion.
    void LinesInserted(int AFirstLine, int ACount);
    void LinesDeleted(int AFirstLine, int ACount);

    std::function<void()> OnChange;

private:
    void Changed();
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

} // namespace lexedit

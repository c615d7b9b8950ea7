// SPDX-License-Identifier: MIT
#pragma once
// The editor's code folding: its options and fold ranges, the row map that hides the lines of
// collapsed ranges, the updates after buffer changes, and the folding decorations of gutter and
// text area. Owned by the control while it exists.

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditCodeFolding.h"

#include <QRect>

#include <vector>

namespace lexedit {

class TLexEditFolding;
class TLexEditPrivate;

// Lines to rows with collapsed ranges: every visible line is one row.
class TLexFoldRowMap final : public ILexEditBufferPlugin {
public:
    explicit TLexFoldRowMap(TLexEditFolding &AFolding) : fFolding(AFolding) {}
    TDisplayCoord BufferToDisplayPos(const TBufferCoord &aPos) const override;
    TBufferCoord DisplayToBufferPos(const TDisplayCoord &aPos) const override;
    int RowCount() const override;
    int GetRowLength(int aRow) const override;
    int LineToRow(int aLine) const override;
    int RowToLine(int aRow) const override;
    int LineCount() const override;
    // The fold ranges follow buffer changes through the editor (which knows how far the
    // highlighter rescanned); the map itself holds nothing to update.
    int LinesInserted(int aIndex, int aCount) override;
    int LinesDeleted(int aIndex, int aCount) override;
    int LinePut(int aIndex, const QString &OldLine) override;
    void DisplayChanged() override {}
    void Reset() override {}

private:
    TLexEditFolding &fFolding;
};

class TLexEditFolding {
public:
    TLexEditFolding(TCustomLexEdit &AEdit, TLexEditPrivate &APriv);
    TLexEditFolding(const TLexEditFolding &) = delete;
    TLexEditFolding &operator=(const TLexEditFolding &) = delete;

    TCustomLexEdit &Ed;
    TLexEditPrivate &P;
    TLexCodeFolding Options;
    TLexFoldRanges Ranges;

    bool Active() const;
    // The line shown after the visible line Line (hidden lines skipped while folding is on).
    int NextShownLine(int Line) const;
    bool LineHidden(int Line) const { return Active() && Ranges.FoldHidesLine(Line); }

    // Buffer changes (0-based indices); LastScanned is the last line the highlighter rescanned.
    void LinesInserted(int Index, int Count, int LastScanned);
    void LinesDeleted(int Index, int Count, int LastScanned);
    void LinePut(int Index, int LastScanned);
    void Cleared();
    // End of a buffer update: the rebuild left for it, then the caret made visible.
    void LinesChanged();
    // The rebuild after a scan, when markers changed.
    void FinishScan();
    // Expands the ranges hiding the caret line.
    void RevealCaret();
    // After one range was collapsed or expanded: repaints from its first line on and updates the
    // scroll bars, or (AInvalidate false, one of many) leaves that for later.
    void Toggled(int AFromLine, bool AInvalidate);
    // Limits the top line after rows were hidden.
    void KeepTopLineInRange();
    // Collapses or expands the ranges AIndexes (in that order) under one update lock, then
    // repaints text and gutter and brings the caret into view; nothing while folding is off.
    void SetCollapsedMany(const std::vector<int> &AIndexes, bool ACollapsed);
    // Every range's index, the last first.
    std::vector<int> AllFromLast() const;

    // The left button went down at viewport pixel (X, Y), or came up again. A click acts on the
    // row under its press, as it was shown then, also when the press scrolled the text.
    void Pressed(int X, int Y);
    void Released() { fPress.Valid = false; }
    // A click in the gutter (at the press, or at (X, Y) without one): toggles the fold shape
    // hit; true when one was hit.
    bool GutterClick(int X, int Y);
    // A release at (X, Y) on the collapse mark of a collapsed line, pressed on the same mark,
    // expands it; true when hit.
    bool CollapseMarkClick(int X, int Y);
    bool OverFoldHitArea(int X, int Y) const;

    void PaintGutterShapes(QPainter &ACanvas, int aFirstRow, int aLastRow);
    void PaintFoldAttributes(QPainter &ACanvas, const QRect &AClip, int aFirstRow, int aLastRow,
                             int vFirstLine, int vLastLine);

private:
    struct TPress {
        int X = 0;
        int Y = 0;
        int TopLine = 1;
        bool Valid = false;
    };
    TPress fPress;
    // The press, or (X, Y) at the current top line when there is none.
    TPress PressOr(int X, int Y) const;

    void PaintIndentGuides(QPainter &ACanvas, const QRect &AClip, int aFirstRow, int aLastRow);
    void PaintCollapsedLines(QPainter &ACanvas, const QRect &AClip, int vFirstLine, int vLastLine);
    void Rescan(int From, int To);
};

} // namespace lexedit

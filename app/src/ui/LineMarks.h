// SPDX-License-Identifier: MIT
#pragma once
// Marks on lines of an editor that the window keeps beside the text: a recognised PHP message by
// severity, the pending partial output line, the echo of input sent to the script, the script
// line an error was followed to. Painted in the gutter; the marks move with the lines when lines
// are inserted or deleted above them (also by the user's edits), and go with deleted lines.
//
// Kept sorted by line, so that a line appended at the end (output arriving) costs a search, not
// a walk over every mark as the editor's own mark list would.

#include "lexedit/LexEditMiscClasses.h"

#include <QColor>

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace app {

// lmRemoved and lmAdded mark the lines of a diff only in the first output and only in the second.
enum TLineMarkKind : uint8_t {
    lmNone,
    lmError,
    lmWarning,
    lmNote,
    lmPending,
    lmInput,
    lmJumpTarget,
    lmRemoved,
    lmAdded,
    lmLastKind = lmAdded
};

class TLineMarks : public lexedit::TLexEditPlugin {
public:
    explicit TLineMarks(lexedit::TCustomLexEdit *AEditor);

    // ALine 1-based; lmNone removes the line's mark. The caller repaints what it changed when
    // the line's text did not change with it (RepaintGutter).
    void Set(int ALine, TLineMarkKind AKind);
    TLineMarkKind Kind(int ALine) const;
    // The last line with AKind, 0 when none (at once when there is none).
    int LastOf(TLineMarkKind AKind) const;
    // The first line after ALine (before it when AForward is false) whose mark is one of AKinds,
    // going on from the other end past the last (first) line; 0 when no line has such a mark.
    // A mark on ALine itself counts last.
    int NextOf(int ALine, bool AForward, std::initializer_list<TLineMarkKind> AKinds) const;
    int CountOf(TLineMarkKind AKind) const { return FCounts[AKind]; }
    int Count() const { return int(FMarks.size()); }
    void Clear();
    void RepaintGutter();

    // The colour a kind is painted in.
    static QColor ColorOf(TLineMarkKind AKind);

    void LinesInserted(int FirstLine, int Count) override;
    void LinesDeleted(int FirstLine, int Count) override;
    void AfterPaint(QPainter &ACanvas, const QRect &AClip, int FirstRow, int LastRow) override;

private:
    std::vector<std::pair<int, TLineMarkKind>>::iterator LowerBound(int ALine);
    std::vector<std::pair<int, TLineMarkKind>>::const_iterator LowerBound(int ALine) const;
    std::vector<std::pair<int, TLineMarkKind>> FMarks; // (1-based line, kind), sorted by line
    int FCounts[lmLastKind + 1] = {};                  // marks of each kind
};

} // namespace app

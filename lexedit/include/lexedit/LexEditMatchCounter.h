// SPDX-License-Identifier: MIT
#pragma once
// TLexMatchCounter: counts the matches of a search in an editor's text, keeps the count up to date
// as the text changes, and paints the matches of the rows in view over the text. A find bar shows
// "k of N" and every match on screen with it.
//
// The counter is a plug-in of the editor: it registers itself when created and unregisters when
// destroyed; the editor never owns it, and once the editor is gone the counter is inactive. It
// has its own two engines, TLexEditSearch for plain text and TLexEditRegexSearch for regular
// expressions, so it never disturbs the engine the editor's SearchReplace uses.
//
// SetSearch counts every line through the engine's FindAllLines, so a loaded file's lines held as
// Latin-1 bytes are searched as they lie, many at a time. After that a change of the lines counts
// only the lines it touched; an update bracket in which no change said which lines it touched
// (Clear, Exchange), or after which the counts are out of step with the lines, counts every line
// again. The number of matches of every line is kept (4 bytes a line); the matches themselves are
// kept for the lines in view and for the lines a change just counted, so painting searches
// neither an unchanged line nor a line the count has just searched, nor a line without matches.
//
// The matches are the engine's: they do not overlap, an empty match (a pattern such as "x*")
// counts, and a match's position is the 1-based UTF-16 position in its line, as in
// TLexEditSearchCustom. Each count (SetSearch, a change of the lines, a paint) is one search with
// the regular-expression engine's full budget of expensive start positions; when the engine gives
// up while a change is counted ("pattern too complex"), the lines of the change it did not finish
// count as lines without matches.

#include "lexedit/LexEditMiscClasses.h"
#include "lexedit/LexEditRegexSearch.h"
#include "lexedit/LexEditSearch.h"
#include "lexedit/LexEditTypes.h"

#include <QColor>
#include <QString>

#include <functional>
#include <map>
#include <vector>

namespace lexedit {

// One match in a line: its 1-based character position and its length (0 for an empty match).
struct TLexMatch {
    int Char = 0;
    int Length = 0;
    bool operator==(const TLexMatch &AOther) const { return Char == AOther.Char && Length == AOther.Length; }
    bool operator!=(const TLexMatch &AOther) const { return !(*this == AOther); }
};

class TLexMatchCounter final : public TLexEditPlugin {
public:
    // Counts in AEditor's lines (not owned); inactive until SetSearch is given a pattern.
    explicit TLexMatchCounter(TCustomLexEdit *AEditor);
    ~TLexMatchCounter() override;

    // Searches for APattern with AOptions (ssoMatchCase, ssoWholeWord; the others are ignored),
    // as a regular expression when ARegex, counts every line and repaints the editor. An empty
    // pattern makes the counter inactive. The engine's error (ELexSearchError: an invalid
    // pattern, a pattern too complex to finish) is thrown, and the counter is inactive then.
    void SetSearch(const QString &APattern, TLexSearchOptions AOptions, bool ARegex);
    // Whether a search is set (and the editor is still there).
    bool Active() const;
    // The matches in the whole text (0 while inactive).
    qint64 Total() const { return Active() ? FTotal : 0; }
    // The matches of 1-based line ALine, and those of the lines before it (0 outside the text).
    int CountOf(int ALine) const;
    qint64 CountBefore(int ALine) const;
    // The matches of 1-based line ALine in ascending order (none outside the text or while
    // inactive).
    std::vector<TLexMatch> MatchesOf(int ALine);
    // The 1-based number, counted over the whole text, of the match that runs exactly from
    // ABegin to AEnd (both on one line); 0 when no match does.
    qint64 MatchNumber(const TBufferCoord &ABegin, const TBufferCoord &AEnd);

    // The look of a match: a translucent fill drawn over the text and a frame around it. The
    // fill needs an alpha channel to leave the text readable, which is why these are QColors.
    QColor FillColor() const { return FFillColor; }
    void SetFillColor(const QColor &Value);
    QColor FrameColor() const { return FFrameColor; }
    void SetFrameColor(const QColor &Value);

    // Called after a change of the lines was counted (Total or the matches may have changed).
    std::function<void()> OnChange;

private:
    // The editor's notifications (0-based line indexes).
    void LinesInserted(int FirstLine, int Count) override;
    void LinesDeleted(int FirstLine, int Count) override;
    void LinePut(int Index, const QString &OldLine) override;
    void LinesChanging() override;
    void LinesChanged() override;
    void AfterPaint(QPainter &ACanvas, const QRect &AClip, int FirstRow, int LastRow) override;

    // Counts every line; throws the engine's error.
    void CountAll();
    // Counts lines AFirst..ALast (0-based) again and keeps the matches of the last of them; the
    // lines the engine did not finish count none.
    void Recount(int AFirst, int ALast);
    // Whether 0-based line AIndex has a count.
    bool Counted(int AIndex) const;
    // The matches of counted line AIndex, searched when they are not kept.
    const std::vector<TLexMatch> &Matches(int AIndex);
    // The kept matches of the lines from AFrom on move by ADelta lines; for a negative ADelta the
    // -ADelta lines before AFrom are gone.
    void ShiftKnown(int AFrom, int ADelta);
    // Forgets the kept matches of the lines outside the view when too many are kept.
    void ForgetOutsideView();
    // Gives the engine a new search (with a full budget).
    void Restart() { FEngine->SetOptions(FOptions); }
    void Repaint();
    void Changed();

    bool FActive = false;
    // Whether the current change of the lines said which lines it touched.
    bool FDetailed = false;
    std::vector<int> FCounts; // the matches of each line (0-based)
    qint64 FTotal = 0;
    // The matches of some lines, by 0-based index: those in view and those a change counted.
    std::map<int, std::vector<TLexMatch>> FKnown;
    TLexEditSearch FPlain;
    TLexEditRegexSearch FRegex;
    TLexEditSearchCustom *FEngine = &FPlain;
    TLexSearchOptions FOptions;
    QColor FFillColor{255, 196, 0, 110};
    QColor FFrameColor{214, 150, 0, 200};
};

} // namespace lexedit

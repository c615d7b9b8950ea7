// SPDX-License-Identifier: MIT
#pragma once
// The find bar under an editor view: a search field with "Match case", "Whole word" and
// "Regular expression", "k of N" with the exact count of matches in the whole text, every match
// in view painted with a highlight, a notice when the search wraps around, and (in the script
// view) a replace row with "Replace" and "Replace all".
//
// Finding and replacing go through the editor's SearchReplace with the library's two engines.
// Counting and painting the matches is the library's TLexMatchCounter, which keeps the count line
// by line as the text changes, so it stays right while output streams into the view; the count
// is shown at most ten times a second.

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditMatchCounter.h"
#include "lexedit/LexEditRegexSearch.h"
#include "lexedit/LexEditSearch.h"
#include "lexedit/LexEditTypes.h"

#include <QFrame>
#include <QPointer>

#include <memory>

class QLabel;
class QLineEdit;
class QTimer;
class QToolButton;

namespace app {

class TFindBar : public QFrame {
    Q_OBJECT
public:
    // AAllowReplace: the bar may show its replace row.
    TFindBar(lexedit::TCustomLexEdit *AEditor, bool AAllowReplace, QWidget *AParent);
    ~TFindBar() override;

    lexedit::TCustomLexEdit *Editor() const { return FEditor; }
    bool AllowsReplace() const { return FAllowReplace; }
    bool ReplaceShown() const;

    // Shows the bar (with the replace row when asked and allowed) and puts the focus in the
    // search field; a selection of one line becomes the search text.
    void Open(bool AReplace);
    // Hides the bar and its highlights; the focus goes back to the editor.
    void Close();
    // The next or previous match from the selection or caret, wrapping around the end of the
    // text (with a notice); false when there is none.
    bool FindNext();
    bool FindPrevious();
    // Replaces the selected match and selects the next one (selects the next match when the
    // selection is none); Replace all replaces every match of the text as one undo step and
    // returns their number.
    void ReplaceOne();
    int ReplaceAll();

    // The matches in the whole text, and the 1-based number of the match selected (0: the
    // selection is no match).
    qint64 MatchCount() const;
    qint64 CurrentMatch() const;
    // "k of N", "N matches", "No matches" (or empty without a search text), as shown.
    QString CountText() const;
    // The notice shown beside the count ("Wrapped around to the top", an error ...).
    QString NoticeText() const;
    // Shows the count now (it is otherwise shown at most ten times a second).
    void UpdateCount();

    QLineEdit *FindEdit = nullptr;
    QToolButton *MatchCaseButton = nullptr;
    QToolButton *WholeWordButton = nullptr;
    QToolButton *RegexButton = nullptr;
    QToolButton *PreviousButton = nullptr;
    QToolButton *NextButton = nullptr;
    QLabel *CountLabel = nullptr;
    QLabel *NoticeLabel = nullptr;
    QToolButton *CloseButton = nullptr;
    QWidget *ReplaceRow = nullptr;
    QLineEdit *ReplaceEdit = nullptr;
    QToolButton *ReplaceButton = nullptr;
    QToolButton *ReplaceAllButton = nullptr;

protected:
    bool eventFilter(QObject *AObject, QEvent *AEvent) override;

private:
    void CreateWidgets();
    lexedit::TLexSearchOptions SearchOptions() const;
    lexedit::TLexEditSearchCustom &SearchEngine();
    // The search text or the options changed: count again, repaint, and select the first match
    // from where the search began.
    void PatternChanged();
    // Counts and paints the matches of the search text; false (with the error shown) for an
    // invalid pattern.
    bool StartCounting();
    // Find next or previous: an empty search text opens the bar instead.
    bool FindFromSelection(bool ABackward);
    bool Find(bool ABackward);
    void ScheduleCount();
    void ShowNotice(const QString &AText, bool AError);
    // Runs AFunction, showing an engine's failure (an invalid pattern ...) as the notice.
    template <typename F> bool Guard(F &&AFunction);

    QPointer<lexedit::TCustomLexEdit> FEditor;
    bool FAllowReplace;
    // The engines SearchReplace uses; the counter has its own.
    lexedit::TLexEditSearch FPlain;
    lexedit::TLexEditRegexSearch FRegex;
    std::unique_ptr<lexedit::TLexMatchCounter> FCounter;
    QTimer *FCountTimer = nullptr;
    lexedit::TBufferCoord FAnchor{1, 1}; // where the search began
};

} // namespace app

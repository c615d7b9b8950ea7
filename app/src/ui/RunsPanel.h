// SPDX-License-Identifier: MIT
#pragma once
// TRunsPanel: the "Runs" tab. It keeps the session's last runs (TRunHistory) and lists them, the
// newest at the top; the run selected shows its output read-only below, and "Compare with the
// current run" shows the diff of its output against the newest run's.

#include "RunHistory.h"

#include <QWidget>

class QPushButton;
class QTreeWidget;

namespace lexedit {
class TLexCustomHighlighter;
}

namespace app {

class TDiffView;

class TRunsPanel : public QWidget {
public:
    TRunsPanel(lexedit::TLexCustomHighlighter *AHighlighter, const QFont &AFont, const QFont &AGutterFont,
               QWidget *AParent = nullptr);

    // Keeps a run that ended as the newest and lists it.
    void Keep(TRunRecord ARecord);
    const TRunHistory &History() const { return FHistory; }
    // Selects the run numbered ANumber (its output shows); false when it is not kept.
    bool Select(int ANumber);
    // The diff of the run selected against the newest run ("the current run"); says why not
    // in the view's caption when either output is not kept.
    void CompareWithCurrent();

    QTreeWidget *List = nullptr;
    QPushButton *CompareButton = nullptr;
    TDiffView *View = nullptr;

protected:
    void showEvent(QShowEvent *AEvent) override;

private:
    void ShowSelected();
    int SelectedNumber() const;
    TRunHistory FHistory;
    bool FViewStale = false; // the selection changed while the tab was hidden
};

} // namespace app

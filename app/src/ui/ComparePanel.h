// SPDX-License-Identifier: MIT
#pragma once
// TComparePanel: the "Compare" tab. "Run on all" runs the script on each interpreter of the
// list (TCompareRuns) and shows a table: the interpreter's version, how its run ended, its time,
// peak memory and output group (identical outputs share a letter). The row selected shows its
// output; "Diff against group A" shows how the selected row's output differs from the first
// group's.

#include "CompareRuns.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableWidget;

namespace lexedit {
class TLexCustomHighlighter;
}

namespace app {

class TDiffView;

class TComparePanel : public QWidget {
public:
    TComparePanel(lexedit::TLexCustomHighlighter *AHighlighter, const QFont &AFont, const QFont &AGutterFont,
                  QWidget *AParent = nullptr);

    // Runs ABase on each command (a run still going is refused); AOnFinished when all ended.
    void Start(const TRunSpec &ABase, const QStringList &ACommands, std::function<void()> AOnFinished);
    void Stop() { FRuns.Stop(); }
    bool IsRunning() const { return FRuns.IsRunning(); }
    const TCompareRuns &Runs() const { return FRuns; }
    // The diff of the selected row's output against group A's.
    void DiffAgainstFirstGroup();

    QTableWidget *Table = nullptr;
    QPushButton *DiffButton = nullptr;
    QPushButton *InterpretersButton = nullptr; // edits the list (the window connects it)
    QLabel *Summary = nullptr;
    TDiffView *View = nullptr;

private:
    void ShowRow(int ARow);
    void ShowSelected();
    void Finished();
    TCompareRuns FRuns;
    std::function<void()> FOnFinished;
};

} // namespace app

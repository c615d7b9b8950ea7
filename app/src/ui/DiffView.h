// SPDX-License-Identifier: MIT
#pragma once
// TDiffView: a read-only view of a kept output, or of the line diff of two outputs. A diff shows
// every line of both: lines only in the first output marked "-" on red, lines only in the second
// marked "+" on green, the others as they are; F7 and Shift+F7 (the window's keys) move from
// change to change.

#include <QByteArray>
#include <QWidget>

#include <initializer_list>
#include <memory>
#include <vector>

class QLabel;

namespace lexedit {
class TLexEdit;
class TLexCustomHighlighter;
} // namespace lexedit

namespace app {

class TFindBar;
class TLineMarks;

class TDiffView : public QWidget {
public:
    TDiffView(lexedit::TLexCustomHighlighter *AHighlighter, const QFont &AFont, const QFont &AGutterFont,
              QWidget *AParent = nullptr);
    ~TDiffView() override;

    // AOutput as kept (UTF-8 lines ending in LF), under a caption.
    void ShowOutput(const QString &ACaption, const QByteArray &AOutput);
    // The diff of AOld against ANew, under a caption that counts the changes.
    void ShowDiff(const QString &ACaption, const QByteArray &AOld, const QByteArray &ANew);
    // Puts the caret on the first line of the next (previous) change, wrapping around; false
    // when no diff with changes is shown.
    bool GoToChange(bool AForward);
    // The changes of the diff shown (0 for an output).
    int ChangeCount() const { return int(FChanges.size()); }
    // The first line (1-based) of each change of the diff shown.
    const std::vector<int> &ChangeLines() const { return FChanges; }
    bool ShowsDiff() const { return FShowsDiff; }

    lexedit::TLexEdit *Memo = nullptr;
    QLabel *Caption = nullptr;

private:
    std::unique_ptr<TLineMarks> FMarks;
    TFindBar *FFindBar = nullptr;
    std::vector<int> FChanges;
    bool FShowsDiff = false;
};

// Lays APanel out as the Runs and Compare tabs have it: AList over a row of ARow's widgets (the
// first takes the row's spare width), AView under both, a splitter between.
void LayOutOverDiffView(QWidget &APanel, QWidget *AList, std::initializer_list<QWidget *> ARow,
                        TDiffView *AView);

} // namespace app

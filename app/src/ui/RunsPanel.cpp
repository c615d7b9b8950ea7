// SPDX-License-Identifier: MIT
#include "RunsPanel.h"

#include "DiffView.h"
#include "common/Exception.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>

namespace app {

namespace {
enum TColumn { kNumber, kStarted, kEnd, kTime, kCpu, kPeak, kLines, kCommand, kColumns };

QString Seconds(double ASeconds) {
    return QLocale(QLocale::English).toString(ASeconds, 'f', 2) + QStringLiteral(" s");
}
} // namespace

TRunsPanel::TRunsPanel(lexedit::TLexCustomHighlighter *AHighlighter, const QFont &AFont,
                       const QFont &AGutterFont, QWidget *AParent)
    : QWidget(AParent) {
    setObjectName(QStringLiteral("RunsSheet"));
    List = new QTreeWidget(this);
    List->setObjectName(QStringLiteral("RunsList"));
    List->setRootIsDecorated(false);
    List->setUniformRowHeights(true);
    List->setHeaderLabels({QStringLiteral("#"), QStringLiteral("Started"), QStringLiteral("End"),
                           QStringLiteral("Time"), QStringLiteral("CPU"), QStringLiteral("Peak memory"),
                           QStringLiteral("Lines"), QStringLiteral("Command")});
    List->header()->setStretchLastSection(true);
    CompareButton = new QPushButton(QStringLiteral("&Compare with the current run"), this);
    CompareButton->setObjectName(QStringLiteral("CompareButton"));
    CompareButton->setEnabled(false);
    View = new TDiffView(AHighlighter, AFont, AGutterFont, this);
    View->setObjectName(QStringLiteral("RunsView"));
    LayOutOverDiffView(
        *this, List,
        {new QLabel(QStringLiteral("The last %1 runs of this session.").arg(TRunHistory::kMaxRuns), this),
         CompareButton},
        View);
    connect(List, &QTreeWidget::itemSelectionChanged, this,
            [this] { common::Guarded([this] { ShowSelected(); }); });
    connect(CompareButton, &QPushButton::clicked, this,
            [this] { common::Guarded([this] { CompareWithCurrent(); }); });
}

void TRunsPanel::Keep(TRunRecord ARecord) {
    // A run the user chose stays selected; the newest, selected by itself, gives way to the new one.
    const int newest = FHistory.Runs().empty() ? 0 : FHistory.Runs().back().Number;
    const int selected = SelectedNumber() == newest ? 0 : SelectedNumber();
    FHistory.Add(std::move(ARecord));
    // The list is rebuilt: outputs let go and runs gone change older rows too.
    List->clear();
    for (auto run = FHistory.Runs().rbegin(); run != FHistory.Runs().rend(); ++run) {
        const runner::TRunFigures &figures = run->Outcome.Figures;
        auto *item = new QTreeWidgetItem(List);
        item->setData(kNumber, Qt::DisplayRole, run->Number);
        item->setText(kStarted, run->Started.toString(QStringLiteral("HH:mm:ss")));
        item->setText(kEnd,
                      run->Outcome.EndText() +
                          (run->OutputDropped ? QStringLiteral(" (output no longer kept)") : QString()));
        item->setText(kTime, figures.Valid ? Seconds(double(figures.WallMilliseconds) / 1000.0) : QString());
        item->setText(kCpu, figures.Valid
                                ? Seconds(double(figures.UserMicroseconds + figures.SystemMicroseconds) / 1e6)
                                : QString());
        item->setText(kPeak, figures.Valid ? PeakMegabytes(figures) + QStringLiteral(" MB") : QString());
        item->setData(kLines, Qt::DisplayRole, run->Outcome.Lines);
        item->setText(kCommand, run->Command);
        item->setToolTip(kCommand, run->Command);
        if (run->Outcome.EndedBadly()) item->setForeground(kEnd, QColor(0xD0, 0x21, 0x1B));
    }
    for (int c = 0; c < kCommand; ++c)
        List->resizeColumnToContents(c);
    if (selected == 0 || !Select(selected)) Select(FHistory.Runs().back().Number);
}

bool TRunsPanel::Select(int ANumber) {
    for (int i = 0; i < List->topLevelItemCount(); ++i) {
        if (List->topLevelItem(i)->data(kNumber, Qt::DisplayRole).toInt() != ANumber) continue;
        List->setCurrentItem(List->topLevelItem(i));
        ShowSelected(); // also when it was selected already: the view may show a diff
        return true;
    }
    return false;
}

int TRunsPanel::SelectedNumber() const {
    const QTreeWidgetItem *item = List->currentItem();
    return item ? item->data(kNumber, Qt::DisplayRole).toInt() : 0;
}

void TRunsPanel::showEvent(QShowEvent *AEvent) {
    QWidget::showEvent(AEvent);
    if (FViewStale) common::Guarded([this] { ShowSelected(); });
}

void TRunsPanel::ShowSelected() {
    const TRunRecord *run = FHistory.Find(SelectedNumber());
    CompareButton->setEnabled(run && !FHistory.Runs().empty() &&
                              run->Number != FHistory.Runs().back().Number);
    // A run's output (up to the output limit) is loaded into the view only when it is seen.
    FViewStale = !isVisible();
    if (!run || FViewStale) return;
    const QString caption = QStringLiteral("Run #%1: %2").arg(run->Number).arg(run->Command);
    View->ShowOutput(run->OutputDropped ? caption + QStringLiteral(" \u2014 its output is no longer kept")
                                        : caption,
                     run->Output);
}

void TRunsPanel::CompareWithCurrent() {
    const TRunRecord *run = FHistory.Find(SelectedNumber());
    if (!run || FHistory.Runs().empty()) return;
    const TRunRecord &current = FHistory.Runs().back();
    const QString caption =
        QStringLiteral("Run #%1 against the current run #%2").arg(run->Number).arg(current.Number);
    if (run->OutputDropped || current.OutputDropped) {
        View->ShowOutput(caption + QStringLiteral(" \u2014 run #%1's output is no longer kept")
                                       .arg(run->OutputDropped ? run->Number : current.Number),
                         QByteArray());
        return;
    }
    View->ShowDiff(caption, run->Output, current.Output);
}

} // namespace app

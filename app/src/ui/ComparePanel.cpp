// SPDX-License-Identifier: MIT
#include "ComparePanel.h"

#include "DiffView.h"
#include "common/Exception.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace app {

namespace {
enum TColumn { kInterpreter, kVersion, kEnd, kTime, kPeak, kGroup, kColumns };
} // namespace

TComparePanel::TComparePanel(lexedit::TLexCustomHighlighter *AHighlighter, const QFont &AFont,
                             const QFont &AGutterFont, QWidget *AParent)
    : QWidget(AParent), FRuns(this) {
    setObjectName(QStringLiteral("CompareSheet"));
    Table = new QTableWidget(0, kColumns, this);
    Table->setObjectName(QStringLiteral("CompareTable"));
    Table->setHorizontalHeaderLabels({QStringLiteral("Interpreter"), QStringLiteral("Version"),
                                      QStringLiteral("End"), QStringLiteral("Time"),
                                      QStringLiteral("Peak memory"), QStringLiteral("Output")});
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->hide();
    Table->verticalHeader()->setDefaultSectionSize(Table->fontMetrics().height() + 6); // as the Runs list
    Table->horizontalHeader()->setSectionResizeMode(kInterpreter, QHeaderView::Stretch);
    Summary = new QLabel(this);
    DiffButton = new QPushButton(QStringLiteral("&Diff against group A"), this);
    DiffButton->setObjectName(QStringLiteral("DiffButton"));
    DiffButton->setEnabled(false);
    InterpretersButton = new QPushButton(QStringLiteral("&Interpreters\u2026"), this);
    InterpretersButton->setObjectName(QStringLiteral("InterpretersButton"));
    View = new TDiffView(AHighlighter, AFont, AGutterFont, this);
    View->setObjectName(QStringLiteral("CompareView"));
    LayOutOverDiffView(*this, Table, {Summary, InterpretersButton, DiffButton}, View);
    FRuns.SetOnRowChanged([this](int ARow) { ShowRow(ARow); });
    FRuns.SetOnFinished([this] { Finished(); });
    connect(Table, &QTableWidget::itemSelectionChanged, this,
            [this] { common::Guarded([this] { ShowSelected(); }); });
    connect(DiffButton, &QPushButton::clicked, this,
            [this] { common::Guarded([this] { DiffAgainstFirstGroup(); }); });
}

void TComparePanel::Start(const TRunSpec &ABase, const QStringList &ACommands,
                          std::function<void()> AOnFinished) {
    if (FRuns.IsRunning())
        throw common::Exception(QStringLiteral("The runs on all interpreters are still going."));
    FOnFinished = std::move(AOnFinished);
    Table->clearContents();
    Table->setRowCount(int(ACommands.size()));
    DiffButton->setEnabled(false);
    Summary->setText(QStringLiteral("Running on %1 interpreters\u2026").arg(ACommands.size()));
    View->ShowOutput(QString(), QByteArray());
    FRuns.Start(ABase, ACommands);
    for (int row = 0; row < int(FRuns.Rows().size()); ++row)
        ShowRow(row);
}

void TComparePanel::ShowRow(int ARow) {
    const TCompareRow &row = FRuns.Rows()[size_t(ARow)];
    const QStringList cells = FRuns.RowCells(ARow);
    for (int c = 0; c < kColumns; ++c) {
        auto *item = Table->item(ARow, c);
        if (!item) Table->setItem(ARow, c, item = new QTableWidgetItem);
        item->setText(cells[c]);
        item->setToolTip(cells[c]);
    }
    if (row.Outcome.EndedBadly() || !row.Error.isEmpty())
        Table->item(ARow, kEnd)->setForeground(QColor(0xD0, 0x21, 0x1B));
}

void TComparePanel::Finished() {
    for (int row = 0; row < int(FRuns.Rows().size()); ++row)
        ShowRow(row);
    for (int c = 1; c < kColumns; ++c)
        Table->resizeColumnToContents(c);
    const int groups = FRuns.GroupCount();
    Summary->setText(groups <= 1 ? QStringLiteral("Every output is the same.")
                                 : QStringLiteral("%1 different outputs.").arg(groups));
    if (FRuns.Rows().empty()) {
        Summary->setText(QStringLiteral("No interpreter to run on."));
    } else {
        Table->selectRow(std::max(0, FRuns.FirstRowOf(std::min(1, groups - 1))));
        ShowSelected();
    }
    if (FOnFinished) FOnFinished();
}

void TComparePanel::ShowSelected() {
    const int index = Table->currentRow();
    if (index < 0 || index >= int(FRuns.Rows().size())) return;
    const TCompareRow &row = FRuns.Rows()[size_t(index)];
    DiffButton->setEnabled(!FRuns.IsRunning() && row.Group > 0);
    if (!row.Ended) return;
    View->ShowOutput(QStringLiteral("%1 (output %2)").arg(row.Command, TCompareRuns::GroupName(row.Group)),
                     row.Output);
}

void TComparePanel::DiffAgainstFirstGroup() {
    const int index = Table->currentRow();
    const int first = FRuns.FirstRowOf(0);
    if (FRuns.IsRunning() || index < 0 || index >= int(FRuns.Rows().size()) || first < 0) return;
    const TCompareRow &row = FRuns.Rows()[size_t(index)];
    const TCompareRow &a = FRuns.Rows()[size_t(first)];
    View->ShowDiff(QStringLiteral("Output A (%1) against output %2 (%3)")
                       .arg(a.Command, TCompareRuns::GroupName(row.Group), row.Command),
                   a.Output, row.Output);
}

} // namespace app

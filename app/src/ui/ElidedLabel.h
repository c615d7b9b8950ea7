// SPDX-License-Identifier: MIT
#pragma once
// A one-line label that shows a text too long for it with "…" in the middle, so both ends of a
// command (the interpreter and the script's name) stay readable. text() is the whole text, and
// its context menu copies it.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPainter>

namespace app {

class TElidedLabel : public QLabel {
public:
    explicit TElidedLabel(QWidget *AParent) : QLabel(AParent) {
        setContextMenuPolicy(Qt::ActionsContextMenu);
        auto *copy = new QAction(QStringLiteral("Copy"), this);
        connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(text()); });
        addAction(copy);
    }
    // What the label shows in AWidth pixels.
    QString ShownText(int AWidth) const { return fontMetrics().elidedText(text(), Qt::ElideMiddle, AWidth); }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        const QRect area = contentsRect();
        painter.drawText(area, int(alignment()), ShownText(area.width()));
    }
};

} // namespace app

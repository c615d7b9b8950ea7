#include "LineMemo.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace app {

TLineMemo::TLineMemo(QWidget *AParent) : QPlainTextEdit(AParent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (!FUpdatingView) TakeUserEdit();
    });
}

void TLineMemo::Clear() {
    FLines.Clear();
    ShowAllLines();
}

void TLineMemo::Add(const QString &ALine) {
    const bool hadLines = FLines.Count() > 0;
    FLines.Add(ALine);
    // Follow the output while the view shows its end.
    QScrollBar *bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    FUpdatingView = true;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (hadLines) cursor.insertBlock();
    cursor.insertText(ALine);
    FUpdatingView = false;
    if (atEnd) bar->setValue(bar->maximum());
}

void TLineMemo::LoadFromFile(const QString &AFileName) {
    FLines.LoadFromFile(AFileName);
    ShowAllLines();
}

void TLineMemo::ShowAllLines() {
    FUpdatingView = true;
    setPlainText(FLines.ToStringList().join(QLatin1Char('\n')));
    FUpdatingView = false;
}

void TLineMemo::TakeUserEdit() {
    const QTextDocument *doc = document();
    QStringList lines;
    lines.reserve(doc->blockCount());
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next())
        lines << block.text();
    // An empty view holds no line.
    if (lines.size() == 1 && lines.constFirst().isEmpty()) lines.clear();
    lexedit::TLexEditStringList::UpdateGuard guard(FLines);
    FLines.Clear();
    FLines.AddStrings(lines);
}

} // namespace app

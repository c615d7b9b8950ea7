// SPDX-License-Identifier: MIT
#include "WindowShortcuts.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditKeyConst.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMap>
#include <QToolButton>

namespace app {

namespace {

// A one-line box of the window (the parameters) takes some of the window's keys for its own
// editing: Ctrl+E moves to the end of the line there. The window's shortcuts come first in such a
// box (End does the same); the editors keep theirs.
class TLineEditShortcuts : public QObject {
public:
    explicit TLineEditShortcuts(TControlPanelForm &AForm) : QObject(&AForm), FForm(AForm) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override {
        if (AEvent->type() != QEvent::ShortcutOverride) return false;
        auto *edit = qobject_cast<QLineEdit *>(AWatched);
        if (!edit || !FForm.isAncestorOf(edit)) return false;
        // A find bar's field keeps Esc, which closes the bar.
        if (static_cast<QKeyEvent *>(AEvent)->key() == Qt::Key_Escape &&
            edit->property("escapeClosesBar").toBool())
            return false;
        const QKeySequence pressed(static_cast<QKeyEvent *>(AEvent)->keyCombination());
        for (const QAction *action : FForm.actions()) {
            if (action->isEnabled() && action->shortcuts().contains(pressed)) {
                AEvent->ignore(); // not the box's: the window's shortcut runs
                return true;
            }
        }
        return false;
    }

private:
    TControlPanelForm &FForm;
};

QString TooltipLine(const TWindowShortcut &AShortcut, const QKeySequence &AKeys) {
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(AShortcut.What),
                                         AKeys.toString(QKeySequence::NativeText));
}

} // namespace

void AddWindowShortcuts(TControlPanelForm &AForm) {
    new TLineEditShortcuts(AForm);
    QMap<QToolButton *, QStringList> tips;
    for (const TWindowShortcut &shortcut : kWindowShortcuts) {
        const QKeySequence keys(QString::fromLatin1(shortcut.Keys), QKeySequence::PortableText);
        QAction *action = AForm.*shortcut.Action;
        action->setShortcuts(action->shortcuts() << keys); // an action may have several entries
        action->setShortcutContext(shortcut.InputRow ? Qt::WidgetWithChildrenShortcut : Qt::WindowShortcut);
        action->setAutoRepeat(false);
        if (shortcut.InputRow)
            AForm.InputPanel->addAction(action);
        else
            AForm.addAction(action);
        if (shortcut.Button) tips[AForm.*shortcut.Button] << TooltipLine(shortcut, keys);
    }
    // A button's tooltip names every key of its entries, one a line (Script: Ctrl+O and F5).
    for (auto it = tips.cbegin(); it != tips.cend(); ++it)
        it.key()->setToolTip(it.value().join(QLatin1Char('\n')));
    TakeWindowKeysFrom(*AForm.PHPmemo);
    TakeWindowKeysFrom(*AForm.WebMemo);
}

void TakeWindowKeysFrom(lexedit::TCustomLexEdit &AEditor) {
    lexedit::TLexEditKeyStrokes &strokes = AEditor.Keystrokes();
    for (const TWindowShortcut &shortcut : kWindowShortcuts) {
        if (shortcut.InputRow) continue; // the row's keys act in the row only
        const QKeySequence keys(QString::fromLatin1(shortcut.Keys), QKeySequence::PortableText);
        if (keys.count() != 1) continue;
        // The key as the editor reads it from a key press.
        const QKeyEvent press(QEvent::KeyPress, keys[0].key(), keys[0].keyboardModifiers());
        uint16_t key = 0;
        lexedit::TShiftState shift;
        if (!lexedit::KeyEventToVirtualKey(press, key, shift)) continue;
        // Also a two-key command that begins with it: the window takes the first key.
        for (int i = strokes.Count() - 1; i >= 0; --i)
            if (strokes.Items(i)->Key() == key && strokes.Items(i)->Shift() == shift) strokes.Delete(i);
    }
}

QString ShortcutKeysOf(QAction *TControlPanelForm::*AAction) {
    for (const TWindowShortcut &shortcut : kWindowShortcuts)
        if (shortcut.Action == AAction)
            return QKeySequence(QString::fromLatin1(shortcut.Keys), QKeySequence::PortableText)
                .toString(QKeySequence::NativeText);
    return QString();
}

QString ShortcutHelpText() {
    QString text = QStringLiteral("Shortcuts in the window:\n");
    for (const TWindowShortcut &shortcut : kWindowShortcuts)
        text += QStringLiteral("  %1 %2\n")
                    .arg(QString::fromLatin1(shortcut.Keys), -14)
                    .arg(QString::fromUtf8(shortcut.What));
    text += QStringLiteral("They work inside the editors too.");
    return text;
}

} // namespace app

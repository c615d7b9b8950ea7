// SPDX-License-Identifier: MIT
// Keyboard and input-method input from Qt.
//
// A key press is translated through the keystroke table; a key that ran a command inserts
// nothing (the key's text is swallowed, as the character message of the same key would be).
// Other text is typed: one code unit as ecChar, several (a surrogate pair, a compose result) as
// one ecImeStr, so a pair is never split. Keys the table maps, and printable text, are claimed
// in ShortcutOverride so that window shortcuts do not take Ctrl+C, Ctrl+V or Ctrl+Z from the
// editor. Alt with a decimal code on the numeric keypad types that character (32..65535, but not
// 127 and not a surrogate half): the platform offers no such service here.
// The input method's commit string becomes ecImeStr; its composition string is shown at the
// caret and never stored.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "lexedit/LexEditKeyConst.h"
#include "lexedit/LexTextDrawer.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>

namespace lexedit {

namespace {

bool IsKeypadDigit(uint16_t Key) {
    return Key >= VK_NUMPAD0 && Key <= VK_NUMPAD0 + 9;
}

// The text of a key event without control characters and lone surrogate halves.
QString TypedText(const QString &S) {
    QString Result;
    for (qsizetype i = 0; i < S.size(); ++i) {
        const QChar c = S[i];
        if (c.unicode() < 32 || c.unicode() == 127) continue;
        if (c.isHighSurrogate()) {
            if (i + 1 < S.size() && S[i + 1].isLowSurrogate()) {
                Result += c;
                Result += S[++i];
            }
            continue;
        }
        if (c.isLowSurrogate()) continue;
        Result += c;
    }
    return Result;
}

} // namespace

bool TCustomLexEdit::event(QEvent *AEvent) {
    // Moved to a screen of another resolution: the pixel sizes follow.
    if (AEvent->type() == QEvent::ScreenChangeInternal) common::Guarded([this] { fPriv->ScreenChanged(); });
    if (AEvent->type() == QEvent::ShortcutOverride) {
        auto *K = static_cast<QKeyEvent *>(AEvent);
        bool Claim = false;
        common::Guarded([&] {
            uint16_t Key = 0;
            TShiftState Shift;
            if (KeyEventToVirtualKey(*K, Key, Shift))
                Claim =
                    fPriv->fKeyStrokes->FindKeycode(Key, Shift) >= 0 ||
                    (fPriv->fLastKey != 0 && fPriv->fKeyStrokes->FindKeycode2(
                                                 fPriv->fLastKey, fPriv->fLastShiftState, Key, Shift) >= 0);
            if ((Key == VK_TAB) && !fPriv->fWantTabs) Claim = false;
            if (!Claim && !(K->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)))
                Claim = !TypedText(K->text()).isEmpty();
        });
        if (Claim) {
            AEvent->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(AEvent);
}

void TCustomLexEdit::keyPressEvent(QKeyEvent *AEvent) {
    common::Guarded([&] {
        uint16_t Key = 0;
        TShiftState Shift;
        const bool HasKey = KeyEventToVirtualKey(*AEvent, Key, Shift);
        if (HasKey) {
            // Digits of a character code typed with Alt held are collected at key up.
            if (Shift.Contains(ssAlt) && IsKeypadDigit(Key)) return;
            KeyDown(Key, Shift);
        } else {
            fPriv->fStateFlags.Exclude(sfIgnoreNextChar);
        }
        // A key held with Ctrl or Meta is a command or nothing: Ctrl+- or Ctrl+. must not type
        // the character. AltGr (a separate modifier here, never Ctrl) still types its character.
        if (AEvent->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) {
            fPriv->fStateFlags.Exclude(sfIgnoreNextChar);
            return;
        }
        QString Text = AEvent->text();
        if (!Text.isEmpty()) KeyPress(Text);
    });
    AEvent->accept();
}

void TCustomLexEdit::keyReleaseEvent(QKeyEvent *AEvent) {
    if (AEvent->isAutoRepeat()) return;
    common::Guarded([&] {
        uint16_t Key = 0;
        TShiftState Shift;
        if (KeyEventToVirtualKey(*AEvent, Key, Shift)) KeyUp(Key, Shift);
    });
    AEvent->accept();
}

void TCustomLexEdit::KeyDown(uint16_t &Key, TShiftState Shift) {
    fPriv->fKbdHandler.ExecuteKeyDown(this, Key, Shift);
    void *Data = nullptr;
    const TLexEditorCommand Command = Key != 0 ? TranslateKeyCode(Key, Shift, Data) : ecNone;
    if (Command != ecNone) {
        Key = 0;
        fPriv->fStateFlags.Include(sfIgnoreNextChar);
        CommandProcessor(Command, QChar(0), Data);
    } else {
        fPriv->fStateFlags.Exclude(sfIgnoreNextChar);
    }
}

void TCustomLexEdit::KeyPress(QString &Text) {
    if (fPriv->FIgnoreNextChar) {
        fPriv->FIgnoreNextChar = false;
        return;
    }
    if (fPriv->fStateFlags.Contains(sfIgnoreNextChar)) {
        // The text belongs to a key that already ran a command.
        fPriv->fStateFlags.Exclude(sfIgnoreNextChar);
        return;
    }
    Text = TypedText(Text);
    if (Text.size() == 1) {
        QChar c = Text[0];
        fPriv->fKbdHandler.ExecuteKeyPress(this, c);
        if (c.unicode() != 0) CommandProcessor(ecChar, c, nullptr);
    } else if (!Text.isEmpty()) {
        CommandProcessor(ecImeStr, QChar(0), &Text);
    }
}

void TCustomLexEdit::KeyUp(uint16_t &Key, TShiftState Shift) {
    if (Shift.Contains(ssAlt) && IsKeypadDigit(Key)) {
        fPriv->FCharCodeString += QChar(u'0' + (Key - VK_NUMPAD0));
    } else if (Key == VK_MENU) {
        bool Ok = false;
        const int Code = fPriv->FCharCodeString.toInt(&Ok);
        fPriv->FCharCodeString.clear();
        if (Ok && Code >= 32 && Code <= 65535 && Code != 127 && !QChar(char16_t(Code)).isSurrogate()) {
            QString Text = QString(QChar(char16_t(Code)));
            KeyPress(Text);
        }
    }
    fPriv->fKbdHandler.ExecuteKeyUp(this, Key, Shift);
}

// ---- input method -------------------------------------------------------------------------------

void TCustomLexEdit::inputMethodEvent(QInputMethodEvent *AEvent) {
    common::Guarded([&] {
        QString Commit = AEvent->commitString();
        if (!Commit.isEmpty()) CommandProcessor(ecImeStr, QChar(0), &Commit);
        if (AEvent->preeditString() != fPriv->fPreeditString) {
            fPriv->fPreeditString = AEvent->preeditString();
            InvalidateLine(fPriv->fCaretY);
        }
    });
    AEvent->accept();
}

QVariant TCustomLexEdit::inputMethodQuery(Qt::InputMethodQuery AQuery) const {
    switch (AQuery) {
    case Qt::ImEnabled:
        return !GetReadOnly();
    case Qt::ImCursorRectangle: {
        const TDisplayCoord P = DisplayXY();
        return QRect((P.Column - 1) * fPriv->fCharWidth + fPriv->fTextOffset,
                     (P.Row - fPriv->fTopLine) * fPriv->fTextHeight, 1, fPriv->fTextHeight);
    }
    case Qt::ImFont:
        return font();
    case Qt::ImSurroundingText:
        return LineText();
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition:
        return fPriv->fCaretX - 1;
    default:
        return QAbstractScrollArea::inputMethodQuery(AQuery);
    }
}

void TCustomLexEdit::PaintPreedit(QPainter &APainter) const {
    if (fPriv->fPreeditString.isEmpty() || fPriv->fCharWidth <= 0 || fPriv->fTextHeight <= 0) return;
    const TDisplayCoord P = DisplayXY();
    const int X = (P.Column - 1) * fPriv->fCharWidth + fPriv->fTextOffset;
    const int Y = (P.Row - fPriv->fTopLine) * fPriv->fTextHeight;
    APainter.save();
    APainter.setFont(font());
    const QRect R(X, Y, APainter.fontMetrics().horizontalAdvance(fPriv->fPreeditString) + 1,
                  fPriv->fTextHeight);
    APainter.fillRect(R, ColorToQColor(fPriv->fColor, palette()));
    APainter.setPen(palette().color(QPalette::Text));
    APainter.drawText(R, Qt::AlignLeft | Qt::AlignVCenter, fPriv->fPreeditString);
    // Underlined, as a composition is shown.
    APainter.drawLine(R.left(), R.bottom(), R.right(), R.bottom());
    APainter.restore();
}

} // namespace lexedit

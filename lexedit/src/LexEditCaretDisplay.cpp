// SPDX-License-Identifier: MIT
// The caret on screen: its shape for the insert and overwrite modes, its place at the caret's
// cell, showing, hiding and blinking, and the focus that creates and removes it.
//
// The editor draws the caret itself, inverted, last in every paint that covers it (PaintCaret);
// everything else only invalidates the caret's old and new rectangles.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include <QFocusEvent>
#include <QGuiApplication>
#include <QInputMethod>
#include <QPainter>
#include <QStyleHints>

#include <algorithm>

namespace lexedit {

namespace {

// Commands without a built-in action: they tell the command events and the hooked handlers
// that the editor got or lost the focus.
constexpr TLexEditorCommand FocusGainedCommand = 480;
constexpr TLexEditorCommand FocusLostCommand = 481;

} // namespace

// ---- shape --------------------------------------------------------------------------------------

void TCustomLexEdit::SetInsertCaret(TLexEditCaretType Value) {
    if (Value == fPriv->fInsertCaret) return;
    fPriv->fInsertCaret = Value;
    InitializeCaret();
}

void TCustomLexEdit::SetOverwriteCaret(TLexEditCaretType Value) {
    if (Value == fPriv->fOverwriteCaret) return;
    fPriv->fOverwriteCaret = Value;
    InitializeCaret();
}

void TCustomLexEdit::InitializeCaret() {
    const TLexEditCaretType Type = fPriv->fInserting ? fPriv->fInsertCaret : fPriv->fOverwriteCaret;
    // Never less than one pixel, also in rows of one or two pixels.
    const int Tall = std::max(1, fPriv->fTextHeight - 2);
    const int Wide = std::max(1, fPriv->fCharWidth);
    switch (Type) {
    case ctHorizontalLine:
        fPriv->fCaretSize = QSize(Wide, 2);
        fPriv->fCaretOffset = QPoint(0, std::max(0, fPriv->fTextHeight - 2));
        break;
    case ctHalfBlock: {
        const int Half = std::max(1, (fPriv->fTextHeight - 2) / 2);
        fPriv->fCaretSize = QSize(Wide, Half);
        fPriv->fCaretOffset = QPoint(0, Half);
        break;
    }
    case ctBlock:
        fPriv->fCaretSize = QSize(Wide, Tall);
        fPriv->fCaretOffset = QPoint(0, 0);
        break;
    case ctVerticalLine:
    default:
        fPriv->fCaretSize = QSize(2, Tall);
        fPriv->fCaretOffset = QPoint(-1, 0);
        break;
    }
    HideCaret();
    fPriv->fCaretCreated = false;
    if (hasFocus() || fPriv->fAlwaysShowCaret) {
        fPriv->fCaretCreated = true;
        fPriv->fCaretRect = QRect();
        UpdateCaret();
    }
}

void TLexEditPrivate::DestroyCaret() {
    Ed.HideCaret();
    fCaretCreated = false;
}

void TCustomLexEdit::SetAlwaysShowCaret(bool Value) {
    if (Value == fPriv->fAlwaysShowCaret) return;
    fPriv->fAlwaysShowCaret = Value;
    if (hasFocus()) return;
    if (Value)
        InitializeCaret();
    else
        fPriv->DestroyCaret();
}

// ---- place --------------------------------------------------------------------------------------

void TCustomLexEdit::UpdateCaret() {
    if (fPriv->fPaintLock > 0 || (!hasFocus() && !fPriv->fAlwaysShowCaret)) {
        fPriv->fStateFlags.Include(sfCaretChanged);
        return;
    }
    fPriv->fStateFlags.Exclude(sfCaretChanged);
    if (fPriv->fDestroying) return;
    TDisplayCoord Cell = DisplayXY();
    // With word wrap the caret stays inside the window, after its last column at most.
    if (WordWrap() && fPriv->fCharsInWindow > 0)
        Cell.Column = std::min(Cell.Column, fPriv->fCharsInWindow + 1);
    const QPoint At = RowColumnToPixels(Cell) + fPriv->fCaretOffset;
    const QRect R(At, fPriv->fCaretSize);
    if (R != fPriv->fCaretRect) {
        fPriv->InvalidateCaret();
        fPriv->fCaretRect = R;
        // A caret that moves shows at once and starts its blinking again.
        fPriv->fCaretBlinkOn = true;
        if (fPriv->fCaretBlinkTimer.isActive()) fPriv->fCaretBlinkTimer.start();
        fPriv->InvalidateCaret();
    }
    const QRect Client = viewport()->rect();
    if (At.x() >= fPriv->fGutterWidth && At.x() <= Client.right() && At.y() >= 0 && At.y() <= Client.bottom())
        ShowCaret();
    else
        HideCaret();
    if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

QRect TCustomLexEdit::CaretRectangle() const {
    return fPriv->fCaretRect.translated(viewport()->pos());
}

// ---- show, hide, blink ----------------------------------------------------------------------------

void TCustomLexEdit::ShowCaret() {
    if (fPriv->fOptions.Contains(eoNoCaret) || fPriv->fStateFlags.Contains(sfCaretVisible) ||
        !fPriv->fCaretCreated)
        return;
    fPriv->fStateFlags.Include(sfCaretVisible);
    fPriv->fCaretBlinkOn = true;
    const int Flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (Flash > 0) fPriv->fCaretBlinkTimer.start(std::max(1, Flash / 2));
    fPriv->InvalidateCaret();
}

void TCustomLexEdit::HideCaret() {
    if (!fPriv->fStateFlags.Contains(sfCaretVisible)) return;
    fPriv->InvalidateCaret();
    fPriv->fStateFlags.Exclude(sfCaretVisible);
    fPriv->fCaretBlinkTimer.stop();
}

void TLexEditPrivate::CaretBlink() {
    if (!fStateFlags.Contains(sfCaretVisible)) {
        fCaretBlinkTimer.stop();
        return;
    }
    fCaretBlinkOn = !fCaretBlinkOn;
    InvalidateCaret();
}

void TLexEditPrivate::InvalidateCaret() {
    // The caret is not part of the text: its pixels are asked for at once, also under the lock.
    if (!fDestroying && !fCaretRect.isEmpty() && fStateFlags.Contains(sfCaretVisible))
        Ed.viewport()->update(fCaretRect);
}

void TLexEditPrivate::PaintCaret(QPainter &APainter, const QRect &AClip) const {
    if (!fStateFlags.Contains(sfCaretVisible) || !fCaretBlinkOn) return;
    const QRect Text(fGutterWidth, 0, std::max(0, Ed.viewport()->width() - fGutterWidth),
                     Ed.viewport()->height());
    const QRect R = fCaretRect.intersected(Text).intersected(AClip);
    if (R.isEmpty()) return;
    APainter.save();
    // White in difference mode inverts what lies below and keeps it opaque.
    APainter.setCompositionMode(QPainter::CompositionMode_Difference);
    APainter.fillRect(R, Qt::white);
    APainter.restore();
}

// ---- focus ----------------------------------------------------------------------------------------

void TCustomLexEdit::SetFocus() {
    for (auto It = fPriv->fFocusList.rbegin(); It != fPriv->fFocusList.rend(); ++It) {
        if (It->isNull()) continue;
        QWidget *W = It->data();
        if (W->isEnabled() && W->isVisible() && W->focusPolicy() != Qt::NoFocus)
            W->setFocus(Qt::OtherFocusReason);
        return;
    }
    setFocus(Qt::MouseFocusReason);
}

void TCustomLexEdit::focusInEvent(QFocusEvent *AEvent) {
    QAbstractScrollArea::focusInEvent(AEvent);
    common::Guarded([&] {
        // Back from a popup menu: the caret and the selection never went.
        if (AEvent->reason() == Qt::PopupFocusReason && fPriv->fCaretCreated) {
            UpdateCaret();
            return;
        }
        CommandProcessor(FocusGainedCommand, QChar(), nullptr);
        InitializeCaret();
        if (fPriv->fHideSelection && SelAvail()) InvalidateSelection();
    });
}

void TCustomLexEdit::focusOutEvent(QFocusEvent *AEvent) {
    QAbstractScrollArea::focusOutEvent(AEvent);
    common::Guarded([&] {
        // A popup menu takes the focus only for a while: caret and selection stay.
        if (AEvent->reason() == Qt::PopupFocusReason) return;
        CommandProcessor(FocusLostCommand, QChar(), nullptr);
        fPriv->fScrollTimer.stop();
        if (hasFocus() || fPriv->fAlwaysShowCaret) return;
        fPriv->DestroyCaret();
        if (fPriv->fHideSelection && SelAvail()) InvalidateSelection();
    });
}

} // namespace lexedit

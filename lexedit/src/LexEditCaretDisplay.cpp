// The caret on screen: its shape for the insert and overwrite modes, its place at the caret's
// cell, showing, hiding and blinking, and the focus that creates and removes it.
//
// The editor draws the caret itself, inverted, last in every paint that covers it (PaintCaret);
// everything else only invalidates the caret's old and new rectangles.

#include "lexedit/LexEdit.h"

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
    if (Value == fInsertCaret) return;
    fInsertCaret = Value;
    InitializeCaret();
}

void TCustomLexEdit::SetOverwriteCaret(TLexEditCaretType Value) {
    if (Value == fOverwriteCaret) return;
    fOverwriteCaret = Value;
    InitializeCaret();
}

void TCustomLexEdit::InitializeCaret() {
    const TLexEditCaretType Type = fInserting ? fInsertCaret : fOverwriteCaret;
    // Never less than one pixel, also in rows of one or two pixels.
    const int Tall = std::max(1, fTextHeight - 2);
    const int Wide = std::max(1, fCharWidth);
    switch (Type) {
    case ctHorizontalLine:
        fCaretSize = QSize(Wide, 2);
        fCaretOffset = QPoint(0, std::max(0, fTextHeight - 2));
        break;
    case ctHalfBlock: {
        const int Half = std::max(1, (fTextHeight - 2) / 2);
        fCaretSize = QSize(Wide, Half);
        fCaretOffset = QPoint(0, Half);
        break;
    }
    case ctBlock:
        fCaretSize = QSize(Wide, Tall);
        fCaretOffset = QPoint(0, 0);
        break;
    case ctVerticalLine:
    default:
        fCaretSize = QSize(2, Tall);
        fCaretOffset = QPoint(-1, 0);
        break;
    }
    HideCaret();
    fCaretCreated = false;
    if (hasFocus() || fAlwaysShowCaret) {
        fCaretCreated = true;
        fCaretRect = QRect();
        UpdateCaret();
    }
}

void TCustomLexEdit::DestroyCaret() {
    HideCaret();
    fCaretCreated = false;
}

void TCustomLexEdit::SetAlwaysShowCaret(bool Value) {
    if (Value == fAlwaysShowCaret) return;
    fAlwaysShowCaret = Value;
    if (hasFocus()) return;
    if (Value)
        InitializeCaret();
    else
        DestroyCaret();
}

// ---- place --------------------------------------------------------------------------------------

void TCustomLexEdit::UpdateCaret() {
    if (fPaintLock > 0 || (!hasFocus() && !fAlwaysShowCaret)) {
        fStateFlags.Include(sfCaretChanged);
        return;
    }
    fStateFlags.Exclude(sfCaretChanged);
    if (fDestroying) return;
    TDisplayCoord Cell = DisplayXY();
    // With word wrap the caret stays inside the window, after its last column at most.
    if (WordWrap() && fCharsInWindow > 0) Cell.Column = std::min(Cell.Column, fCharsInWindow + 1);
    const QPoint At = RowColumnToPixels(Cell) + fCaretOffset;
    const QRect R(At, fCaretSize);
    if (R != fCaretRect) {
        InvalidateCaret();
        fCaretRect = R;
        // A caret that moves shows at once and starts its blinking again.
        fCaretBlinkOn = true;
        if (fCaretBlinkTimer.isActive()) fCaretBlinkTimer.start();
        InvalidateCaret();
    }
    const QRect Client = viewport()->rect();
    if (At.x() >= fGutterWidth && At.x() <= Client.right() && At.y() >= 0 && At.y() <= Client.bottom())
        ShowCaret();
    else
        HideCaret();
    if (hasFocus()) QGuiApplication::inputMethod()->update(Qt::ImCursorRectangle);
}

QRect TCustomLexEdit::CaretRectangle() const {
    return fCaretRect.translated(viewport()->pos());
}

// ---- show, hide, blink ----------------------------------------------------------------------------

void TCustomLexEdit::ShowCaret() {
    if (fOptions.Contains(eoNoCaret) || fStateFlags.Contains(sfCaretVisible) || !fCaretCreated) return;
    fStateFlags.Include(sfCaretVisible);
    fCaretBlinkOn = true;
    const int Flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (Flash > 0) fCaretBlinkTimer.start(std::max(1, Flash / 2));
    InvalidateCaret();
}

void TCustomLexEdit::HideCaret() {
    if (!fStateFlags.Contains(sfCaretVisible)) return;
    InvalidateCaret();
    fStateFlags.Exclude(sfCaretVisible);
    fCaretBlinkTimer.stop();
}

void TCustomLexEdit::CaretBlink() {
    if (!fStateFlags.Contains(sfCaretVisible)) {
        fCaretBlinkTimer.stop();
        return;
    }
    fCaretBlinkOn = !fCaretBlinkOn;
    InvalidateCaret();
}

void TCustomLexEdit::InvalidateCaret() {
    // The caret is not part of the text: its pixels are asked for at once, also under the lock.
    if (!fDestroying && !fCaretRect.isEmpty() && fStateFlags.Contains(sfCaretVisible))
        viewport()->update(fCaretRect);
}

void TCustomLexEdit::PaintCaret(QPainter &APainter, const QRect &AClip) const {
    if (!fStateFlags.Contains(sfCaretVisible) || !fCaretBlinkOn) return;
    const QRect Text(fGutterWidth, 0, std::max(0, viewport()->width() - fGutterWidth), viewport()->height());
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
    for (auto It = fFocusList.rbegin(); It != fFocusList.rend(); ++It) {
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
        if (AEvent->reason() == Qt::PopupFocusReason && fCaretCreated) {
            UpdateCaret();
            return;
        }
        CommandProcessor(FocusGainedCommand, QChar(), nullptr);
        InitializeCaret();
        if (fHideSelection && SelAvail()) InvalidateSelection();
    });
}

void TCustomLexEdit::focusOutEvent(QFocusEvent *AEvent) {
    QAbstractScrollArea::focusOutEvent(AEvent);
    common::Guarded([&] {
        // A popup menu takes the focus only for a while: caret and selection stay.
        if (AEvent->reason() == Qt::PopupFocusReason) return;
        CommandProcessor(FocusLostCommand, QChar(), nullptr);
        fScrollTimer.stop();
        if (hasFocus() || fAlwaysShowCaret) return;
        DestroyCaret();
        if (fHideSelection && SelAvail()) InvalidateSelection();
    });
}

} // namespace lexedit

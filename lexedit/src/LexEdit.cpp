// SPDX-License-Identifier: MIT
// The editor control: construction and destruction, settings, the update lock and status
// reports, the highlighter hook-up, the focus list and the plug-in registration.

#include "lexedit/LexEdit.h"

#include "LexEditFolding.h"

#include "LexEditPrivate.h"

#include "LexEditBrackets.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"
#include "lexedit/LexEditWordWrap.h"
#include "lexedit/LexTextDrawer.h"

#include <QEvent>
#include <QFontInfo>

#include <algorithm>
#include <utility>

namespace lexedit {

namespace {

QFont MakeDefaultFont() {
    QFont Font(DefaultFontName(), 10);
    Font.setStyleHint(QFont::Monospace);
    Font.setFixedPitch(true);
    return Font;
}

} // namespace

// ---- construction and destruction -------------------------------------------------------------

TLexEditPrivate::TLexEditPrivate(TCustomLexEdit &AEdit)
    : Ed(AEdit), fFolding(std::make_unique<TLexEditFolding>(AEdit, *this)) {}

TLexEditPrivate::~TLexEditPrivate() = default;

TCustomLexEdit::TCustomLexEdit(QWidget *AOwner)
    : QAbstractScrollArea(AOwner), fPriv(std::make_unique<TLexEditPrivate>(*this)) {
    // The buffer, with this editor's widening of wide glyphs and its notifications.
    fPriv->fOrigLines =
        std::make_unique<TLexEditStringList>([this](const QString &S) { return ExpandAtWideGlyphs(S); });
    fPriv->fLines = fPriv->fOrigLines.get();
    fPriv->fLines->OnChange = [this](TLexEditStringList *Sender) { LinesChanged(Sender); };
    fPriv->fLines->OnChanging = [this](TLexEditStringList *Sender) { fPriv->LinesChanging(Sender); };
    fPriv->fLines->OnCleared = [this](TLexEditStringList *Sender) { fPriv->ListCleared(Sender); };
    fPriv->fLines->OnDeleted = [this](TLexEditStringList *Sender, int Index, int Count) {
        fPriv->ListDeleted(Sender, Index, Count);
    };
    fPriv->fLines->OnInserted = [this](TLexEditStringList *Sender, int Index, int Count) {
        fPriv->ListInserted(Sender, Index, Count);
    };
    fPriv->fLines->OnPut = [this](TLexEditStringList *Sender, int Index, const QString &OldLine) {
        fPriv->ListPut(Sender, Index, OldLine);
    };
    fPriv->fLines->OnExchanged = [this](TLexEditStringList *Sender, int Index1, int Index2) {
        fPriv->ListExchanged(Sender, Index1, Index2);
    };

    // The undo engine.
    fPriv->fOrigUndoRedo = CreateLexEditUndo([this](const TLexEditUndoItem &Item) { fPriv->UndoItem(Item); },
                                             [this](const TLexEditUndoItem &Item) { fPriv->RedoItem(Item); });
    fPriv->fOrigUndoRedo->SetOnModifiedChanged(
        [this](ILexEditUndo *Sender) { fPriv->ModifiedChanged(Sender); });
    fPriv->fUndoRedo = fPriv->fOrigUndoRedo;

    fPriv->fTextOffset = fPriv->fGutterWidth + 2;

    // The window.
    resize(200, 150);
    fPriv->InitViewAndMouse();
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFrameShape(QFrame::StyledPanel);
    const QFont Font = MakeDefaultFont();
    fPriv->fTextDrawer = std::make_unique<TheTextDrawer>(TFontStyles(), Font);
    setFont(Font);

    fPriv->fKeyStrokes = std::make_unique<TLexEditKeyStrokes>(this);
    fPriv->fMarkList.OnChange = [this](int FirstLine, int LastLine) {
        fPriv->MarkListChange(FirstLine, LastLine);
    };
    SetDefaultKeystrokes();

    fPriv->fOptions = LEXEDIT_DEFAULT_OPTIONS;
    fPriv->fUndoRedo->SetGroupUndo(fPriv->fOptions.Contains(eoGroupUndo));
    fPriv->InitPainting();
    // The continuation glyph repaints the gutter when it changes.
    fPriv->fWordWrapGlyph.OnChange = [this] { InvalidateGutter(); };
    fPriv->fWordWrapGlyph.ChangeScale(std::max(1, logicalDpiY()), 96);
    fPriv->LexFontChanged();
}

TCustomLexEdit::~TCustomLexEdit() {
    fPriv->fDestroying = true;
    // Editors showing this editor's buffer go back to their own first: the buffer goes with us.
    const std::vector<TCustomLexEdit *> Followers = fPriv->fFollowers;
    for (TCustomLexEdit *Follower : Followers)
        Follower->RemoveLinesPointer();
    if (fPriv->fChainedEditor != nullptr) fPriv->UnHookTextBuffer();
    fPriv->AssignHighlighter(nullptr);
    for (TLexEditPlugin *Plugin : fPriv->fPlugins)
        Plugin->fOwner = nullptr;
    fPriv->fPlugins.clear();
    // The buffer must not call back into a half-destroyed editor.
    fPriv->fOrigLines->OnChange = nullptr;
    fPriv->fOrigLines->OnChanging = nullptr;
    fPriv->fOrigLines->OnCleared = nullptr;
    fPriv->fOrigLines->OnDeleted = nullptr;
    fPriv->fOrigLines->OnInserted = nullptr;
    fPriv->fOrigLines->OnPut = nullptr;
    fPriv->fOrigLines->OnExchanged = nullptr;
    fPriv->fOrigUndoRedo->SetOnModifiedChanged(nullptr);
}

// ---- buffer and undo ----------------------------------------------------------------------------

void TCustomLexEdit::SetLines(const QStringList &AValue) {
    TOwnBufferBracket Bracket(*this);
    fPriv->fLines->Clear();
    fPriv->fLines->AddStrings(AValue);
}

QString TCustomLexEdit::Text() const {
    return fPriv->fLines->Text();
}

void TCustomLexEdit::SetText(const QString &AValue) {
    fPriv->fLines->SetText(AValue);
}

QString TCustomLexEdit::LineText() const {
    if (fPriv->fCaretY >= 1 && fPriv->fCaretY <= fPriv->fLines->Count())
        return fPriv->fLines->Get(fPriv->fCaretY - 1);
    return QString();
}

void TCustomLexEdit::SetLineText(const QString &AValue) {
    if (fPriv->fCaretY >= 1 && fPriv->fCaretY <= std::max(fPriv->fLines->Count(), 1))
        fPriv->fLines->Put(fPriv->fCaretY - 1, AValue); // Put at Count appends
}

bool TCustomLexEdit::Modified() const {
    return fPriv->fUndoRedo->Modified();
}

void TCustomLexEdit::SetModified(bool Value) {
    if (Value == fPriv->fUndoRedo->Modified()) return;
    fPriv->fUndoRedo->SetModified(Value);
    if (!Value && fPriv->fOptions.Contains(eoGroupUndo) && fPriv->fUndoRedo->CanUndo())
        fPriv->fUndoRedo->AddGroupBreak();
    StatusChanged({scModified});
}

int TCustomLexEdit::MaxUndo() const {
    return fPriv->fUndoRedo->MaxUndoActions();
}
void TCustomLexEdit::SetMaxUndo(int Value) {
    fPriv->fUndoRedo->SetMaxUndoActions(Value);
}

// ---- settings -----------------------------------------------------------------------------------

void TCustomLexEdit::SetOptions(TLexEditorOptions Value) {
    if (Value == fPriv->fOptions) return;
    const TLexEditorOptions Changed = TLexEditorOptions::FromMask(Value.ToMask() ^ fPriv->fOptions.ToMask());
    fPriv->fOptions = Value;
    fPriv->fUndoRedo->SetGroupUndo(fPriv->fOptions.Contains(eoGroupUndo));
    if (!fPriv->fOptions.Contains(eoScrollPastEol)) SetLeftChar(fPriv->fLeftChar);
    if (!fPriv->fOptions.Contains(eoScrollPastEof)) SetTopLine(fPriv->fTopLine);
    if (Changed.Contains(eoDropFiles)) setAcceptDrops(fPriv->fOptions.Contains(eoDropFiles));
    if (Changed.Contains(eoShowSpecialChars)) InvalidateAll();
    if (Changed.Contains(eoNoCaret)) {
        if (fPriv->fOptions.Contains(eoNoCaret))
            HideCaret();
        else
            UpdateCaret();
    }
    if (Changed.Contains(eoDisableScrollArrows) || Changed.Contains(eoHideShowScrollbars) ||
        Changed.Contains(eoScrollPastEof) || Changed.Contains(eoScrollPastEol))
        UpdateScrollBars();
}

void TCustomLexEdit::SetTabWidth(int Value) {
    Value = MinMax(Value, 1, 256);
    if (Value == fPriv->fTabWidth) return;
    fPriv->fTabWidth = Value;
    fPriv->fLines->SetTabWidth(Value);
    InvalidateAll();
    if (WordWrap()) {
        fPriv->WrapReset();
        InvalidateGutter();
    }
}

void TCustomLexEdit::SetInsertMode(bool Value) {
    if (Value == fPriv->fInserting) return;
    fPriv->fInserting = Value;
    InitializeCaret();
    StatusChanged({scInsertMode});
}

void TCustomLexEdit::SetReadOnly(bool Value) {
    if (Value == fPriv->fReadOnly) return;
    fPriv->fReadOnly = Value;
    StatusChanged({scReadOnly});
}

void TCustomLexEdit::SetHideSelection(bool Value) {
    if (Value == fPriv->fHideSelection) return;
    fPriv->fHideSelection = Value;
    InvalidateSelection();
}

void TCustomLexEdit::SetRightEdge(int Value) {
    if (Value == fPriv->fRightEdge) return;
    fPriv->fRightEdge = Value;
    InvalidateAll();
}

void TCustomLexEdit::SetRightEdgeColor(TColor Value) {
    if (Value == fPriv->fRightEdgeColor) return;
    fPriv->fRightEdgeColor = Value;
    // The strip around the margin line.
    const int X = fPriv->fTextOffset + fPriv->fRightEdge * fPriv->fCharWidth;
    InvalidateRect(QRect(X - 1, 0, 3, viewport()->height()));
}

void TCustomLexEdit::SetActiveLineColor(TColor Value) {
    if (Value == fPriv->fActiveLineColor) return;
    fPriv->fActiveLineColor = Value;
    InvalidateLine(fPriv->fCaretY);
}

void TCustomLexEdit::SetColor(TColor Value) {
    if (Value == fPriv->fColor) return;
    fPriv->fColor = Value;
    InvalidateAll();
}

void TCustomLexEdit::SetExtraLineSpacing(int Value) {
    if (Value == fPriv->fExtraLineSpacing) return;
    fPriv->fExtraLineSpacing = Value;
    fPriv->LexFontChanged();
}

void TCustomLexEdit::SetFontQuality(TFontQuality Value) {
    if (Value == fPriv->fFontQuality) return;
    fPriv->fFontQuality = Value;
    SetEditorFont(font());
}

void TCustomLexEdit::SetEditorFont(const QFont &AFont) {
    QFont Font = AFont;
    Font.setStyleStrategy(fPriv->fFontQuality == fqNonAntialiased ? QFont::NoAntialias
                                                                  : QFont::PreferDefault);
    // Text is laid out in cells: a proportional face is asked for again with a fixed pitch.
    if (!QFontInfo(Font).fixedPitch()) {
        Font.setFixedPitch(true);
        Font.setStyleHint(QFont::Monospace, Font.styleStrategy());
    }
    setFont(Font); // changeEvent recomputes the cells
}

void TCustomLexEdit::SetScrollBars(TScrollStyle Value) {
    if (Value == fPriv->FScrollBars) return;
    fPriv->FScrollBars = Value;
    UpdateScrollBars();
    InvalidateAll();
}

void TCustomLexEdit::SetBorderStyle(TBorderStyle Value) {
    if (Value == fPriv->fBorderStyle) return;
    fPriv->fBorderStyle = Value;
    setFrameShape(Value == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TCustomLexEdit::changeEvent(QEvent *AEvent) {
    QAbstractScrollArea::changeEvent(AEvent);
    if (AEvent->type() == QEvent::FontChange) common::Guarded([this] { fPriv->LexFontChanged(); });
    if (AEvent->type() == QEvent::PaletteChange) common::Guarded([this] { fPriv->PaletteChanged(); });
}

void TLexEditPrivate::LexFontChanged() {
    if (fDestroying || !fTextDrawer) return;
    fTextDrawer->SetBaseFont(Ed.font());
    // Wide glyphs may take another number of columns now.
    fLines->FontChanged();
    Ed.RecalcCharExtent();
    WrapReset();
    Ed.SizeOrFontChanged(true);
    GutterChanged();
}

// ---- update lock and status -----------------------------------------------------------------

void TCustomLexEdit::IncPaintLock() {
    ++fPriv->fPaintLock;
}

void TCustomLexEdit::DecPaintLock() {
    if (fPriv->fPaintLock <= 0) throw common::EAssertionFailed();
    if (fPriv->fPaintLock == 1 && fPriv->fFollowFromRow >= 0) {
        // Lines came under the lock (AppendLines, ReplaceLine): the view follows them when the
        // end it had before them is in view (the scroll range the user had stops there). Still
        // inside the lock, so the move is part of the one repaint.
        const int Before = std::exchange(fPriv->fFollowFromRow, -1);
        const int Rows = std::max(fPriv->fLinesInWindow, 1);
        if (fPriv->fTopLine + Rows - 1 >= Before) SetTopLine(DisplayLineCount() - Rows + 1);
    }
    if (--fPriv->fPaintLock > 0) return;
    if (fPriv->fStateFlags.Contains(sfScrollbarChanged)) UpdateScrollBars();
    fPriv->WrapKeepCaretInWindow();
    if (fPriv->fStateFlags.Contains(sfCaretChanged)) {
        fPriv->fStateFlags.Exclude(sfCaretChanged);
        UpdateCaret();
    }
    FlushPendingInvalidation();
    if (!fPriv->fStatusChanges.Empty()) DoOnStatusChange(fPriv->fStatusChanges);
}

void TCustomLexEdit::StatusChanged(TLexStatusChanges AChanges) {
    fPriv->fStatusChanges += AChanges;
    if (fPriv->fPaintLock == 0) DoOnStatusChange(fPriv->fStatusChanges);
}

void TCustomLexEdit::DoOnStatusChange(TLexStatusChanges Changes) {
    if (OnStatusChange) {
        fPriv->fStatusChanges = TLexStatusChanges();
        OnStatusChange(this, Changes);
    }
}

void TCustomLexEdit::DoChange() {
    if (OnChange) OnChange(this);
}

// ---- highlighter ----------------------------------------------------------------------------

void TCustomLexEdit::SetHighlighter(TLexCustomHighlighter *Value) {
    if (fPriv->fChainedEditor != nullptr) {
        fPriv->fChainedEditor->SetHighlighter(Value);
        return;
    }
    if (Value == fPriv->fHighlighter) return;
    fPriv->AssignHighlighter(Value);
    fPriv->ForEachFollower([Value](TCustomLexEdit *F) { F->fPriv->AssignHighlighter(Value); });
}

void TLexEditPrivate::AssignHighlighter(TLexCustomHighlighter *Value) {
    if (Value == fHighlighter) return;
    if (fHighlighter != nullptr) {
        fHighlighter->UnhookAttrChangeEvent(&Ed);
        QObject::disconnect(fHighlighterDestroyed);
    }
    if (Value != nullptr) {
        // A change the highlighter announces without a sender comes from the highlighter itself.
        Value->HookAttrChangeEvent(&Ed, [this](QObject *Sender) {
            HighlighterAttrChanged(Sender != nullptr ? Sender : fHighlighter);
        });
        fHighlighterDestroyed = QObject::connect(
            Value, &QObject::destroyed, &Ed, [this] { common::Guarded([this] { HighlighterDestroyed(); }); });
    }
    fHighlighter = Value;
    if (!fDestroying) {
        HighlighterAttrChanged(Value);
        FoldingHighlighterChanged();
    }
}

void TLexEditPrivate::FoldingHighlighterChanged() {
    // Folding goes off and back on with the new highlighter (when it can fold), which scans again.
    const bool Folding = fUseCodeFolding;
    Ed.SetUseCodeFolding(false);
    Ed.SetUseCodeFolding(Folding);
}

void TLexEditPrivate::HighlighterDestroyed() {
    // The highlighter's change chain is gone with it: only the reference is dropped.
    fHighlighter = nullptr;
    QObject::disconnect(fHighlighterDestroyed);
    if (!fDestroying) {
        FoldingHighlighterChanged();
        Ed.InvalidateAll();
    }
}

void TLexEditPrivate::HighlighterAttrChanged(QObject *Sender) {
    Ed.RecalcCharExtent();
    if (dynamic_cast<TLexCustomHighlighter *>(Sender) != nullptr) {
        TUpdateGuard Lock(Ed);
        if (ScansRanges()) Ed.ScanRanges();
        Ed.InvalidateAll();
    } else {
        Ed.InvalidateAll();
    }
    Ed.SizeOrFontChanged(true);
}

// ---- registration lists ---------------------------------------------------------------------

void TCustomLexEdit::AddFocusControl(QWidget *AControl) {
    if (AControl != nullptr) fPriv->fFocusList.emplace_back(AControl);
}

void TCustomLexEdit::RemoveFocusControl(QWidget *AControl) {
    fPriv->fFocusList.erase(
        std::remove_if(fPriv->fFocusList.begin(), fPriv->fFocusList.end(),
                       [AControl](const QPointer<QWidget> &W) { return W.isNull() || W == AControl; }),
        fPriv->fFocusList.end());
}

void TLexEditPrivate::RegisterPlugin(TLexEditPlugin *APlugin) {
    fPlugins.push_back(APlugin);
}

void TLexEditPrivate::UnregisterPlugin(TLexEditPlugin *APlugin) {
    fPlugins.erase(std::remove(fPlugins.begin(), fPlugins.end(), APlugin), fPlugins.end());
}

// ---- plug-ins ---------------------------------------------------------------------------------

TLexEditPlugin::TLexEditPlugin(TCustomLexEdit *AOwner, TPlugInHandlers AHandlers)
    : fOwner(AOwner), fHandlers(AHandlers) {
    if (fOwner != nullptr) fOwner->fPriv->RegisterPlugin(this);
}

TLexEditPlugin::~TLexEditPlugin() {
    if (fOwner != nullptr) fOwner->fPriv->UnregisterPlugin(this);
}

// ---- accessors -------------------------------------------------------------------------------

TLexHandlerId TCustomLexEdit::AddKeyDownHandler(TKeyEvent AHandler) {
    return fPriv->fKbdHandler.AddKeyDownHandler(std::move(AHandler));
}

TLexHandlerId TCustomLexEdit::AddKeyUpHandler(TKeyEvent AHandler) {
    return fPriv->fKbdHandler.AddKeyUpHandler(std::move(AHandler));
}

TLexHandlerId TCustomLexEdit::AddKeyPressHandler(TKeyPressEvent AHandler) {
    return fPriv->fKbdHandler.AddKeyPressHandler(std::move(AHandler));
}

TLexHandlerId TCustomLexEdit::AddMouseDownHandler(TMouseEvent AHandler) {
    return fPriv->fKbdHandler.AddMouseDownHandler(std::move(AHandler));
}

TLexHandlerId TCustomLexEdit::AddMouseUpHandler(TMouseEvent AHandler) {
    return fPriv->fKbdHandler.AddMouseUpHandler(std::move(AHandler));
}

TLexHandlerId TCustomLexEdit::AddMouseCursorHandler(TMouseCursorEvent AHandler) {
    return fPriv->fKbdHandler.AddMouseCursorHandler(std::move(AHandler));
}

TLexEditStringList *TCustomLexEdit::Lines() const {
    return fPriv->fLines;
}

ILexEditUndo *TCustomLexEdit::UndoRedo() const {
    return fPriv->fUndoRedo.get();
}

TLexEditorOptions TCustomLexEdit::Options() const {
    return fPriv->fOptions;
}

int TCustomLexEdit::TabWidth() const {
    return fPriv->fTabWidth;
}

bool TCustomLexEdit::InsertMode() const {
    return fPriv->fInserting;
}

bool TCustomLexEdit::WantReturns() const {
    return fPriv->fWantReturns;
}

void TCustomLexEdit::SetWantReturns(bool Value) {
    fPriv->fWantReturns = Value;
}

bool TCustomLexEdit::WantTabs() const {
    return fPriv->fWantTabs;
}

void TCustomLexEdit::SetWantTabs(bool Value) {
    fPriv->fWantTabs = Value;
}

bool TCustomLexEdit::HideSelection() const {
    return fPriv->fHideSelection;
}

int TCustomLexEdit::RightEdge() const {
    return fPriv->fRightEdge;
}

TColor TCustomLexEdit::RightEdgeColor() const {
    return fPriv->fRightEdgeColor;
}

TColor TCustomLexEdit::ActiveLineColor() const {
    return fPriv->fActiveLineColor;
}

TColor TCustomLexEdit::Color() const {
    return fPriv->fColor;
}

int TCustomLexEdit::ExtraLineSpacing() const {
    return fPriv->fExtraLineSpacing;
}

TFontQuality TCustomLexEdit::FontQuality() const {
    return fPriv->fFontQuality;
}

TLexEditCaretType TCustomLexEdit::InsertCaret() const {
    return fPriv->fInsertCaret;
}

TLexEditCaretType TCustomLexEdit::OverwriteCaret() const {
    return fPriv->fOverwriteCaret;
}

TColor TCustomLexEdit::ScrollHintColor() const {
    return fPriv->fScrollHintColor;
}

void TCustomLexEdit::SetScrollHintColor(TColor Value) {
    fPriv->fScrollHintColor = Value;
}

TLexScrollHintFormat TCustomLexEdit::ScrollHintFormat() const {
    return fPriv->fScrollHintFormat;
}

void TCustomLexEdit::SetScrollHintFormat(TLexScrollHintFormat Value) {
    fPriv->fScrollHintFormat = Value;
}

TScrollStyle TCustomLexEdit::ScrollBars() const {
    return fPriv->FScrollBars;
}

TBorderStyle TCustomLexEdit::BorderStyle() const {
    return fPriv->fBorderStyle;
}

bool TCustomLexEdit::UseCodeFolding() const {
    return fPriv->fUseCodeFolding;
}

bool TCustomLexEdit::WordWrap() const {
    return fPriv->fWordWrapPlugin != nullptr;
}

const TLexWordWrapPlugin *TCustomLexEdit::WordWrapPlugin() const {
    return fPriv->fWordWrapPlugin;
}

TLexGlyph &TCustomLexEdit::WordWrapGlyph() {
    return fPriv->fWordWrapGlyph;
}

void TCustomLexEdit::SetWordWrapGlyph(const TLexGlyph &Value) {
    fPriv->fWordWrapGlyph.Assign(Value);
}

TLexCustomHighlighter *TCustomLexEdit::Highlighter() const {
    return fPriv->fHighlighter;
}

TLexEditKeyStrokes &TCustomLexEdit::Keystrokes() {
    return *fPriv->fKeyStrokes;
}

int TCustomLexEdit::HookedCommandHandlerCount() const {
    return int(fPriv->fHookedCommandHandlers.size());
}

TLexEditKbdHandler &TCustomLexEdit::KbdHandler() {
    return fPriv->fKbdHandler;
}

bool TCustomLexEdit::RemoveKeyDownHandler(TLexHandlerId AId) {
    return fPriv->fKbdHandler.RemoveKeyDownHandler(AId);
}

bool TCustomLexEdit::RemoveKeyUpHandler(TLexHandlerId AId) {
    return fPriv->fKbdHandler.RemoveKeyUpHandler(AId);
}

bool TCustomLexEdit::RemoveKeyPressHandler(TLexHandlerId AId) {
    return fPriv->fKbdHandler.RemoveKeyPressHandler(AId);
}

bool TCustomLexEdit::RemoveMouseDownHandler(TLexHandlerId AId) {
    return fPriv->fKbdHandler.RemoveMouseDownHandler(AId);
}

bool TCustomLexEdit::RemoveMouseUpHandler(TLexHandlerId AId) {
    return fPriv->fKbdHandler.RemoveMouseUpHandler(AId);
}

bool TCustomLexEdit::RemoveMouseCursorHandler(TLexHandlerId AId) {
    return fPriv->fKbdHandler.RemoveMouseCursorHandler(AId);
}

int TCustomLexEdit::FocusControlCount() const {
    return int(fPriv->fFocusList.size());
}

int TCustomLexEdit::PluginCount() const {
    return int(fPriv->fPlugins.size());
}

TLexEditMarkList &TCustomLexEdit::Marks() {
    return fPriv->fMarkList;
}

int TCustomLexEdit::PaintLock() const {
    return fPriv->fPaintLock;
}

TLexStateFlags TCustomLexEdit::StateFlags() const {
    return fPriv->fStateFlags;
}

TLexStatusChanges TCustomLexEdit::PendingStatusChanges() const {
    return fPriv->fStatusChanges;
}

int TCustomLexEdit::TopLine() const {
    return fPriv->fTopLine;
}

int TCustomLexEdit::LeftChar() const {
    return fPriv->fLeftChar;
}

int TCustomLexEdit::CharsInWindow() const {
    return fPriv->fCharsInWindow;
}

int TCustomLexEdit::LinesInWindow() const {
    return fPriv->fLinesInWindow;
}

int TCustomLexEdit::CharWidth() const {
    return fPriv->fCharWidth;
}

int TCustomLexEdit::LineHeight() const {
    return fPriv->fTextHeight;
}

int TCustomLexEdit::GutterWidth() const {
    return fPriv->fGutterWidth;
}

TheTextDrawer &TCustomLexEdit::TextDrawer() {
    return *fPriv->fTextDrawer;
}

bool TCustomLexEdit::IsScrolling() const {
    return fPriv->FIsScrolling;
}

bool TCustomLexEdit::AlwaysShowCaret() const {
    return fPriv->fAlwaysShowCaret;
}

bool TCustomLexEdit::CaretShown() const {
    return fPriv->fStateFlags.Contains(sfCaretVisible);
}

void TCustomLexEdit::SetMouseEnvironment(TLexMouseEnvironment AEnvironment) {
    fPriv->fMouseEnv = std::move(AEnvironment);
}

const TLexMouseEnvironment &TCustomLexEdit::MouseEnvironment() const {
    return fPriv->fMouseEnv;
}

int TCustomLexEdit::ClickCount() const {
    return fPriv->fClickCount;
}

Qt::CursorShape TCustomLexEdit::TextCursor() const {
    return fPriv->fTextCursor;
}

TCustomLexEdit *TCustomLexEdit::ChainedEditor() const {
    return fPriv->fChainedEditor;
}

int TCustomLexEdit::CaretX() const {
    return fPriv->fCaretX;
}

int TCustomLexEdit::CaretY() const {
    return fPriv->fCaretY;
}

TBufferCoord TCustomLexEdit::CaretXY() const {
    return BufferCoord(fPriv->fCaretX, fPriv->fCaretY);
}

void TCustomLexEdit::SetCaretX(int Value) {
    SetCaretXY(BufferCoord(Value, fPriv->fCaretY));
}

void TCustomLexEdit::SetCaretY(int Value) {
    SetCaretXY(BufferCoord(fPriv->fCaretX, Value));
}

void TCustomLexEdit::SetInternalCaretX(int Value) {
    SetCaretXYEx(true, BufferCoord(Value, fPriv->fCaretY));
}

void TCustomLexEdit::SetInternalCaretY(int Value) {
    SetCaretXYEx(true, BufferCoord(fPriv->fCaretX, Value));
}

int TCustomLexEdit::LastCaretX() const {
    return fPriv->fLastCaretX;
}

TLexSelectionMode TCustomLexEdit::SelectionMode() const {
    return fPriv->fSelectionMode;
}

TLexSelectionMode TCustomLexEdit::ActiveSelectionMode() const {
    return fPriv->fActiveSelectionMode;
}

const TLexCharSet &TCustomLexEdit::AdditionalIdentChars() const {
    return fPriv->FAdditionalIdentChars;
}

const TLexCharSet &TCustomLexEdit::AdditionalWordBreakChars() const {
    return fPriv->FAdditionalWordBreakChars;
}

void TCustomLexEdit::SetAdditionalIdentChars(const TLexCharSet &Value) {
    fPriv->FAdditionalIdentChars = Value;
}

void TCustomLexEdit::SetAdditionalWordBreakChars(const TLexCharSet &Value) {
    fPriv->FAdditionalWordBreakChars = Value;
}

bool TCustomLexEdit::HTMLCopyUseBackground() const {
    return fPriv->fHTMLCopyUseBackground;
}

void TCustomLexEdit::SetHTMLCopyUseBackground(bool Value) {
    fPriv->fHTMLCopyUseBackground = Value;
}

QString TCustomLexEdit::PreeditString() const {
    return fPriv->fPreeditString;
}

TLexGutter &TCustomLexEdit::Gutter() {
    return fPriv->fGutter;
}

void TCustomLexEdit::SetGutter(const TLexGutter &Value) {
    fPriv->fGutter.Assign(Value);
}

TLexSelectedColor &TCustomLexEdit::SelectedColor() {
    return fPriv->fSelectedColor;
}

TLexBookMarkOpt &TCustomLexEdit::BookMarkOptions() {
    return fPriv->fBookMarkOpt;
}

int TCustomLexEdit::CurrentPPI() const {
    return fPriv->fCurrentPPI;
}

bool TCustomLexEdit::GetReadOnly() const {
    return fPriv->fReadOnly;
}

bool TCustomLexEdit::IsUndoRedoing() const {
    return fPriv->fUndoRedoing;
}

} // namespace lexedit

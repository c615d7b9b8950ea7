// The editor control: construction and destruction, settings, the update lock and status
// reports, the highlighter hook-up, the focus list and the plug-in registration.

#include "lexedit/LexEdit.h"

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

TLexEditPrivate::TLexEditPrivate(TCustomLexEdit &AEdit) : Ed(AEdit) {}

TLexEditPrivate::~TLexEditPrivate() = default;

TCustomLexEdit::TCustomLexEdit(QWidget *AOwner)
    : QAbstractScrollArea(AOwner), fPriv(std::make_unique<TLexEditPrivate>(*this)) {
    // The buffer, with this editor's widening of wide glyphs and its notifications.
    fPriv->fOrigLines =
        std::make_unique<TLexEditStringList>([this](const QString &S) { return ExpandAtWideGlyphs(S); });
    fLines = fPriv->fOrigLines.get();
    fLines->OnChange = [this](TLexEditStringList *Sender) { LinesChanged(Sender); };
    fLines->OnChanging = [this](TLexEditStringList *Sender) { fPriv->LinesChanging(Sender); };
    fLines->OnCleared = [this](TLexEditStringList *Sender) { fPriv->ListCleared(Sender); };
    fLines->OnDeleted = [this](TLexEditStringList *Sender, int Index, int Count) {
        fPriv->ListDeleted(Sender, Index, Count);
    };
    fLines->OnInserted = [this](TLexEditStringList *Sender, int Index, int Count) {
        fPriv->ListInserted(Sender, Index, Count);
    };
    fLines->OnPut = [this](TLexEditStringList *Sender, int Index, const QString &OldLine) {
        fPriv->ListPut(Sender, Index, OldLine);
    };
    fLines->OnExchanged = [this](TLexEditStringList *Sender, int Index1, int Index2) {
        fPriv->ListExchanged(Sender, Index1, Index2);
    };

    // The undo engine.
    fPriv->fOrigUndoRedo = CreateLexEditUndo([this](const TLexEditUndoItem &Item) { fPriv->UndoItem(Item); },
                                             [this](const TLexEditUndoItem &Item) { fPriv->RedoItem(Item); });
    fPriv->fOrigUndoRedo->SetOnModifiedChanged(
        [this](ILexEditUndo *Sender) { fPriv->ModifiedChanged(Sender); });
    fUndoRedo = fPriv->fOrigUndoRedo;

    fTextOffset = fGutterWidth + 2;

    // The window.
    resize(200, 150);
    fPriv->InitViewAndMouse();
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setFrameShape(QFrame::StyledPanel);
    const QFont Font = MakeDefaultFont();
    fTextDrawer = std::make_unique<TheTextDrawer>(TFontStyles(), Font);
    setFont(Font);

    fKeyStrokes = std::make_unique<TLexEditKeyStrokes>(this);
    fMarkList.OnChange = [this](int FirstLine, int LastLine) { fPriv->MarkListChange(FirstLine, LastLine); };
    SetDefaultKeystrokes();

    fOptions = LEXEDIT_DEFAULT_OPTIONS;
    fUndoRedo->SetGroupUndo(fOptions.Contains(eoGroupUndo));
    fPriv->InitPainting();
    // The continuation glyph repaints the gutter when it changes.
    fWordWrapGlyph.OnChange = [this] { InvalidateGutter(); };
    fWordWrapGlyph.ChangeScale(std::max(1, logicalDpiY()), 96);
    fPriv->LexFontChanged();
}

TCustomLexEdit::~TCustomLexEdit() {
    fPriv->fDestroying = true;
    // Editors showing this editor's buffer go back to their own first: the buffer goes with us.
    const std::vector<TCustomLexEdit *> Followers = fPriv->fFollowers;
    for (TCustomLexEdit *Follower : Followers)
        Follower->RemoveLinesPointer();
    if (fChainedEditor != nullptr) fPriv->UnHookTextBuffer();
    fPriv->AssignHighlighter(nullptr);
    for (TLexEditPlugin *Plugin : fPlugins)
        Plugin->fOwner = nullptr;
    fPlugins.clear();
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
    fLines->Clear();
    fLines->AddStrings(AValue);
}

QString TCustomLexEdit::Text() const {
    return fLines->Text();
}

void TCustomLexEdit::SetText(const QString &AValue) {
    fLines->SetText(AValue);
}

QString TCustomLexEdit::LineText() const {
    if (fCaretY >= 1 && fCaretY <= fLines->Count()) return fLines->Get(fCaretY - 1);
    return QString();
}

void TCustomLexEdit::SetLineText(const QString &AValue) {
    if (fCaretY >= 1 && fCaretY <= std::max(fLines->Count(), 1))
        fLines->Put(fCaretY - 1, AValue); // Put at Count appends
}

bool TCustomLexEdit::Modified() const {
    return fUndoRedo->Modified();
}

void TCustomLexEdit::SetModified(bool Value) {
    if (Value == fUndoRedo->Modified()) return;
    fUndoRedo->SetModified(Value);
    if (!Value && fOptions.Contains(eoGroupUndo) && fUndoRedo->CanUndo()) fUndoRedo->AddGroupBreak();
    StatusChanged({scModified});
}

int TCustomLexEdit::MaxUndo() const {
    return fUndoRedo->MaxUndoActions();
}
void TCustomLexEdit::SetMaxUndo(int Value) {
    fUndoRedo->SetMaxUndoActions(Value);
}

// ---- settings -----------------------------------------------------------------------------------

void TCustomLexEdit::SetOptions(TLexEditorOptions Value) {
    if (Value == fOptions) return;
    const TLexEditorOptions Changed = TLexEditorOptions::FromMask(Value.ToMask() ^ fOptions.ToMask());
    fOptions = Value;
    fUndoRedo->SetGroupUndo(fOptions.Contains(eoGroupUndo));
    if (!fOptions.Contains(eoScrollPastEol)) SetLeftChar(fLeftChar);
    if (!fOptions.Contains(eoScrollPastEof)) SetTopLine(fTopLine);
    if (Changed.Contains(eoDropFiles)) setAcceptDrops(fOptions.Contains(eoDropFiles));
    if (Changed.Contains(eoShowSpecialChars)) InvalidateAll();
    if (Changed.Contains(eoNoCaret)) {
        if (fOptions.Contains(eoNoCaret))
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
    if (Value == fTabWidth) return;
    fTabWidth = Value;
    fLines->SetTabWidth(Value);
    InvalidateAll();
    if (WordWrap()) {
        fPriv->WrapReset();
        InvalidateGutter();
    }
}

void TCustomLexEdit::SetInsertMode(bool Value) {
    if (Value == fInserting) return;
    fInserting = Value;
    InitializeCaret();
    StatusChanged({scInsertMode});
}

void TCustomLexEdit::SetReadOnly(bool Value) {
    if (Value == fReadOnly) return;
    fReadOnly = Value;
    StatusChanged({scReadOnly});
}

void TCustomLexEdit::SetHideSelection(bool Value) {
    if (Value == fHideSelection) return;
    fHideSelection = Value;
    InvalidateSelection();
}

void TCustomLexEdit::SetRightEdge(int Value) {
    if (Value == fRightEdge) return;
    fRightEdge = Value;
    InvalidateAll();
}

void TCustomLexEdit::SetRightEdgeColor(TColor Value) {
    if (Value == fRightEdgeColor) return;
    fRightEdgeColor = Value;
    // The strip around the margin line.
    const int X = fTextOffset + fRightEdge * fCharWidth;
    InvalidateRect(QRect(X - 1, 0, 3, viewport()->height()));
}

void TCustomLexEdit::SetActiveLineColor(TColor Value) {
    if (Value == fActiveLineColor) return;
    fActiveLineColor = Value;
    InvalidateLine(fCaretY);
}

void TCustomLexEdit::SetColor(TColor Value) {
    if (Value == fColor) return;
    fColor = Value;
    InvalidateAll();
}

void TCustomLexEdit::SetExtraLineSpacing(int Value) {
    if (Value == fExtraLineSpacing) return;
    fExtraLineSpacing = Value;
    fPriv->LexFontChanged();
}

void TCustomLexEdit::SetFontQuality(TFontQuality Value) {
    if (Value == fFontQuality) return;
    fFontQuality = Value;
    SetEditorFont(font());
}

void TCustomLexEdit::SetEditorFont(const QFont &AFont) {
    QFont Font = AFont;
    Font.setStyleStrategy(fFontQuality == fqNonAntialiased ? QFont::NoAntialias : QFont::PreferDefault);
    // Text is laid out in cells: a proportional face is asked for again with a fixed pitch.
    if (!QFontInfo(Font).fixedPitch()) {
        Font.setFixedPitch(true);
        Font.setStyleHint(QFont::Monospace, Font.styleStrategy());
    }
    setFont(Font); // changeEvent recomputes the cells
}

void TCustomLexEdit::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    UpdateScrollBars();
    InvalidateAll();
}

void TCustomLexEdit::SetBorderStyle(TBorderStyle Value) {
    if (Value == fBorderStyle) return;
    fBorderStyle = Value;
    setFrameShape(Value == bsSingle ? QFrame::StyledPanel : QFrame::NoFrame);
}

void TCustomLexEdit::SetUseCodeFolding(bool Value) {
    // Folding is not available yet: the setting is kept, the view stays unfolded.
    fUseCodeFolding = Value;
}

void TCustomLexEdit::changeEvent(QEvent *AEvent) {
    QAbstractScrollArea::changeEvent(AEvent);
    if (AEvent->type() == QEvent::FontChange) common::Guarded([this] { fPriv->LexFontChanged(); });
    if (AEvent->type() == QEvent::PaletteChange) common::Guarded([this] { fPriv->PaletteChanged(); });
}

void TLexEditPrivate::LexFontChanged() {
    if (fDestroying || !Ed.fTextDrawer) return;
    Ed.fTextDrawer->SetBaseFont(Ed.font());
    // Wide glyphs may take another number of columns now.
    Ed.fLines->FontChanged();
    Ed.RecalcCharExtent();
    WrapReset();
    Ed.SizeOrFontChanged(true);
    GutterChanged();
}

// ---- update lock and status -----------------------------------------------------------------

void TCustomLexEdit::IncPaintLock() {
    ++fPaintLock;
}

void TCustomLexEdit::DecPaintLock() {
    if (fPaintLock <= 0) throw common::EAssertionFailed();
    if (fPaintLock == 1 && fPriv->fFollowFromRow >= 0) {
        // Lines came under the lock (AppendLines, ReplaceLine): the view follows them when the
        // end it had before them is in view (the scroll range the user had stops there). Still
        // inside the lock, so the move is part of the one repaint.
        const int Before = std::exchange(fPriv->fFollowFromRow, -1);
        const int Rows = std::max(fLinesInWindow, 1);
        if (fTopLine + Rows - 1 >= Before) SetTopLine(DisplayLineCount() - Rows + 1);
    }
    if (--fPaintLock > 0) return;
    if (fStateFlags.Contains(sfScrollbarChanged)) UpdateScrollBars();
    fPriv->WrapKeepCaretInWindow();
    if (fStateFlags.Contains(sfCaretChanged)) {
        fStateFlags.Exclude(sfCaretChanged);
        UpdateCaret();
    }
    FlushPendingInvalidation();
    if (!fStatusChanges.Empty()) DoOnStatusChange(fStatusChanges);
}

void TCustomLexEdit::StatusChanged(TLexStatusChanges AChanges) {
    fStatusChanges += AChanges;
    if (fPaintLock == 0) DoOnStatusChange(fStatusChanges);
}

void TCustomLexEdit::DoOnStatusChange(TLexStatusChanges Changes) {
    if (OnStatusChange) {
        fStatusChanges = TLexStatusChanges();
        OnStatusChange(this, Changes);
    }
}

void TCustomLexEdit::DoChange() {
    if (OnChange) OnChange(this);
}

// ---- highlighter ----------------------------------------------------------------------------

void TCustomLexEdit::SetHighlighter(TLexCustomHighlighter *Value) {
    if (fChainedEditor != nullptr) {
        fChainedEditor->SetHighlighter(Value);
        return;
    }
    if (Value == fHighlighter) return;
    fPriv->AssignHighlighter(Value);
    fPriv->ForEachFollower([Value](TCustomLexEdit *F) { F->fPriv->AssignHighlighter(Value); });
}

void TLexEditPrivate::AssignHighlighter(TLexCustomHighlighter *Value) {
    if (Value == Ed.fHighlighter) return;
    if (Ed.fHighlighter != nullptr) {
        Ed.fHighlighter->UnhookAttrChangeEvent(&Ed);
        QObject::disconnect(fHighlighterDestroyed);
    }
    if (Value != nullptr) {
        // A change the highlighter announces without a sender comes from the highlighter itself.
        Value->HookAttrChangeEvent(&Ed, [this](QObject *Sender) {
            HighlighterAttrChanged(Sender != nullptr ? Sender : Ed.fHighlighter);
        });
        fHighlighterDestroyed = QObject::connect(
            Value, &QObject::destroyed, &Ed, [this] { common::Guarded([this] { HighlighterDestroyed(); }); });
    }
    Ed.fHighlighter = Value;
    if (!fDestroying) HighlighterAttrChanged(Value);
}

void TLexEditPrivate::HighlighterDestroyed() {
    // The highlighter's change chain is gone with it: only the reference is dropped.
    Ed.fHighlighter = nullptr;
    QObject::disconnect(fHighlighterDestroyed);
    if (!fDestroying) Ed.InvalidateAll();
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
    if (AControl != nullptr) fFocusList.emplace_back(AControl);
}

void TCustomLexEdit::RemoveFocusControl(QWidget *AControl) {
    fFocusList.erase(
        std::remove_if(fFocusList.begin(), fFocusList.end(),
                       [AControl](const QPointer<QWidget> &W) { return W.isNull() || W == AControl; }),
        fFocusList.end());
}

void TLexEditPrivate::RegisterPlugin(TLexEditPlugin *APlugin) {
    Ed.fPlugins.push_back(APlugin);
}

void TLexEditPrivate::UnregisterPlugin(TLexEditPlugin *APlugin) {
    Ed.fPlugins.erase(std::remove(Ed.fPlugins.begin(), Ed.fPlugins.end(), APlugin), Ed.fPlugins.end());
}

// ---- plug-ins ---------------------------------------------------------------------------------

TLexEditPlugin::TLexEditPlugin(TCustomLexEdit *AOwner, TPlugInHandlers AHandlers)
    : fOwner(AOwner), fHandlers(AHandlers) {
    if (fOwner != nullptr) fOwner->fPriv->RegisterPlugin(this);
}

TLexEditPlugin::~TLexEditPlugin() {
    if (fOwner != nullptr) fOwner->fPriv->UnregisterPlugin(this);
}

} // namespace lexedit

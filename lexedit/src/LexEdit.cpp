// The editor control: construction, settings, the update lock and status reports, the
// highlighter hook-up, registration lists, keystroke differences, sharing a buffer, and the
// background painting.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditMiscProcs.h"

#include "common/BracketGuard.h"

#include <QEvent>
#include <QFontInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>

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

TCustomLexEdit::TCustomLexEdit(QWidget *AOwner) : QAbstractScrollArea(AOwner) {
    // The buffer, with this editor's widening of wide glyphs and its notifications.
    fOrigLines =
        std::make_unique<TLexEditStringList>([this](const QString &S) { return ExpandAtWideGlyphs(S); });
    fLines = fOrigLines.get();
    fLines->OnChange = [this](TLexEditStringList *Sender) { LinesChanged(Sender); };
    fLines->OnChanging = [this](TLexEditStringList *Sender) { LinesChanging(Sender); };
    fLines->OnCleared = [this](TLexEditStringList *Sender) { ListCleared(Sender); };
    fLines->OnDeleted = [this](TLexEditStringList *Sender, int Index, int Count) {
        ListDeleted(Sender, Index, Count);
    };
    fLines->OnInserted = [this](TLexEditStringList *Sender, int Index, int Count) {
        ListInserted(Sender, Index, Count);
    };
    fLines->OnPut = [this](TLexEditStringList *Sender, int Index, const QString &OldLine) {
        ListPut(Sender, Index, OldLine);
    };

    // The undo engine.
    fOrigUndoRedo = CreateLexEditUndo([this](const TLexEditUndoItem &Item) { UndoItem(Item); },
                                      [this](const TLexEditUndoItem &Item) { RedoItem(Item); });
    fOrigUndoRedo->SetOnModifiedChanged([this](ILexEditUndo *Sender) { ModifiedChanged(Sender); });
    fUndoRedo = fOrigUndoRedo;

    fTextOffset = fGutterWidth + 2;

    // The window.
    resize(200, 150);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    const QFont Font = MakeDefaultFont();
    fTextDrawer = std::make_unique<TheTextDrawer>(TFontStyles(), Font);
    setFont(Font);

    fKeyStrokes = std::make_unique<TLexEditKeyStrokes>(this);
    fMarkList.OnChange = [this] { InvalidateGutterLines(-1, -1); };
    SetDefaultKeystrokes();

    fOptions = LEXEDIT_DEFAULT_OPTIONS;
    fUndoRedo->SetGroupUndo(fOptions.Contains(eoGroupUndo));
    LexFontChanged();
}

TCustomLexEdit::~TCustomLexEdit() {
    fDestroying = true;
    // Editors showing this editor's buffer go back to their own first: the buffer goes with us.
    const std::vector<TCustomLexEdit *> Followers = fFollowers;
    for (TCustomLexEdit *Follower : Followers)
        Follower->RemoveLinesPointer();
    if (fChainedEditor != nullptr) UnHookTextBuffer();
    AssignHighlighter(nullptr);
    for (TLexEditPlugin *Plugin : fPlugins)
        Plugin->fOwner = nullptr;
    fPlugins.clear();
    // The buffer must not call back into a half-destroyed editor.
    fOrigLines->OnChange = nullptr;
    fOrigLines->OnChanging = nullptr;
    fOrigLines->OnCleared = nullptr;
    fOrigLines->OnDeleted = nullptr;
    fOrigLines->OnInserted = nullptr;
    fOrigLines->OnPut = nullptr;
    fOrigUndoRedo->SetOnModifiedChanged(nullptr);
}

// ---- buffer and undo ----------------------------------------------------------------------------

void TCustomLexEdit::SetLines(const QStringList &AValue) {
    TLexEditStringList::UpdateGuard Bracket(*fLines);
    fLines->Clear();
    fLines->AddStrings(AValue);
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

void TCustomLexEdit::ModifiedChanged(ILexEditUndo *Sender) {
    if (Sender != fUndoRedo.get()) return;
    StatusChanged({scModified});
    ForEachFollower([Sender](TCustomLexEdit *F) { F->ModifiedChanged(Sender); });
}

void TCustomLexEdit::UndoItem(const TLexEditUndoItem &Item) {
    TCustomLexEdit &Target = fUndoRedoEditor != nullptr ? *fUndoRedoEditor : *this;
    common::ScopedValue<bool> Running(Target.fUndoRedoing, true);
    Target.DoUndoItem(Item);
}

void TCustomLexEdit::RedoItem(const TLexEditUndoItem &Item) {
    TCustomLexEdit &Target = fUndoRedoEditor != nullptr ? *fUndoRedoEditor : *this;
    common::ScopedValue<bool> Running(Target.fUndoRedoing, true);
    Target.DoRedoItem(Item);
}

void TCustomLexEdit::Undo() {
    if (!ReadOnly()) RunUndoRedo(false);
}

void TCustomLexEdit::Redo() {
    if (!ReadOnly()) RunUndoRedo(true);
}

void TCustomLexEdit::RunUndoRedo(bool ARedo) {
    DoOnPaintTransient(ttBefore);
    try {
        TUpdateGuard Lock(*this);
        TLexEditStringList::UpdateGuard Bracket(*fLines);
        // The engine calls the editor that created it, which passes the items on to this one.
        common::ScopedValue<TCustomLexEdit *> Route(BufferOwner().fUndoRedoEditor, this);
        if (ARedo)
            fUndoRedo->Redo();
        else
            fUndoRedo->Undo();
    } catch (...) {
        DoOnPaintTransient(ttAfter);
        throw;
    }
    DoOnPaintTransient(ttAfter);
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
}

void TCustomLexEdit::SetInsertMode(bool Value) {
    if (Value == fInserting) return;
    fInserting = Value;
    UpdateCaret();
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
    SizeOrFontChanged(true);
}

void TCustomLexEdit::SetFontQuality(TFontQuality Value) {
    if (Value == fFontQuality) return;
    fFontQuality = Value;
    QFont Font = font();
    Font.setStyleStrategy(Value == fqNonAntialiased ? QFont::NoAntialias : QFont::PreferDefault);
    SetEditorFont(Font);
}

void TCustomLexEdit::SetEditorFont(const QFont &AFont) {
    setFont(AFont); // changeEvent recomputes the cells
}

void TCustomLexEdit::SetScrollBars(TScrollStyle Value) {
    if (Value == FScrollBars) return;
    FScrollBars = Value;
    const bool H = Value == ssHorizontal || Value == ssBoth;
    const bool V = Value == ssVertical || Value == ssBoth;
    setHorizontalScrollBarPolicy(H ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(V ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    UpdateScrollBars();
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
    if (AEvent->type() == QEvent::FontChange) common::Guarded([this] { LexFontChanged(); });
}

bool TCustomLexEdit::focusNextPrevChild(bool ANext) {
    if (fWantTabs) return false;
    return QAbstractScrollArea::focusNextPrevChild(ANext);
}

void TCustomLexEdit::LexFontChanged() {
    if (fDestroying || !fTextDrawer) return;
    fTextDrawer->SetBaseFont(font());
    // Wide glyphs may take another number of columns now.
    fLines->FontChanged();
    RecalcCharExtent();
    SizeOrFontChanged(true);
}

void TCustomLexEdit::RecalcCharExtent() {
    fCharWidth = fTextDrawer->CharWidth();
    fTextHeight = fTextDrawer->CharHeight() + fExtraLineSpacing;
}

void TCustomLexEdit::SizeOrFontChanged(bool bFont) {
    if (bFont) RecalcCharExtent();
    const int Width = std::max(0, viewport()->width() - fGutterWidth - 2);
    fCharsInWindow = fCharWidth > 0 ? std::max(1, Width / fCharWidth) : 1;
    fLinesInWindow = fTextHeight > 0 ? std::max(1, viewport()->height() / fTextHeight) : 1;
    fStateFlags.Include(sfScrollbarChanged);
    if (fPaintLock == 0) UpdateScrollBars();
    InvalidateAll();
}

void TCustomLexEdit::resizeEvent(QResizeEvent *AEvent) {
    QAbstractScrollArea::resizeEvent(AEvent);
    common::Guarded([this] { SizeOrFontChanged(false); });
}

// ---- update lock and status -----------------------------------------------------------------

void TCustomLexEdit::IncPaintLock() {
    ++fPaintLock;
}

void TCustomLexEdit::DecPaintLock() {
    if (fPaintLock <= 0) throw common::EAssertionFailed();
    if (--fPaintLock > 0) return;
    if (fStateFlags.Contains(sfScrollbarChanged)) UpdateScrollBars();
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

// ---- view (scrolling proper comes with the scrolling work) ----------------------------------

void TCustomLexEdit::SetTopLine(int Value) {
    const int Count = DisplayLineCount();
    const int Max =
        fOptions.Contains(eoScrollPastEof) ? std::max(Count, 1) : std::max(Count - fLinesInWindow + 1, 1);
    Value = MinMax(Value, 1, Max);
    if (Value == fTopLine) return;
    fTopLine = Value;
    InvalidateAll();
    fStateFlags.Include(sfScrollbarChanged);
    StatusChanged({scTopLine});
}

void TCustomLexEdit::SetLeftChar(int Value) {
    int Max = 65535;
    if (!fOptions.Contains(eoScrollPastEol))
        Max = std::max(fLines->LengthOfLongestLine() - fCharsInWindow + 1, 1);
    Value = MinMax(Value, 1, Max);
    if (Value == fLeftChar) return;
    fLeftChar = Value;
    fTextOffset = fGutterWidth + 2 - (fLeftChar - 1) * fCharWidth;
    InvalidateAll();
    fStateFlags.Include(sfScrollbarChanged);
    StatusChanged({scLeftChar});
}

void TCustomLexEdit::EnsureCursorPosVisible() {
    TUpdateGuard Lock(*this);
    const TDisplayCoord P = DisplayXY();
    if (P.Column < fLeftChar)
        SetLeftChar(P.Column);
    else if (P.Column >= fLeftChar + fCharsInWindow)
        SetLeftChar(P.Column - fCharsInWindow + 1);
    if (P.Row < fTopLine)
        SetTopLine(P.Row);
    else if (P.Row > fTopLine + fLinesInWindow - 1)
        SetTopLine(P.Row - fLinesInWindow + 1);
}

void TCustomLexEdit::UpdateScrollBars() {
    fStateFlags.Exclude(sfScrollbarChanged);
    if (fDestroying) return;
    verticalScrollBar()->setRange(0, std::max(0, DisplayLineCount() - fLinesInWindow));
    verticalScrollBar()->setPageStep(std::max(1, fLinesInWindow));
    verticalScrollBar()->setValue(fTopLine - 1);
}

void TCustomLexEdit::paintEvent(QPaintEvent *AEvent) {
    common::Guarded([&] {
        QPainter Painter(viewport());
        Painter.fillRect(AEvent->rect(), ColorToQColor(fColor, palette()));
    });
}

// ---- highlighter ----------------------------------------------------------------------------

void TCustomLexEdit::SetHighlighter(TLexCustomHighlighter *Value) {
    if (fChainedEditor != nullptr) {
        fChainedEditor->SetHighlighter(Value);
        return;
    }
    if (Value == fHighlighter) return;
    AssignHighlighter(Value);
    ForEachFollower([Value](TCustomLexEdit *F) { F->AssignHighlighter(Value); });
}

void TCustomLexEdit::AssignHighlighter(TLexCustomHighlighter *Value) {
    if (Value == fHighlighter) return;
    if (fHighlighter != nullptr) {
        fHighlighter->UnhookAttrChangeEvent(this);
        QObject::disconnect(fHighlighterDestroyed);
    }
    if (Value != nullptr) {
        // A change the highlighter announces without a sender comes from the highlighter itself.
        Value->HookAttrChangeEvent(this, [this](QObject *Sender) {
            HighlighterAttrChanged(Sender != nullptr ? Sender : fHighlighter);
        });
        fHighlighterDestroyed = QObject::connect(Value, &QObject::destroyed, this, [this] {
            common::Guarded([this] { HighlighterDestroyed(); });
        });
    }
    fHighlighter = Value;
    if (!fDestroying) HighlighterAttrChanged(Value);
}

void TCustomLexEdit::HighlighterDestroyed() {
    // The highlighter's change chain is gone with it: only the reference is dropped.
    fHighlighter = nullptr;
    QObject::disconnect(fHighlighterDestroyed);
    if (!fDestroying) InvalidateAll();
}

void TCustomLexEdit::HighlighterAttrChanged(QObject *Sender) {
    RecalcCharExtent();
    if (dynamic_cast<TLexCustomHighlighter *>(Sender) != nullptr) {
        TUpdateGuard Lock(*this);
        if (ScansRanges()) ScanRanges();
        InvalidateAll();
    } else {
        InvalidateAll();
    }
    SizeOrFontChanged(true);
}

// ---- keystrokes -----------------------------------------------------------------------------

void TCustomLexEdit::SetKeystrokes(const TLexEditKeyStrokes *Value) {
    if (Value == nullptr)
        fKeyStrokes->Clear();
    else
        fKeyStrokes->Assign(*Value);
}

void TCustomLexEdit::SetDefaultKeystrokes() {
    fKeyStrokes->ResetDefaults();
}

namespace {

TLexStoredKeystroke Stored(const TLexEditKeyStroke &K) {
    return TLexStoredKeystroke{K.Command(), K.Key(), K.Shift(), K.Key2(), K.Shift2()};
}

// Whether ATable holds an entry with the keys of AItem and the same command.
bool HasEntry(const TLexEditKeyStrokes &ATable, const TLexStoredKeystroke &AItem) {
    for (int i = 0; i < ATable.Count(); ++i)
        if (Stored(*ATable.Items(i)) == AItem) return true;
    return false;
}

std::vector<TLexStoredKeystroke> Missing(const TLexEditKeyStrokes &AFrom, const TLexEditKeyStrokes &AIn) {
    std::vector<TLexStoredKeystroke> Result;
    for (int i = 0; i < AFrom.Count(); ++i) {
        const TLexStoredKeystroke K = Stored(*AFrom.Items(i));
        if (!HasEntry(AIn, K)) Result.push_back(K);
    }
    return Result;
}

} // namespace

std::vector<TLexStoredKeystroke> TCustomLexEdit::AddedKeystrokes() const {
    TLexEditKeyStrokes Defaults;
    Defaults.ResetDefaults();
    return Missing(*fKeyStrokes, Defaults);
}

std::vector<TLexStoredKeystroke> TCustomLexEdit::RemovedKeystrokes() const {
    TLexEditKeyStrokes Defaults;
    Defaults.ResetDefaults();
    return Missing(Defaults, *fKeyStrokes);
}

void TCustomLexEdit::ReadAddedKeystrokes(const std::vector<TLexStoredKeystroke> &AItems) {
    for (const TLexStoredKeystroke &K : AItems) {
        TLexEditKeyStroke *Item = fKeyStrokes->Add();
        Item->SetCommand(K.Command);
        Item->SetKey(K.Key);
        Item->SetShift(K.Shift);
        Item->SetKey2(K.Key2);
        Item->SetShift2(K.Shift2);
    }
}

void TCustomLexEdit::ReadRemovedKeystrokes(const std::vector<TLexStoredKeystroke> &AItems) {
    for (const TLexStoredKeystroke &K : AItems)
        for (int i = fKeyStrokes->Count() - 1; i >= 0; --i)
            if (Stored(*fKeyStrokes->Items(i)) == K) fKeyStrokes->Delete(i);
}

// ---- registration lists ---------------------------------------------------------------------

void TCustomLexEdit::RegisterCommandHandler(const void *AOwner, THookedCommandEvent AHandlerProc,
                                            void *AHandlerData) {
    if (!AHandlerProc) return;
    for (const THookedCommandHandlerEntry &E : fHookedCommandHandlers)
        if (E.Owner == AOwner) return;
    fHookedCommandHandlers.push_back(
        THookedCommandHandlerEntry{AOwner, std::move(AHandlerProc), AHandlerData});
}

void TCustomLexEdit::UnregisterCommandHandler(const void *AOwner) {
    for (auto It = fHookedCommandHandlers.rbegin(); It != fHookedCommandHandlers.rend(); ++It) {
        if (It->Owner == AOwner) {
            fHookedCommandHandlers.erase(std::next(It).base());
            return;
        }
    }
}

void TCustomLexEdit::NotifyHookedCommandHandlers(bool AfterProcessing, TLexEditorCommand &Command,
                                                 QChar &AChar, void *Data) {
    // Over a copy: a handler may unregister itself.
    const std::vector<THookedCommandHandlerEntry> Handlers = fHookedCommandHandlers;
    bool Handled = false;
    for (const THookedCommandHandlerEntry &E : Handlers)
        E.Event(this, AfterProcessing, Handled, Command, AChar, Data, E.Data);
    if (Handled) Command = ecNone;
}

void TCustomLexEdit::AddFocusControl(QWidget *AControl) {
    if (AControl != nullptr) fFocusList.emplace_back(AControl);
}

void TCustomLexEdit::RemoveFocusControl(QWidget *AControl) {
    fFocusList.erase(
        std::remove_if(fFocusList.begin(), fFocusList.end(),
                       [AControl](const QPointer<QWidget> &W) { return W.isNull() || W == AControl; }),
        fFocusList.end());
}

void TCustomLexEdit::RegisterPlugin(TLexEditPlugin *APlugin) {
    fPlugins.push_back(APlugin);
}

void TCustomLexEdit::UnregisterPlugin(TLexEditPlugin *APlugin) {
    fPlugins.erase(std::remove(fPlugins.begin(), fPlugins.end(), APlugin), fPlugins.end());
}

// ---- sharing a buffer -----------------------------------------------------------------------

void TCustomLexEdit::SetLinesPointer(TCustomLexEdit *AEdit) {
    if (AEdit == nullptr) throw ELexEdit(QStringLiteral("No editor given to share lines with"));
    TCustomLexEdit *Owner = AEdit->fChainedEditor != nullptr ? AEdit->fChainedEditor : AEdit;
    if (Owner == this || Owner == fChainedEditor) return;
    if (!fFollowers.empty())
        throw ELexEdit(QStringLiteral("Other editors show the lines of this editor: it cannot show another "
                                      "editor's lines"));
    RemoveLinesPointer();
    HookTextBuffer(Owner);
}

void TCustomLexEdit::RemoveLinesPointer() {
    UnHookTextBuffer();
}

void TCustomLexEdit::HookTextBuffer(TCustomLexEdit *AOwnerEdit) {
    COMMON_ASSERT(fChainedEditor == nullptr);
    COMMON_ASSERT(fLines == fOrigLines.get());
    fChainedEditor = AOwnerEdit;
    AOwnerEdit->fFollowers.push_back(this);
    fLines = AOwnerEdit->fLines;
    fUndoRedo = AOwnerEdit->fUndoRedo;
    // One set of ranges: the owner's highlighter scans it for every editor of the buffer.
    AssignHighlighter(AOwnerEdit->fHighlighter);
    {
        TUpdateGuard Lock(*this);
        SetCaretXYEx(false, CaretXY());
        fBlockBegin = fBlockEnd = CaretXY();
        fStateFlags.Include(sfScrollbarChanged);
        InvalidateAll();
    }
}

void TCustomLexEdit::UnHookTextBuffer() {
    if (fLines == fOrigLines.get()) return;
    if (fChainedEditor != nullptr) {
        auto &F = fChainedEditor->fFollowers;
        F.erase(std::remove(F.begin(), F.end(), this), F.end());
    }
    fChainedEditor = nullptr;
    fLines = fOrigLines.get();
    fUndoRedo = fOrigUndoRedo;
    if (fDestroying) return;
    TUpdateGuard Lock(*this);
    // The own lines may have been scanned by another highlighter.
    if (ScansRanges()) ScanRanges();
    SetCaretXYEx(false, CaretXY());
    fBlockBegin = fBlockEnd = CaretXY();
    fStateFlags.Include(sfScrollbarChanged);
    InvalidateAll();
}

// ---- plug-ins ---------------------------------------------------------------------------------

TLexEditPlugin::TLexEditPlugin(TCustomLexEdit *AOwner, TPlugInHandlers AHandlers)
    : fOwner(AOwner), fHandlers(AHandlers) {
    if (fOwner != nullptr) fOwner->RegisterPlugin(this);
}

TLexEditPlugin::~TLexEditPlugin() {
    if (fOwner != nullptr) fOwner->UnregisterPlugin(this);
}

} // namespace lexedit

// SPDX-License-Identifier: MIT
#pragma once
// The private side of the editor control: the state and helpers of its implementation that no
// subclass, caller or event needs. TCustomLexEdit holds one TLexEditPrivate; its helpers reach the
// control through Ed.
//
// The implementation is split by aspect:
//   LexEdit.cpp          construction, settings, update lock and status, highlighter hook-up,
//                        registration lists and plug-ins
//   LexEditCommands.cpp  keystroke table and its stored differences, hooked command handlers,
//                        keyboard focus
//   LexEditCaret.cpp     caret placement, selection, selected text, offsets, caret moves
//   LexEditMapping.cpp   buffer <-> display positions, character offsets, word rules
//   LexEditMouse.cpp     clicks, click series, drags, automatic scrolling, the mouse cursor
//   LexEditScroll.cpp    pixels and cells, top line and left column, scroll bars and wheel,
//                        cell size and window size
//   LexEditCaretDisplay.cpp  the caret's shape, place and blinking; focus
//   LexEditPaint.cpp     the paint entry, text rows token by token, invalidation
//   LexEditGutter.cpp    the gutter's options, width and painting, marks and bookmarks,
//                        gutter clicks, scaling to another resolution
//   LexEditRescan.cpp    reaction to buffer changes, highlighter rescan, shared buffers
//   LexEditUndoRedo.cpp  Undo and Redo, and the undo engine's callbacks
//   LexEditSelText.cpp   replacing the selected text, and reversing and re-applying undo items
//   LexEditExecute.cpp   the command gate, ExecuteCommand, indentation helpers, clearing
//   LexEditTyping.cpp    typing, deleting, line breaks, bookmarks
//   LexEditBlockCommands.cpp  Tab and Shift+Tab, block indent and unindent, case changes,
//                        copying, moving and deleting lines, the matching bracket
//   LexEditKeyboard.cpp  Qt key and input-method events, the composition string
//   LexEditClipboard.cpp clipboard commands (text, its selection mode and HTML)
//   LexEditDataObject.cpp the data object of a copy or a drag (LexEditDataObject.h)
//   LexEditDragDrop.cpp  dragging the selection out, the drop target, dropped files
//   LexEditWrap.cpp      word wrap: the property, the plug-in's updates, continuation glyphs
//   LexEditSearchReplace.cpp  search and replace through a search engine
//
//   LexEditAppend.cpp    appending and replacing lines of output shown as it comes
//   LexEditFolding.cpp   code folding: the property, rescans, collapse and expand, the fold row
//                        map, fold shapes, indent guides and collapse marks (LexEditFolding.h)
//
// Without word wrap and folding every buffer line is one display row; the word-wrap plug-in
// (LexEditWordWrap.h) or the fold row map (LexEditFolding.h) maps lines to rows otherwise.

#include "lexedit/LexEdit.h"

#include <QMetaObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace lexedit {

class TLexInternalImage;
class TLexEditFolding;
struct TLexTakenLines;

class TLexEditPrivate {
public:
    explicit TLexEditPrivate(TCustomLexEdit &AEdit);
    ~TLexEditPrivate();
    TLexEditPrivate(const TLexEditPrivate &) = delete;
    TLexEditPrivate &operator=(const TLexEditPrivate &) = delete;

    TCustomLexEdit &Ed;
    using TUpdateGuard = TCustomLexEdit::TUpdateGuard;
    // Code folding (LexEditFolding.h): options, ranges, the hooks and the painting; made first and
    // gone last, since the row map refers to it. Folding goes off and back on when the
    // highlighter changes.
    std::unique_ptr<TLexEditFolding> fFolding;
    void FoldingHighlighterChanged();

    // ---- the control's state ------------------------------------------------------------------
    // The row map (none: one row per line), and the same object when it is word wrap.
    std::unique_ptr<ILexEditBufferPlugin> fRowMap;
    TLexWordWrapPlugin *fWordWrapPlugin = nullptr;
    TLexGlyph fWordWrapGlyph{QStringLiteral("LexEditWrapped")};

    // ---- painting (LexEditPaint.cpp, LexEditGutter.cpp) -----------------------------------------
    TLexGutter fGutter;
    TLexSelectedColor fSelectedColor;
    TLexBookMarkOpt fBookMarkOpt;
    int fCurrentPPI = 96; // the resolution the pixel sizes are scaled to

    // buffer
    TLexEditStringList *fLines; // the buffer shown: own or shared
    // undo
    std::shared_ptr<ILexEditUndo> fUndoRedo;
    bool fUndoRedoing = false;
    // The lines of the last deletion of the whole text, kept for its undo: they are put back
    // whole instead of being split again from the recorded text, and keep their highlighter
    // ranges when the same highlighter is attached and nothing rescanned every line since.
    struct TWholeTextDeletion {
        TLexEditStringList *Lines = nullptr;
        QString Text; // the text recorded for the undo
        QString FirstLine;
        std::shared_ptr<TLexTakenLines> Rest;
        TLexCustomHighlighter *Highlighter = nullptr;
        int FullScans = 0;
    };
    std::optional<TWholeTextDeletion> fWholeTextDeletion;
    int fFullScans = 0;           // rescans of every line
    bool fRangesRestored = false; // inserted lines come with their ranges: no rescan
    // Deletes every line but an empty first one, keeping the lines for the undo.
    void DeleteWholeText();
    // Undo of a deletion of S at (1, 1) of an empty buffer: the kept lines back when S is their
    // text; false (nothing done) otherwise.
    bool RestoreWholeText(const QString &S);
    // caret
    int fCaretX = 1;
    int fCaretY = 1;
    int fLastCaretX = 1;
    // selection
    TBufferCoord fBlockBegin{1, 1};
    TBufferCoord fBlockEnd{1, 1};
    TLexSelectionMode fSelectionMode = smNormal;
    TLexSelectionMode fActiveSelectionMode = smNormal;
    // view
    int fLeftChar = 1;
    int fTopLine = 1;
    int fCharsInWindow = 0;
    int fLinesInWindow = 0;
    int fCharWidth = 0;
    int fTextHeight = 0;
    int fTextOffset = 0;
    int fGutterWidth = 0;
    // settings
    TLexEditorOptions fOptions;
    int fTabWidth = 8;
    bool fWantReturns = true;
    bool fWantTabs = false;
    bool fInserting = true;
    bool fReadOnly = false;
    bool fHideSelection = false;
    bool fAlwaysShowCaret = false;
    int fRightEdge = 80;
    TColor fRightEdgeColor = clSilver;
    TColor fActiveLineColor = clNone;
    TColor fColor = clWindow;
    int fExtraLineSpacing = 0;
    TFontQuality fFontQuality = fqClearTypeNatural;
    TLexEditCaretType fInsertCaret = ctVerticalLine;
    TLexEditCaretType fOverwriteCaret = ctBlock;
    TColor fScrollHintColor = clInfoBk;
    TLexScrollHintFormat fScrollHintFormat = shfTopLineOnly;
    TScrollStyle FScrollBars = ssBoth;
    TBorderStyle fBorderStyle = bsSingle;
    bool fUseCodeFolding = false;
    // flags
    TLexStateFlags fStateFlags;
    TLexStatusChanges fStatusChanges;
    int fPaintLock = 0;
    QString fPreeditString;
    // view, caret display and mouse
    bool FIsScrolling = false;
    TLexMouseEnvironment fMouseEnv;
    int fClickCount = 0;
    bool fHTMLCopyUseBackground = false;
    Qt::CursorShape fTextCursor = Qt::IBeamCursor;
    // owned parts
    std::unique_ptr<TheTextDrawer> fTextDrawer;
    std::unique_ptr<TLexEditKeyStrokes> fKeyStrokes;
    TLexEditKbdHandler fKbdHandler;
    TLexEditMarkList fMarkList;
    std::vector<QPointer<QWidget>> fFocusList;
    std::vector<THookedCommandHandlerEntry> fHookedCommandHandlers;
    std::vector<TLexEditPlugin *> fPlugins; // not owned: each plug-in registers itself
    TLexCharSet FAdditionalWordBreakChars;
    TLexCharSet FAdditionalIdentChars;
    // references
    TLexCustomHighlighter *fHighlighter = nullptr; // not owned; dropped when it is destroyed
    TCustomLexEdit *fChainedEditor = nullptr;      // the editor whose buffer is shown, if any

    // ---- settings (LexEdit.cpp) ----------------------------------------------------------------
    void LexFontChanged();
    void RegisterPlugin(TLexEditPlugin *APlugin);
    void UnregisterPlugin(TLexEditPlugin *APlugin);
    void HighlighterAttrChanged(QObject *Sender);
    void HighlighterDestroyed();
    void AssignHighlighter(TLexCustomHighlighter *Value);
    bool ScansRanges() const { return fHighlighter != nullptr && fChainedEditor == nullptr; }

    // ---- undo (LexEditUndoRedo.cpp) ------------------------------------------------------------
    void UndoItem(const TLexEditUndoItem &Item);
    void RedoItem(const TLexEditUndoItem &Item);
    void ModifiedChanged(ILexEditUndo *Sender);
    // Runs the engine's Undo or Redo with its callbacks routed to this editor.
    void RunUndoRedo(bool ARedo);

    // ---- buffer changes (LexEditRescan.cpp) ----------------------------------------------------
    // Buffer notifications (the buffer shown by this editor only).
    void ListInserted(TLexEditStringList *Sender, int Index, int Count);
    void ListDeleted(TLexEditStringList *Sender, int Index, int Count);
    void ListPut(TLexEditStringList *Sender, int Index, const QString &OldLine);
    void ListExchanged(TLexEditStringList *Sender, int Index1, int Index2);
    void ListCleared(TLexEditStringList *Sender);
    void LinesChanging(TLexEditStringList *Sender);
    void DoLinesInserted(int FirstLine, int Count);
    void DoLinesDeleted(int FirstLine, int Count);
    void DoLinePut(int Index, const QString &OldLine);
    // The caret and both block ends back inside the buffer after lines were deleted.
    void KeepCaretAndBlockInBuffer();
    // Every editor that shows this editor's buffer (followers), in the order they joined.
    template <typename F> void ForEachFollower(F &&AFunction);
    void HookTextBuffer(TCustomLexEdit *AOwnerEdit);
    void UnHookTextBuffer();
    // The editor whose buffer and undo engine this one shows (itself when it shows its own).
    TCustomLexEdit &BufferOwner() { return fChainedEditor != nullptr ? *fChainedEditor : Ed; }

    // ---- caret and mapping (LexEditCaret.cpp, LexEditMapping.cpp) ------------------------------
    void TrimLineLeft(int ALine);
    TBufferCoord ClampBlockPos(TBufferCoord Value) const;
    int LineLength(int ALine) const; // 1-based; 0 outside the buffer
    // A position's display column in its whole line (Row = the line), and back: the mapping
    // without the rows of word wrap.
    TDisplayCoord LineColumnOf(const TBufferCoord &p) const;
    TBufferCoord CharOfLineColumn(const TDisplayCoord &p) const;
    // Columns taken by the character at 0-based AIndex of ALine when it starts at 0-based
    // column ACol (tabs depend on the column); a surrogate pair counts as one character there.
    int CharColumnsAt(QStringView ALine, int AIndex, int ACol) const;

    // ---- editing (LexEditSelText.cpp, LexEditTyping.cpp) ----------------------------------------
    void DeleteSelection(const TBufferCoord &BB, const TBufferCoord &BE);
    void InsertText(TLexSelectionMode PasteMode, const QString &Value, bool AddToUndoList);
    void InsertNormal(const QString &Value);
    void InsertLine(const QString &Value, bool AddToUndoList, bool AFillLastLine);
    void InsertColumn(const QString &Value, bool AddToUndoList);
    // The selected text as a deletion removes it: in column mode the characters of each row
    // without padding.
    QString RemovedSelText() const;
    // Pads line ALine (1-based, existing) with spaces to AWidth characters and records the fill so
    // that undo removes it; returns the number of spaces added.
    int PadLine(int ALine, int AWidth);
    // Records AText now occupying AStart..AEnd: on the undo stack, or on the redo stack (as the
    // deletion that re-applying needs) while an undo item is reversed.
    void RecordFill(const TBufferCoord &AStart, const TBufferCoord &AEnd, const QString &AText);
    // Splits line Pos.Line at Pos.Char (1-based) into two lines; returns the moved-down text.
    QString SplitLineAt(const TBufferCoord &Pos);
    // Places caret and selection for an undo or redo step without the clamps of the setters.
    void SetUndoSelection(const TBufferCoord &ACaret, const TBufferCoord &ABegin, const TBufferCoord &AEnd,
                          TLexSelectionMode AMode);
    TBufferCoord ResolveEol(TBufferCoord P) const;
    void UndoColumnDelete(const TBufferCoord &Start, const TBufferCoord &End, const QString &S);
    // An undo item's fields with the end-of-line marker resolved, as reversing and re-applying
    // it use them.
    struct TUndoStep {
        TBufferCoord Start;
        TBufferCoord End;
        QString S;
        TLexSelectionMode M = smNormal;
        bool G = false;
    };
    TUndoStep UnpackUndoItem(const TLexEditUndoItem &Item) const;
    void ReverseItem(const TLexEditUndoItem &Item, bool ARedo);
    void ApplyItem(const TLexEditUndoItem &Item, bool ARedo);
    void RedoUnindent(const TBufferCoord &Start, const TBufferCoord &End, const QString &S,
                      TLexSelectionMode M);
    // Writes the 0-based line ALine; under eoTrimTrailingSpaces (never while undoing or redoing)
    // it loses its trailing blanks: at the end of the replacement running now, recorded, or at
    // once outside it.
    void PutTrimmedLine(int ALine, const QString &ALineText);
    // Trims the lines the replacement noted (1-based), recording what each loses.
    void TrimNotedLines(std::vector<int> &ALines, bool AddToUndoList);
    void LimitToTrimmedLine(int ALine);
    void LimitToLineEnds();
    void CollapseSelectionOnCaret();
    TBufferCoord OffsetToPos(int64_t AOffset) const;
    // Block unindent: the indentation removable at 0-based AFrom of S.
    int GetDelLen(const QString &S, int AFrom) const;
    // The last line block indent and unindent change for a selection ending at ABlockEnd.
    int LastBlockLine(const TBufferCoord &ABlockEnd) const;
    // A line-mode selection is present: Tab and Shift+Tab indent and unindent its lines.
    bool LineModeSelection() const;
    // Case change of the characters [From, To) of each row of the selection.
    struct TCaseRow {
        int Line;
        int From;
        int To;
    };
    std::vector<TCaseRow> CaseRows() const;
    // The commands of typing and deleting.
    void ExecChar(QChar AChar);
    void ExecImeStr(const QString &S);
    void ExecDeleteLastChar();
    void ExecDeleteChar();
    void ExecDeleteToBoundary(TLexEditorCommand Command);
    void ExecLineBreak(TLexEditorCommand Command);
    void ExecSetMarker(int BookMark, void *Data);
    void ExecScrollLine(bool AUp);
    void ExecPage(TLexEditorCommand Command, bool Sel);
    // Runs F with eoScrollPastEol switched on.
    void WithScrollPastEol(const std::function<void()> &AFunction);
    int NearestIndentBelow(int ALine, int ALimit) const;
    // Repaints at once (the Update of the commands); the pending rows are flushed.
    void UpdateView();

    // ---- view, caret display and mouse (LexEditScroll.cpp, LexEditCaretDisplay.cpp,
    // LexEditMouse.cpp) ---------------------------------------------------------------------------
    void InitViewAndMouse();
    // Shifts the pixels by whole columns and rows (or repaints when that is a window or more).
    void ScrollView(int DeltaColumns, int DeltaRows);
    void MovePixels(int DeltaColumns, int DeltaRows);
    void ApplyScrollBar(bool AHorizontal, bool AWanted, int AMaxScroll, int APage, int APosition);
    // The scroll bars' user actions as scroll codes (0 line up .. 8 end scroll).
    void WMVScroll(int ACode, int APosition);
    void WMHScroll(int ACode, int APosition);
    void ScrollBarAction(bool AHorizontal, int AAction);
    void ShowScrollHint();
    void HideScrollHint();
    // The largest left column whose pixel offsets still fit in 32 bits.
    int MaxLeftCharInPixels() const;
    void DestroyCaret();
    void CaretBlink();
    void InvalidateCaret();
    // Draws the caret, inverted, inside AClip right of the gutter (the paint entry calls it last).
    void PaintCaret(QPainter &APainter, const QRect &AClip) const;
    TShiftState ShiftFromEvent(const QMouseEvent &AEvent) const;
    void CountClick(const QMouseEvent &AEvent, TShiftState Shift);
    void HandleMousePress(QMouseEvent *AEvent);
    // Step 4 of a press: extend or collapse the selection at the caret, with the column mode.
    void PlaceSelectionAtCaret(TShiftState Shift);
    // A press inside the selection was waiting for a drag; it becomes an ordinary press.
    void ApplyPendingPress();
    // The selected text as copies and drags take it (a column block keeps its padding).
    QString SelTextForCopy();
    // The caret to APos while the mouse drags; AExtend: the block end follows from the anchor.
    void DragCaretTo(const TBufferCoord &APos, bool AExtend);
    int ClampRow(int ARow) const;

    // ---- word wrap (LexEditWrap.cpp) ---------------------------------------------------------------
    // The plug-in told of buffer changes; a true answer of WrapLinePut: the line's row count
    // changed.
    void WrapLinesInserted(int Index, int Count);
    void WrapLinesDeleted(int Index, int Count);
    bool WrapLinePut(int Index, const QString &OldLine);
    // Every line wrapped again (tab width, glyph widths, another buffer).
    void WrapReset();
    // The window's width changed.
    void WrapDisplayChanged();
    // End of the update lock: a caret beyond the window's last column comes back into it.
    void WrapKeepCaretInWindow();
    // The caret shows at the end of the row before when it stands at the start of a
    // continuation row after a move that reached it from there (fCaretAtEOL).
    bool IsContinuationRow(int aRow) const;
    void SetCaretAtEOL(bool Value);
    bool WrapMoveCaretHorz(int DX);
    void DoWrappedEndKey(bool Selection, const QString &S);
    void PaintWrapGlyphs(QPainter &ACanvas, int aFirstRow, int aLastRow);
    // Marks the rows of lines FirstLine..LastLine between the pixel columns ALeft and ARight.
    void InvalidateRows(int FirstLine, int LastLine, int ALeft, int ARight);
    // Hooks the painting options and scales their pixel sizes from 96 dpi (at construction).
    void InitPainting();
    void PaletteChanged();
    // Scales to the resolution of the screen the editor is now on, when it differs.
    void ScreenChanged();
    void GutterChanged();
    void SetGutterWidth(int Value);
    // The digit count of the line numbers after the line count changed.
    void UpdateGutterDigits();
    void PaintMarks(QPainter &ACanvas, int aFirstRow, int aLastRow);
    // The gutter rows of the lines whose marks changed (-1, -1: all; LastLine -1: to the end).
    void MarkListChange(int FirstLine, int LastLine);
    // The drawer of the line numbers: one of the gutter font, or the editor's.
    TheTextDrawer &GutterDrawer();
    // The row height that holds every glyph's ink and the underline of the editor font.
    int RowHeightOfFont() const;
    std::unique_ptr<TLexInternalImage> fInternalImage; // made on first use
    std::unique_ptr<TheTextDrawer> fGutterDrawer;      // made on first use
    QPainter *fPaintingPainter = nullptr;              // set while paintArea runs
    int FPaintTransientLock = 0;
    std::unique_ptr<TLexEditStringList> fOrigLines; // the buffer this editor made
    std::shared_ptr<ILexEditUndo> fOrigUndoRedo;
    // The editor that runs Undo or Redo on this editor's engine, which hands it the items.
    TCustomLexEdit *fUndoRedoEditor = nullptr;
    bool fCaretAtEOL = false;
    QRect fInvalidateRect;
    // Whether the open buffer bracket reported which lines it changed, and whether this editor
    // (or one showing its buffer) opened it.
    bool fLinesNotified = false;
    bool fOwnBracket = false;
    bool fDestroying = false;
    // key memory
    uint16_t fLastKey = 0;
    TShiftState fLastShiftState;
    // key input (LexEditKeyboard.cpp)
    bool FIgnoreNextChar = false;
    QString FCharCodeString;
    // Undo or Redo is running on this editor: the end of its buffer bracket keeps the selection.
    bool fUndoRedoRunning = false;
    // An undo item is being reversed: what the editor adds by itself goes to the redo stack.
    bool fReversingUndo = false;
    // The lines the running replacement wrote that lose their trailing blanks at its end (set
    // by the outermost SetSelTextPrimitiveEx under eoTrimTrailingSpaces).
    std::vector<int> *fTrimLines = nullptr;
    bool fInUpdateScrollBars = false;
    int fMouseWheelAccumulator = 0;
    QPoint fCaretOffset;
    QSize fCaretSize{2, 1};
    QRect fCaretRect;           // viewport pixels of the caret
    bool fCaretCreated = false; // the caret exists (focus or fAlwaysShowCaret)
    bool fCaretBlinkOn = true;  // the blinking's visible phase
    QTimer fCaretBlinkTimer;
    int fMouseDownX = 0;
    int fMouseDownY = 0;
    int64_t fLastClickTime = 0;
    bool fMouseCaptured = false;
    bool fPendingDrag = false; // a press inside the selection waits for a drag or a release
    TShiftState fPendingShift;
    // drag and drop
    bool fDropMovedHere = false; // the drag from this editor was moved by its own drop
    QTimer fScrollTimer;
    int fScrollDeltaX = 0;
    int fScrollDeltaY = 0;
    // The word selected last by SetWordBlock: the anchor of a drag after a double click.
    TBufferCoord fWordAnchorBegin{0, 0};
    TBufferCoord fWordAnchorEnd{0, 0};
    QMetaObject::Connection fHighlighterDestroyed;
    std::vector<TCustomLexEdit *> fFollowers; // editors showing this editor's buffer
    int fFollowFromRow = -1;                  // the row count before that first call; -1: nothing to follow

    // ---- search and replace (LexEditSearchReplace.cpp) -------------------------------------------
    TLexSearchEngineRef fSearchEngine; // cleared by the engine when it is destroyed
};

template <typename F> void TLexEditPrivate::ForEachFollower(F &&AFunction) {
    // Over a copy: a follower may leave while it is told.
    const std::vector<TCustomLexEdit *> Followers = fFollowers;
    for (TCustomLexEdit *Follower : Followers)
        AFunction(Follower);
}

} // namespace lexedit

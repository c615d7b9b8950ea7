// SPDX-License-Identifier: MIT
#pragma once
// The editor control: TCustomLexEdit holds a line buffer, an undo engine, a keystroke table, key
// and mouse handler chains and a text drawer, and shows the text of its buffer with the ranges of
// its highlighter. TLexEdit is the published form.
// The state and helpers of its implementation live on its private side (LexEditPrivate.h in
// lexedit/src), which also maps the implementation's unit files.

#include "common/BracketGuard.h"
#include "lexedit/LexColor.h"
#include "lexedit/LexEditGutter.h"
#include "lexedit/LexEditKbdHandler.h"
#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditMiscClasses.h"
#include "lexedit/LexEditOptions.h"
#include "lexedit/LexEditTypes.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QMimeData;
class QPainter;

namespace lexedit {

class ILexEditUndo;
class TLexWordWrapPlugin;
class TLexCodeFolding;
class TLexFoldRanges;
class TLexEditStringList;
class TCustomLexEdit;
// Lets the application record fold markers for the 0-based lines FromLine..ToLine.
using TScanForFoldRangesEvent =
    std::function<void(TCustomLexEdit *Sender, TLexFoldRanges &FoldRanges,
                       const TLexEditStringList &LinesToScan, int FromLine, int ToLine)>;
class TheTextDrawer;
class TLexCustomHighlighter;
class TLexHighlighterAttributes;
class TLexEditStringList;
class TLexEditPrivate;
struct TLexEditUndoItem;

class TCustomLexEdit : public QAbstractScrollArea {
public:
    explicit TCustomLexEdit(QWidget *AOwner = nullptr);
    ~TCustomLexEdit() override;
    TCustomLexEdit(const TCustomLexEdit &) = delete;
    TCustomLexEdit &operator=(const TCustomLexEdit &) = delete;

    // ---- buffer and undo -----------------------------------------------------------------
    TLexEditStringList *Lines() const;
    // Copies the lines of AValue into the buffer (one update bracket).
    void SetLines(const QStringList &AValue);
    QString Text() const;
    void SetText(const QString &AValue);
    QString LineText() const;
    void SetLineText(const QString &AValue);
    ILexEditUndo *UndoRedo() const;
    bool Modified() const;
    void SetModified(bool Value);
    int MaxUndo() const;
    void SetMaxUndo(int Value);
    // Undo or redo one group of the undo engine in use (nothing while read-only). The engine's
    // callbacks reach this editor also when it shows another editor's buffer and engine.
    void Undo();
    void Redo();
    bool CanUndo() const;
    bool CanRedo() const;

    // ---- settings --------------------------------------------------------------------------
    TLexEditorOptions Options() const;
    void SetOptions(TLexEditorOptions Value);
    int TabWidth() const;
    void SetTabWidth(int Value);
    bool InsertMode() const;
    void SetInsertMode(bool Value);
    bool ReadOnly() const { return GetReadOnly(); }
    virtual void SetReadOnly(bool Value);
    bool WantReturns() const;
    void SetWantReturns(bool Value);
    bool WantTabs() const;
    void SetWantTabs(bool Value);
    bool HideSelection() const;
    void SetHideSelection(bool Value);
    int RightEdge() const;
    void SetRightEdge(int Value);
    TColor RightEdgeColor() const;
    void SetRightEdgeColor(TColor Value);
    TColor ActiveLineColor() const;
    void SetActiveLineColor(TColor Value);
    TColor Color() const;
    void SetColor(TColor Value);
    int ExtraLineSpacing() const;
    void SetExtraLineSpacing(int Value);
    TFontQuality FontQuality() const;
    void SetFontQuality(TFontQuality Value);
    // The editor's font (DefaultFontName, 10 points at construction).
    QFont EditorFont() const { return font(); }
    void SetEditorFont(const QFont &AFont);
    TLexEditCaretType InsertCaret() const;
    void SetInsertCaret(TLexEditCaretType Value);
    TLexEditCaretType OverwriteCaret() const;
    void SetOverwriteCaret(TLexEditCaretType Value);
    TColor ScrollHintColor() const;
    void SetScrollHintColor(TColor Value);
    TLexScrollHintFormat ScrollHintFormat() const;
    void SetScrollHintFormat(TLexScrollHintFormat Value);
    TScrollStyle ScrollBars() const;
    void SetScrollBars(TScrollStyle Value);
    TBorderStyle BorderStyle() const;
    void SetBorderStyle(TBorderStyle Value);
    // ---- code folding (LexEditFolding.cpp) -----------------------------------------------------
    // Folding needs a folding highlighter or OnScanForFoldRanges; switching it on turns word wrap
    // off and scans every line. Collapsed ranges hide the lines after their first: the row map
    // of the editor then skips them, and the caret never stays on a hidden line (a move, an edit
    // or an undo that puts it there expands the ranges around it).
    bool UseCodeFolding() const;
    void SetUseCodeFolding(bool Value);
    TLexCodeFolding &CodeFolding();
    void SetCodeFolding(const TLexCodeFolding &Value);
    const TLexFoldRanges &AllFoldRanges() const;
    TScanForFoldRangesEvent OnScanForFoldRanges;
    // The gutter's right offset from the options (room for the fold shapes), and a repaint.
    void OnCodeFoldingChange(QObject *Sender);
    void FullFoldScan();
    // 0-based lines; lines past the end are not scanned.
    void ReScanForFoldRanges(int FromLine, int ToLine);
    virtual void ScanForFoldRanges(TLexFoldRanges &FoldRanges, const TLexEditStringList &LinesToScan,
                                   int FromLine, int ToLine);
    // 0-based indices into AllFoldRanges.
    void Collapse(int FoldRangeIndex, bool Invalidate = true);
    void Uncollapse(int FoldRangeIndex, bool Invalidate = true);
    void CollapseAll();
    void UncollapseAll();
    void CollapseLevel(int Level);
    void UnCollapseLevel(int Level);
    void CollapseFoldType(int FoldType);
    void UnCollapseFoldType(int FoldType);
    void CollapseNearest();
    void UncollapseNearest();
    void UncollapseAroundLine(int Line);
    // The fold shape of a display row and the "..." mark behind a collapsed line, in viewport
    // pixels (an empty rectangle when the line starts no collapsed range).
    QRect GetFoldShapeRect(int Row) const;
    QRect GetCollapseMarkRect(int Row, int Line = -1) const;
    // Word wrap: every line is shown as rows no wider than the window (the horizontal scroll bar
    // goes, LeftChar stays 1). Setting it keeps the top line and the caret in view.
    bool WordWrap() const;
    void SetWordWrap(bool Value);
    // The plug-in while word wrap is on, else null.
    const TLexWordWrapPlugin *WordWrapPlugin() const;
    // The picture drawn in the gutter on every continuation row (copied on assignment).
    TLexGlyph &WordWrapGlyph();
    void SetWordWrapGlyph(const TLexGlyph &Value);

    // ---- highlighter -----------------------------------------------------------------------
    TLexCustomHighlighter *Highlighter() const;
    // Not owned. Editors showing one buffer share one highlighter (their ranges are one set):
    // on an editor that shows another editor's lines this sets the owner's highlighter, which
    // every editor of the buffer then uses.
    void SetHighlighter(TLexCustomHighlighter *Value);

    // ---- keystrokes, handlers, plug-ins ----------------------------------------------------
    TLexEditKeyStrokes &Keystrokes();
    // Without a table the keystrokes are cleared, otherwise copied.
    void SetKeystrokes(const TLexEditKeyStrokes *Value);
    virtual void SetDefaultKeystrokes();
    // The entries of the table that the default table lacks, and the default entries that the
    // table lacks (what a stored form keeps instead of the whole table).
    std::vector<TLexStoredKeystroke> AddedKeystrokes() const;
    std::vector<TLexStoredKeystroke> RemovedKeystrokes() const;
    // Reading them back: appends added entries, deletes removed ones.
    void ReadAddedKeystrokes(const std::vector<TLexStoredKeystroke> &AItems);
    void ReadRemovedKeystrokes(const std::vector<TLexStoredKeystroke> &AItems);

    // A handler is identified by AOwner; registering an owner twice is ignored.
    void RegisterCommandHandler(const void *AOwner, THookedCommandEvent AHandlerProc, void *AHandlerData);
    void UnregisterCommandHandler(const void *AOwner);
    int HookedCommandHandlerCount() const;
    virtual void NotifyHookedCommandHandlers(bool AfterProcessing, TLexEditorCommand &Command, QChar &AChar,
                                             void *Data);

    TLexEditKbdHandler &KbdHandler();
    TLexHandlerId AddKeyDownHandler(TKeyEvent AHandler);
    TLexHandlerId AddKeyUpHandler(TKeyEvent AHandler);
    TLexHandlerId AddKeyPressHandler(TKeyPressEvent AHandler);
    TLexHandlerId AddMouseDownHandler(TMouseEvent AHandler);
    TLexHandlerId AddMouseUpHandler(TMouseEvent AHandler);
    TLexHandlerId AddMouseCursorHandler(TMouseCursorEvent AHandler);
    bool RemoveKeyDownHandler(TLexHandlerId AId);
    bool RemoveKeyUpHandler(TLexHandlerId AId);
    bool RemoveKeyPressHandler(TLexHandlerId AId);
    bool RemoveMouseDownHandler(TLexHandlerId AId);
    bool RemoveMouseUpHandler(TLexHandlerId AId);
    bool RemoveMouseCursorHandler(TLexHandlerId AId);

    void AddFocusControl(QWidget *AControl);
    void RemoveFocusControl(QWidget *AControl);
    int FocusControlCount() const;
    int PluginCount() const;

    TLexEditMarkList &Marks();

    // ---- update lock and status --------------------------------------------------------------
    void BeginUpdate() { IncPaintLock(); }
    void EndUpdate() { DecPaintLock(); }
    void IncPaintLock();
    // Without a matching IncPaintLock: "Assertion failure", and the lock stays at 0.
    void DecPaintLock();
    int PaintLock() const;
    TLexStateFlags StateFlags() const;
    // The status changes not reported yet.
    TLexStatusChanges PendingStatusChanges() const;
    void StatusChanged(TLexStatusChanges AChanges);

    // Holds the update lock for its lifetime.
    using TUpdateGuard =
        common::BracketGuard<TCustomLexEdit, &TCustomLexEdit::IncPaintLock, &TCustomLexEdit::DecPaintLock>;

    // ---- view (LexEditScroll.cpp) --------------------------------------------------------------
    int TopLine() const;
    // Clamped to 1 .. the last row that keeps the window full (the last row with eoScrollPastEof).
    // A move by less than a window shifts the pixels and repaints only the uncovered band.
    void SetTopLine(int Value);
    int LeftChar() const;
    // Clamped to 1 .. the longest line minus the window (far right with eoScrollPastEol, as long
    // as the pixel offsets fit in 32 bits).
    void SetLeftChar(int Value);
    int CharsInWindow() const;
    int LinesInWindow() const;
    int CharWidth() const;
    int LineHeight() const;
    int GutterWidth() const;
    TheTextDrawer &TextDrawer();
    // Viewport pixels and cells: the cell under a point, the caret position nearest to a point
    // (the nearer cell boundary; a point below the last whole row goes to that row), and the
    // top-left pixel of a cell.
    TDisplayCoord PixelsToRowColumn(int aX, int aY) const;
    TDisplayCoord PixelsToNearestRowColumn(int aX, int aY) const;
    QPoint RowColumnToPixels(const TDisplayCoord &RowCol) const;
    // Replaces the text drawer (one that measures glyphs its own way); it is given the editor's
    // font, and the cells, the expanded lengths and the picture follow.
    void SetTextDrawer(std::unique_ptr<TheTextDrawer> ADrawer);
    // Scrolls so that the caret is visible.
    virtual void EnsureCursorPosVisible();
    // ForceToMiddle centres the caret's row when it is out of view (EvenIfVisible: always).
    void EnsureCursorPosVisibleEx(bool ForceToMiddle, bool EvenIfVisible = false);
    bool CaretInView() const;
    // One wheel turn of WheelDelta (120 a notch): 3 rows a notch, a page with Ctrl. Returns
    // whether it was handled.
    bool DoMouseWheel(TShiftState Shift, int WheelDelta, const QPoint &MousePos);
    // The scroll box is being dragged.
    bool IsScrolling() const;
    TLexScrollEvent OnScroll;

    // ---- caret display (LexEditCaretDisplay.cpp) ----------------------------------------------
    // Shows the caret without the focus too.
    bool AlwaysShowCaret() const;
    void SetAlwaysShowCaret(bool Value);
    // The caret's rectangle in the editor's own coordinates (what an input method is told), and
    // whether it is shown now (it may be in the off phase of its blinking).
    QRect CaretRectangle() const;
    bool CaretShown() const;
    // The focus goes to the last control of the focus list that can take it, else to the editor.
    void SetFocus();

    // ---- mouse (LexEditMouse.cpp) ---------------------------------------------------------------
    // What the mouse handling asks of the system; tests replace it.
    void SetMouseEnvironment(TLexMouseEnvironment AEnvironment);
    const TLexMouseEnvironment &MouseEnvironment() const;
    bool IsPointInSelection(const TBufferCoord &Value) const;
    // The buffer position under the mouse cursor; false when the cursor is outside the control.
    bool GetPositionOfMouse(TBufferCoord &aPos) const;
    QString GetWordAtMouse() const;
    // The number of the current left click in a fast series (0 after another kind of press).
    int ClickCount() const;
    // The cursor over the text (the gutter and a draggable selection show the arrow).
    Qt::CursorShape TextCursor() const;
    void SetTextCursor(Qt::CursorShape Value);
    TLexMouseCursorEvent OnMouseCursor;
    TLexNotifyEvent OnTripleClick;
    TLexNotifyEvent OnQuadrupleClick;

    // ---- highlighter ranges ------------------------------------------------------------------
    void ScanRanges();
    // Rescans from the 0-based line Index until a line's end range equals the one stored; returns
    // the index of the last line scanned.
    int ScanFrom(int Index);

    // ---- sharing a buffer --------------------------------------------------------------------
    // Shows and edits the buffer and undo engine of AEdit (or of the editor whose buffer AEdit
    // shows). Both editors then follow every change.
    void SetLinesPointer(TCustomLexEdit *AEdit);
    void RemoveLinesPointer();
    TCustomLexEdit *ChainedEditor() const;

    // ---- caret -------------------------------------------------------------------------------
    int CaretX() const;
    int CaretY() const;
    TBufferCoord CaretXY() const;
    void SetCaretX(int Value);
    void SetCaretY(int Value);
    // Places the caret and collapses the selection onto it.
    virtual void SetCaretXY(const TBufferCoord &Value);
    void SetInternalCaretX(int Value);
    void SetInternalCaretY(int Value);
    void SetInternalCaretXY(const TBufferCoord &Value) { SetCaretXYEx(true, Value); }
    virtual void SetCaretXYEx(bool CallEnsureCursorPos, TBufferCoord Value);
    void ForceCaretX(int aCaretX);
    void UpdateLastCaretX();
    int LastCaretX() const;
    void SetInternalDisplayXY(const TDisplayCoord &aPos);
    // Places the caret at the start of ALine, collapses the selection and centres the line.
    virtual void GotoLineAndCenter(int ALine);
    // Goes to bookmark 0..9 when it is set on an existing line (the marks with that number).
    virtual void GotoBookMark(int BookMark);
    TDisplayCoord DisplayXY() const;
    int DisplayX() const { return DisplayXY().Column; }
    int DisplayY() const;

    // ---- selection ---------------------------------------------------------------------------
    TBufferCoord BlockBegin() const;
    TBufferCoord BlockEnd() const;
    void SetBlockBegin(TBufferCoord Value);
    void SetBlockEnd(TBufferCoord Value);
    bool SelAvail() const;
    bool SelTabBlock() const;
    bool SelTabLine() const;
    TLexSelectionMode SelectionMode() const;
    void SetSelectionMode(TLexSelectionMode Value);
    TLexSelectionMode ActiveSelectionMode() const;
    void SetActiveSelectionMode(TLexSelectionMode Value);
    void SetCaretAndSelection(const TBufferCoord &ptCaret, const TBufferCoord &ptBefore,
                              const TBufferCoord &ptAfter);
    void MoveCaretAndSelection(const TBufferCoord &ptBefore, const TBufferCoord &ptAfter,
                               bool SelectionCommand);
    void SelectAll();
    QString SelText() const { return GetSelText(); }
    QString GetSelText() const;
    int SelStart() const;
    void SetSelStart(int Value);
    int SelEnd() const;
    void SetSelEnd(int Value);
    int SelLength() const;
    void SetSelLength(int Value);
    void SetSelWord() { SetWordBlock(CaretXY()); }
    void SetWordBlock(TBufferCoord Value);
    // Extending a selection made by a double (words) or triple (lines) click while the mouse
    // drags to APos: the word or line clicked stays selected, the other end follows the mouse
    // by whole words or lines, and the caret goes to that end.
    void DoMouseSelectWordRange(TBufferCoord APos);
    void DoMouseSelectLineRange(TBufferCoord APos);
    QString WordAtCursor() const { return GetWordAtRowCol(CaretXY()); }
    QString GetWordAtRowCol(TBufferCoord XY) const;

    // ---- mapping -----------------------------------------------------------------------------
    TDisplayCoord BufferToDisplayPos(const TBufferCoord &p) const;
    TBufferCoord DisplayToBufferPos(const TDisplayCoord &p) const;
    // The first display row of a line and the line of a row (one row per line without wrap).
    int LineToRow(int aLine) const;
    int RowToLine(int aRow) const;
    int DisplayLineCount() const;
    // The length of a display row in columns (with word wrap; else the line's display length).
    int GetRowLength(int aRow) const;
    int RowColToCharIndex(const TBufferCoord &RowCol) const;
    TBufferCoord CharIndexToRowCol(int Index) const;
    // The display form of a tab-expanded line: a wide glyph is preceded by FillerChar characters
    // so that every character of the result fills one cell.
    QString ExpandAtWideGlyphs(const QString &S) const;

    // ---- words -------------------------------------------------------------------------------
    virtual bool IsIdentChar(QChar AChar) const;
    virtual bool IsWhiteChar(QChar AChar) const;
    virtual bool IsWordBreakChar(QChar AChar) const;
    const TLexCharSet &AdditionalIdentChars() const;
    const TLexCharSet &AdditionalWordBreakChars() const;
    void SetAdditionalIdentChars(const TLexCharSet &Value);
    void SetAdditionalWordBreakChars(const TLexCharSet &Value);
    virtual TBufferCoord NextWordPosEx(const TBufferCoord &XY) const;
    virtual TBufferCoord WordStartEx(const TBufferCoord &XY) const;
    virtual TBufferCoord WordEndEx(const TBufferCoord &XY) const;
    virtual TBufferCoord PrevWordPosEx(const TBufferCoord &XY) const;
    virtual TBufferCoord NextWordPos() const { return NextWordPosEx(CaretXY()); }
    virtual TBufferCoord WordStart() const { return WordStartEx(CaretXY()); }
    virtual TBufferCoord WordEnd() const { return WordEndEx(CaretXY()); }
    virtual TBufferCoord PrevWordPos() const { return PrevWordPosEx(CaretXY()); }

    // ---- caret keys --------------------------------------------------------------------------
    void MoveCaretHorz(int DX, bool SelectionCommand);
    void MoveCaretVert(int DY, bool SelectionCommand);
    void DoHomeKey(bool Selection);
    void DoEndKey(bool Selection);

    // ---- editing (LexEditSelText.cpp, LexEditExecute.cpp, LexEditTyping.cpp) -------------------
    // Replaces the selection by Value in the active selection mode (recorded for undo).
    void SetSelText(const QString &Value);
    // Deletes the selection in the active mode and inserts Value at the caret in PasteMode.
    void SetSelTextPrimitiveEx(TLexSelectionMode PasteMode, const QString &Value, bool AddToUndoList = true,
                               bool SilentDelete = false);
    // Replaces the column block from BB to BE by ChangeStr (an empty block inserts the pieces of
    // ChangeStr at BB's character on successive lines).
    void InsertBlock(const TBufferCoord &BB, const TBufferCoord &BE, const QString &ChangeStr,
                     bool AddToUndoList);
    // Writes the 0-based line ALine, without trailing blanks under eoTrimTrailingSpaces.
    void ProperSetLine(int ALine, const QString &ALineText);
    // The 1-based characters [From, To) of line ALine that a column block between the display
    // columns Left and Right (Left < Right) covers: a character belongs to it when its first column
    // lies inside. Positions past the line end count one column each, so To may exceed the line.
    // Copying, deleting and undoing a column block all use this one rule.
    void ColumnRowRange(int ALine, int Left, int Right, int &From, int &To) const;

    // The command gate: the events and hooked handlers may change or cancel the command, then
    // ExecuteCommand runs it; OnCommandProcessed is told in every case.
    virtual void CommandProcessor(TLexEditorCommand Command, QChar AChar, void *Data);
    // Carries out a built-in command. Data is a TBufferCoord * for ecGotoXY, ecSelGotoXY and the
    // set-marker commands, a QString * for ecImeStr, otherwise unused.
    virtual void ExecuteCommand(TLexEditorCommand Command, QChar AChar, void *Data);
    // The key translation of the keystroke table with this editor's two-key memory.
    TLexEditorCommand TranslateKeyCode(uint16_t Code, TShiftState Shift, void *&Data);

    int LeftSpaces(const QString &S) const { return LeftSpacesEx(S, false, false); }
    int LeftSpacesEx(const QString &S, bool WantTabs, bool CalcAlways) const;
    QString GetLeftSpacing(int CharCount, bool WantTabs) const;
    QString ExpandTabs(const QString &S) const;
    // Empties buffer, marks, bookmarks and undo history.
    void ClearAll();
    void Clear() { ClearAll(); }
    void ClearSelection();
    void BeginUndoBlock();
    void EndUndoBlock();
    void ClearUndo();
    void LockUndo();
    void UnlockUndo();
    // Indentation, case and line commands (LexEditBlockCommands.cpp). Tab and Shift+Tab indent
    // and unindent the selected lines with eoTabIndent; block indent and unindent work on the
    // lines of the selection (in column mode at the block's left character); the case commands
    // convert the selection, or the word at the caret; the line commands copy or move the lines
    // of the selection (or the caret's line) by one line, or delete them. Each is one undo step.
    void DoTabKey();
    void DoShiftTabKey();
    void DoBlockIndent();
    void DoBlockUnindent();
    // One of ecUpperCase, ecLowerCase, ecToggleCase, ecTitleCase.
    void ExecCmdCaseChange(TLexEditorCommand Cmd);
    // One of ecCopyLineUp, ecCopyLineDown, ecMoveLineUp, ecMoveLineDown.
    void ExecCmdCopyOrMoveLine(TLexEditorCommand Command);
    void ExecCmdDeleteLine();
    // The caret to the bracket matching the one at the caret; it stays where it is when there
    // is none.
    virtual void FindMatchingBracket();
    virtual TBufferCoord GetMatchingBracket() const;
    // The bracket that matches the one of ( ) [ ] { } < > at APoint, or (0, 0). Brackets inside
    // the highlighter's strings and comments are skipped.
    virtual TBufferCoord GetMatchingBracketEx(const TBufferCoord &APoint) const;
    // The highlighter's token at XY and its attribute (also its kind and first character);
    // false (an empty token, no attribute) without a highlighter or outside the text.
    bool GetHighlighterAttriAtRowCol(const TBufferCoord &XY, QString &Token,
                                     TLexHighlighterAttributes *&Attri) const;
    bool GetHighlighterAttriAtRowColEx(const TBufferCoord &XY, QString &Token, int &TokenType, int &Start,
                                       TLexHighlighterAttributes *&Attri) const;
    // Clipboard (LexEditClipboard.cpp): the text with the selection mode it was copied in.
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    // Not read-only, and text on the clipboard.
    bool CanPaste() const;
    // Places the data object of SText on the clipboard.
    void DoCopyToClipboard(const QString &SText);
    // The data object of the selection with the text SText: text/plain, the active selection
    // mode and, with a highlighter, text/html (LexEditDataObject.h).
    std::unique_ptr<QMimeData> CreateDataObject(const QString &SText) const;
    // Whether the HTML flavour carries the editor's background colours (off by default).
    bool HTMLCopyUseBackground() const;
    void SetHTMLCopyUseBackground(bool Value);

    // Drag and drop (LexEditDragDrop.cpp). The drop target's handlers take the data, the keys
    // and buttons, the point in viewport pixels and the effect: in, the one proposed (copy with
    // Ctrl, else move when the source allows it); out, the one taken (IgnoreAction refuses).
    virtual void OleDragEnter(const QMimeData *DataObject, TShiftState State, const QPoint &MousePt,
                              Qt::DropAction &Effect);
    virtual void OleDragOver(const QMimeData *DataObject, TShiftState State, const QPoint &MousePt,
                             Qt::DropAction &Effect);
    virtual void OleDragLeave();
    virtual void OleDrop(const QMimeData *DataObject, TShiftState State, const QPoint &MousePt,
                         Qt::DropAction &Effect);
    // Drags the selection out through the mouse environment's StartDrag; a move deletes it
    // unless the drop went into this editor, which moved it itself.
    void DragSelection();
    // Local files dropped with eoDropFiles: the drop point in viewport pixels and the full names.
    std::function<void(TCustomLexEdit *Sender, int X, int Y, const QStringList &AFiles)> OnDropFiles;

    // The input method's composition string, shown at the caret and never stored in the buffer.
    QString PreeditString() const;
    // Paints the composition string at the caret (called by the paint entry after the text).
    void PaintPreedit(QPainter &APainter) const;

    TContextHelpEvent OnContextHelp;
    // ---- painting, gutter and bookmarks (LexEditPaint.cpp, LexEditGutter.cpp) ---------------
    // Paints the part AClip of the viewport (gutter and text) with APainter; the paint event
    // calls it, and so may anything that wants the picture in an image.
    void paintArea(QPainter &APainter, const QRect &AClip);
    // The CharCount characters of S from the 1-based First without the fillers of wide glyphs;
    // CharCount becomes the number kept. A U+E000 of the text itself is kept.
    QString ShrinkAtWideGlyphs(const QString &S, int First, int &CharCount) const;
    TLexGutter &Gutter();
    void SetGutter(const TLexGutter &Value);
    TLexSelectedColor &SelectedColor();
    TLexBookMarkOpt &BookMarkOptions();
    // Bookmarks 0..9: a mark with that number on line Y (1..line count) at character X.
    void SetBookMark(int BookMark, int X, int Y);
    void ClearBookMark(int BookMark);
    bool GetBookMark(int BookMark, int &X, int &Y) const;
    bool IsBookmark(int BookMark) const;

    // After the text is painted, with the painter's font set to the editor font.
    std::function<void(TCustomLexEdit *Sender, QPainter &ACanvas)> OnPaint;
    // Before and after the caret moves or the text changes (no painter then: the handler asks
    // for an update of what it draws), and after every paint (with the painter).
    std::function<void(TCustomLexEdit *Sender, QPainter *ACanvas, TTransientType TransientType)>
        OnPaintTransient;
    // Once per painted line; setting Special paints the line in FG / BG.
    std::function<void(TCustomLexEdit *Sender, int Line, bool &Special, TColor &FG, TColor &BG)>
        OnSpecialLineColors;
    std::function<void(TCustomLexEdit *Sender, int aLine, QString &aText)> OnGutterGetText;
    // Once per painted line after the gutter: X is the offset after the marks drawn on the row.
    std::function<void(TCustomLexEdit *Sender, int aLine, int X, int Y)> OnGutterPaint;
    // Before a bookmark is placed (clearing APlace cancels it) and before one is removed.
    std::function<void(TCustomLexEdit *Sender, TLexEditMark &Mark, bool &APlace)> OnPlaceBookmark;
    std::function<void(TCustomLexEdit *Sender, TLexEditMark &Mark)> OnClearBookmark;
    // A click in the gutter: the buffer line of the row clicked and the mark under the point
    // (null when there is none there).
    std::function<void(TCustomLexEdit *Sender, TMouseButton Button, int X, int Y, int Line,
                       TLexEditMark *Mark)>
        OnGutterClick;

    // The resolution changed from D to M dots per inch: the gutter, the bookmark options, the
    // bookmark pictures, the word-wrap glyph and a font given in pixels are scaled by M / D
    // (integer multiply-divide).
    virtual void ChangeScale(int M, int D);
    // The resolution the editor's pixel sizes are scaled to.
    int CurrentPPI() const;

    // ---- search and replace (LexEditSearchReplace.cpp) ----------------------------------------
    // The engine that matches the text (not owned); it becomes null when the engine is destroyed.
    TLexEditSearchCustom *SearchEngine() const;
    void SetSearchEngine(TLexEditSearchCustom *Value);
    // Finds (the first match) or replaces (one match, or all with ssoReplaceAll) ASearch in the
    // whole text, from the caret, or in the selection (any selection mode), in either direction;
    // returns the number of matches found or replaced. A match is selected as a stream of
    // characters whatever the selection mode. A replace-all without prompting is one update lock
    // and one undo step; replaced text is never searched again. Raises ELexEditError without an
    // engine; an engine's failure ends the call with the replacements made so far kept.
    int SearchReplace(const QString &ASearch, const QString &AReplace, TLexSearchOptions AOptions);
    // raCancel unless OnReplaceText is set; otherwise the action the handler leaves.
    virtual TLexReplaceAction DoOnReplaceText(const QString &ASearch, const QString &AReplace, int Line,
                                              int Column);
    TReplaceTextEvent OnReplaceText;
    TSearchNotFoundEvent OnSearchNotFound; // never raised by the editor itself

    // ---- events ------------------------------------------------------------------------------
    TLexNotifyEvent OnChange;
    TStatusChangeEvent OnStatusChange;
    TProcessCommandEvent OnProcessCommand;
    TProcessCommandEvent OnProcessUserCommand;
    TProcessCommandEvent OnCommandProcessed;

    // ---- output shown as it comes (LexEditAppend.cpp) ------------------------------------------
    // AppendLines adds ALines after the last line in one buffer update; ReplaceLine rewrites the
    // 1-based line ALine in place (a line shown before its end came). Neither is recorded for
    // undo; both keep the selection (either direction, any mode) and the caret, which other
    // changes of the lines collapse. Like a terminal, the view follows the end: when the last row
    // was in view before the first such call under the update lock, the view shows the new last
    // row once the lock ends; otherwise it stays where it is.
    void AppendLines(const QStringList &ALines);
    void ReplaceLine(int ALine, const QString &AText);

protected:
    // ---- virtual operations ------------------------------------------------------------------
    virtual void InvalidateRect(const QRect &aRect);
    virtual void DoChange();
    virtual bool GetReadOnly() const;
    virtual void LinesChanged(TLexEditStringList *Sender);
    virtual void DoOnStatusChange(TLexStatusChanges Changes);
    virtual void InternalSetCaretXY(const TBufferCoord &Value) { SetCaretXYEx(true, Value); }
    // Reverses (undo) or re-applies (redo) one undo item and records its opposite. Called with
    // the undo / redo flag set (see IsUndoRedoing).
    virtual void DoUndoItem(const TLexEditUndoItem &Item);
    virtual void DoRedoItem(const TLexEditUndoItem &Item);
    // The events of the command gate.
    virtual void DoOnProcessCommand(TLexEditorCommand &Command, QChar &AChar, void *Data);
    virtual void DoOnCommandProcessed(TLexEditorCommand Command, QChar AChar, void *Data);
    // Tells the transient painting of the plug-ins that the caret is about to move and has moved.
    virtual void DoOnPaintTransient(TTransientType TransientType) {
        DoOnPaintTransientEx(TransientType, false);
    }
    // ---- view and caret (LexEditScroll.cpp, LexEditCaretDisplay.cpp) ---------------------------
    // The caret's shape for the insert or overwrite mode; shown at once with the focus.
    void InitializeCaret();
    // Re-places the caret on screen (deferred to the end of the update lock).
    virtual void UpdateCaret();
    void ShowCaret();
    void HideCaret();
    // The scroll bars from the view (deferred to the end of the update lock).
    virtual void UpdateScrollBars();
    // Recomputes the cell size from the font and the styles in use.
    virtual void RecalcCharExtent();
    // Recomputes the window size in cells.
    virtual void SizeOrFontChanged(bool bFont);

    bool IsUndoRedoing() const;

    // ---- painting (LexEditPaint.cpp, LexEditGutter.cpp) ----------------------------------------
    virtual void PaintTextLines(QPainter &ACanvas, const QRect &AClip, int aFirstRow, int aLastRow,
                                int FirstCol, int LastCol);
    virtual void PaintGutter(QPainter &ACanvas, const QRect &AClip, int aFirstRow, int aLastRow);
    virtual bool DoOnSpecialLineColors(int Line, TColor &Foreground, TColor &Background);
    // With Lock, ttBefore / ttAfter nest: only the outermost pair tells the handlers.
    virtual void DoOnPaintTransientEx(TTransientType TransientType, bool Lock);
    void InvalidateGutter();
    void InvalidateGutterLine(int aLine);
    // A click that began and ended in the gutter (a right press runs it at once).
    virtual void DoOnGutterClick(TMouseButton Button, int X, int Y);

    // ---- invalidation ------------------------------------------------------------------------
    // Marks the rows of buffer lines FirstLine..LastLine (1-based; -1 means to the end) for
    // repainting, in the text area or in the gutter; while the update lock is held the area is
    // collected in fInvalidateRect.
    void InvalidateLines(int FirstLine, int LastLine);
    void InvalidateLine(int Line) { InvalidateLines(Line, Line); }
    void InvalidateGutterLines(int FirstLine, int LastLine);
    void InvalidateSelection();
    void InvalidateAll();
    // Repaints the pending area collected under the update lock.
    void FlushPendingInvalidation();

    // ---- mouse (LexEditMouse.cpp) -----------------------------------------------------------
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DblClick();
    virtual void TripleClick();
    virtual void QuadrupleClick();
    // The caret to the position nearest to the point; the automatic scrolling while the mouse
    // is outside the text (one step per tick of a 100 ms timer).
    void ComputeCaret(int X, int Y);
    void ComputeScroll(int X, int Y);
    void ScrollTimerHandler();
    bool AutoScrolling() const;
    virtual void UpdateMouseCursor(const QPoint &APoint);

    // ---- Qt --------------------------------------------------------------------------------
    void paintEvent(QPaintEvent *AEvent) override;
    void resizeEvent(QResizeEvent *AEvent) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *AEvent) override;
    void focusInEvent(QFocusEvent *AEvent) override;
    void focusOutEvent(QFocusEvent *AEvent) override;
    void mousePressEvent(QMouseEvent *AEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *AEvent) override;
    void mouseMoveEvent(QMouseEvent *AEvent) override;
    void mouseReleaseEvent(QMouseEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;
    void dragEnterEvent(QDragEnterEvent *AEvent) override;
    void dragMoveEvent(QDragMoveEvent *AEvent) override;
    void dragLeaveEvent(QDragLeaveEvent *AEvent) override;
    void dropEvent(QDropEvent *AEvent) override;
    // Tab stays in the editor when it wants tabs.
    bool focusNextPrevChild(bool ANext) override;
    // Keyboard and input method (LexEditKeyboard.cpp).
    bool event(QEvent *AEvent) override;
    void keyPressEvent(QKeyEvent *AEvent) override;
    void keyReleaseEvent(QKeyEvent *AEvent) override;
    void inputMethodEvent(QInputMethodEvent *AEvent) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery AQuery) const override;
    // Key down, typed text and key up in the keystroke table's terms.
    void KeyDown(uint16_t &Key, TShiftState Shift);
    void KeyPress(QString &Text);
    void KeyUp(uint16_t &Key, TShiftState Shift);

private:
    friend class TLexEditPrivate;
    // The implementation's own state and helpers (lexedit/src/LexEditPrivate.h). Declared first:
    // it is made first and goes last.
    std::unique_ptr<TLexEditPrivate> fPriv;
    friend class TLexEditPlugin;
    friend class TOwnBufferBracket;
    friend class TLexTextPainter;
    friend class TLexEditFolding;
};

// The published form of the editor.
class TLexEdit : public TCustomLexEdit {
public:
    explicit TLexEdit(QWidget *AOwner = nullptr) : TCustomLexEdit(AOwner) {}
};

} // namespace lexedit

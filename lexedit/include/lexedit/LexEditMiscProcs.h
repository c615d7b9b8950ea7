// SPDX-License-Identifier: MIT
#pragma once
// Free-standing helpers of the editor: clamping and integer arithmetic, tab expansion,
// character-category scans, blank trimming, the default font name, export names of highlighters
// and the gradient fill of the gutter.

#include "lexedit/LexColor.h"
#include "lexedit/LexEditTypes.h"

#include <QPalette>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <typeinfo>

class QPainter;
class QRect;

namespace lexedit {

// Clamps x into mi..ma: first limited to at most ma, then raised to at least mi.
int MinMax(int x, int mi, int ma);
void SwapInt(int &l, int &r);
// a * b / c in 64 bits, rounded to the nearest integer (halves away from zero); 0 when c is 0.
int MulDiv(int a, int b, int c);

// Dividend / Divisor rounded up. A zero divisor yields 0, and a quotient that does not fit in
// 16 bits yields 65535, so a caller dividing by an unset cell size never faults.
uint16_t CeilOfIntDiv(uint32_t Dividend, uint16_t Divisor);

// S without its trailing spaces and tabs (only characters 32 and 9 are removed).
QString TrimTrailingSpaces(const QString &S);

// Tab expansion. The display form keeps each tab as a run of tab characters, one per column, so
// that painting still recognises tabs while every character fills one cell.
// True when Line holds a tab; CharsBefore receives the number of characters before the first
// tab (0 when there is none).
bool GetHasTabs(QStringView Line, int &CharsBefore);
// Tab width below 2: every tab becomes one space.
QString ConvertTabs1Ex(const QString &Line, int TabWidth, bool &HasTabs);
// Tab width a power of two.
QString ConvertTabs2nEx(const QString &Line, int TabWidth, bool &HasTabs);
// Any tab width of at least 2.
QString ConvertTabsEx(const QString &Line, int TabWidth, bool &HasTabs);
// 2, 4, ..., 65536 are powers of two here; 1 is not.
bool IsPowerOfTwo(int Value);
TConvertTabsProcEx GetBestConvertTabsProcEx(int TabWidth);
// Tab expansion of a line that may hold wide glyphs: a tab reaches the next tab stop counted in
// display columns, that is after AWiden has given each wide glyph its fillers (AWiden returns
// the display form of a piece of text without tabs). ADisplayLength receives the length of the
// line's display form. Tab width below 2: every tab becomes one space, as ConvertTabs1Ex does.
QString ConvertTabsAtDisplayColumns(const QString &Line, int TabWidth,
                                    const std::function<QString(const QString &)> &AWiden, bool &HasTabs,
                                    int &ADisplayLength);

// Index (1-based) of the first character from Start onwards that is of the category, or 0.
// 0 also when Start is below 1 or beyond the line (the test is then not called).
int StrScanForCharInCategory(QStringView Line, int Start, const TCategoryMethod &IsOfCategory);
// The same scanning from Start down to 1.
int StrRScanForCharInCategory(QStringView Line, int Start, const TCategoryMethod &IsOfCategory);

// The editor's default font family.
QString DefaultFontName();

// Short export name of a highlighter class name: "TLexPHPLex" gives "PHP".
QString DeleteTypePrefixAndLexSuffix(const QString &S);

// 1 plus the number of highlighters of exactly the same class as Highlighter that come before it
// in HighlighterList (any container of pointers to highlighters).
template <typename THighlighter, typename TList>
int GetHighlighterIndex(const THighlighter *Highlighter, const TList &HighlighterList) {
    int Result = 1;
    for (const auto *Item : HighlighterList) {
        if (Item == Highlighter) break;
        if (Item != nullptr && Highlighter != nullptr && typeid(*Item) == typeid(*Highlighter)) ++Result;
    }
    return Result;
}

// Calls Proc(Highlighter, Attri, UniqueAttriName, Params) for every attribute of Highlighter in
// index order; UniqueAttriName is the export name, the GetHighlighterIndex number, "." and the
// attribute's name. False at once without a highlighter or procedure, and as soon as a call
// returns False. With SkipDuplicates, a highlighter whose class already occurred earlier in the
// list is left out (the caller passes the highlighters visited so far as HighlighterList).
template <typename THighlighter, typename TList, typename TProc, typename TParams>
bool EnumHighlighterAttris(THighlighter *Highlighter, bool SkipDuplicates, const TProc &HighlighterAttriProc,
                           TParams Params, const TList &HighlighterList) {
    if (Highlighter == nullptr || !HighlighterAttriProc) return false;
    const int Index = GetHighlighterIndex(Highlighter, HighlighterList);
    if (SkipDuplicates && Index > 1) return true;
    for (int i = 0; i < Highlighter->AttrCount(); ++i) {
        auto *Attri = Highlighter->Attribute(i);
        const QString UniqueAttriName =
            Highlighter->ExportName() + QString::number(Index) + QLatin1Char('.') + Attri->Name();
        if (!HighlighterAttriProc(Highlighter, Attri, UniqueAttriName, Params)) return false;
    }
    return true;
}

// Fills ARect with a gradient from AStartColor to AEndColor in ASteps bands (clamped to 2..256),
// along the width when AHorizontal, else along the height. System colours are resolved through
// APalette.
void LexDrawGradient(QPainter &ACanvas, TColor AStartColor, TColor AEndColor, int ASteps, const QRect &ARect,
                     bool AHorizontal, const QPalette &APalette = QPalette());

} // namespace lexedit

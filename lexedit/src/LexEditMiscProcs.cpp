// SPDX-License-Identifier: MIT
#include "lexedit/LexEditMiscProcs.h"

#include <climits>

#include <QPainter>
#include <QRect>

#include <algorithm>
#include <cstdlib>

namespace lexedit {

int MinMax(int x, int mi, int ma) {
    x = std::min(x, ma);
    return std::max(x, mi);
}

void SwapInt(int &l, int &r) {
    std::swap(l, r);
}

uint16_t CeilOfIntDiv(uint32_t Dividend, uint16_t Divisor) {
    if (Divisor == 0) return 0;
    uint32_t Result = Dividend / Divisor;
    if (Dividend % Divisor != 0) ++Result;
    return uint16_t(std::min<uint32_t>(Result, 0xFFFF));
}

QString TrimTrailingSpaces(const QString &S) {
    qsizetype I = S.size();
    while (I > 0 && (S.at(I - 1) == QLatin1Char(' ') || S.at(I - 1) == QLatin1Char('\t')))
        --I;
    return I == S.size() ? S : S.left(I);
}

bool GetHasTabs(QStringView Line, int &CharsBefore) {
    const qsizetype Pos = Line.indexOf(QLatin1Char('\t'));
    CharsBefore = Pos < 0 ? 0 : int(Pos);
    return Pos >= 0;
}

QString ConvertTabs1Ex(const QString &Line, int /*TabWidth*/, bool &HasTabs) {
    int CharsBefore = 0;
    HasTabs = GetHasTabs(Line, CharsBefore);
    if (!HasTabs) return Line;
    QString Result = Line;
    Result.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return Result;
}

namespace {

// Shared body of the two multi-column expansions; TabStop(p) gives the number of tab characters
// a tab starting at 0-based column p occupies.
template <typename TTabStop> QString ExpandTabs(const QString &Line, bool &HasTabs, TTabStop TabStop) {
    int CharsBefore = 0;
    HasTabs = GetHasTabs(Line, CharsBefore);
    if (!HasTabs) return Line;
    // Length of the result first, then one pass of copying.
    qsizetype Len = CharsBefore;
    for (qsizetype i = CharsBefore; i < Line.size(); ++i)
        Len += Line.at(i) == QLatin1Char('\t') ? TabStop(Len) : 1;
    QString Result(Len, Qt::Uninitialized);
    QChar *Dest = Result.data();
    const QChar *Src = Line.constData();
    std::copy(Src, Src + CharsBefore, Dest);
    qsizetype p = CharsBefore;
    for (qsizetype i = CharsBefore; i < Line.size(); ++i) {
        if (Src[i] == QLatin1Char('\t')) {
            const qsizetype n = TabStop(p);
            std::fill(Dest + p, Dest + p + n, QLatin1Char('\t'));
            p += n;
        } else {
            Dest[p++] = Src[i];
        }
    }
    return Result;
}

} // namespace

QString ConvertTabs2nEx(const QString &Line, int TabWidth, bool &HasTabs) {
    const qsizetype Mask = TabWidth - 1;
    return ExpandTabs(Line, HasTabs, [TabWidth, Mask](qsizetype p) { return TabWidth - (p & Mask); });
}

QString ConvertTabsEx(const QString &Line, int TabWidth, bool &HasTabs) {
    return ExpandTabs(Line, HasTabs, [TabWidth](qsizetype p) { return TabWidth - p % TabWidth; });
}

QString ConvertTabsAtDisplayColumns(const QString &Line, int TabWidth,
                                    const std::function<QString(const QString &)> &AWiden, bool &HasTabs,
                                    int &ADisplayLength) {
    HasTabs = false;
    if (!Line.contains(QLatin1Char('\t'))) {
        // Nothing to expand: the line itself, measured without copying it.
        ADisplayLength = int(AWiden ? AWiden(Line).size() : Line.size());
        return Line;
    }
    QString Result;
    Result.reserve(Line.size());
    int64_t Column = 0; // display columns before the next character
    qsizetype Start = 0;
    const auto AppendPiece = [&](qsizetype End) {
        if (End <= Start) return;
        const QString Piece = Line.mid(Start, End - Start);
        Column += AWiden ? AWiden(Piece).size() : Piece.size();
        Result += Piece;
    };
    for (qsizetype i = 0; i < Line.size(); ++i) {
        if (Line.at(i) != QLatin1Char('\t')) continue;
        HasTabs = true;
        AppendPiece(i);
        Start = i + 1;
        if (TabWidth < 2) {
            Result += QLatin1Char(' ');
            ++Column;
            continue;
        }
        const int n = TabWidth - int(Column % TabWidth);
        Result.append(QString(n, QLatin1Char('\t')));
        Column += n;
    }
    AppendPiece(Line.size());
    ADisplayLength = int(std::min<int64_t>(Column, INT32_MAX));
    return Result;
}

bool IsPowerOfTwo(int Value) {
    int i = 2;
    while (i < Value && i < 65536)
        i *= 2;
    return i == Value;
}

TConvertTabsProcEx GetBestConvertTabsProcEx(int TabWidth) {
    if (TabWidth < 2) return &ConvertTabs1Ex;
    if (IsPowerOfTwo(TabWidth)) return &ConvertTabs2nEx;
    return &ConvertTabsEx;
}

int StrScanForCharInCategory(QStringView Line, int Start, const TCategoryMethod &IsOfCategory) {
    if (Start < 1 || Start > Line.size() || !IsOfCategory) return 0;
    for (qsizetype i = Start - 1; i < Line.size(); ++i)
        if (IsOfCategory(Line[i])) return int(i + 1);
    return 0;
}

int StrRScanForCharInCategory(QStringView Line, int Start, const TCategoryMethod &IsOfCategory) {
    if (Start < 1 || Start > Line.size() || !IsOfCategory) return 0;
    for (qsizetype i = Start - 1; i >= 0; --i)
        if (IsOfCategory(Line[i])) return int(i + 1);
    return 0;
}

QString DefaultFontName() {
    return QStringLiteral("Consolas");
}

QString DeleteTypePrefixAndLexSuffix(const QString &S) {
    QString Result = S;
    if (!Result.isEmpty() && (Result.at(0) == QLatin1Char('T') || Result.at(0) == QLatin1Char('t'))) {
        if (Result.startsWith(QLatin1String("tlex"), Qt::CaseInsensitive))
            Result.remove(0, 4);
        else
            Result.remove(0, 1);
    }
    if (Result.size() >= 3 && Result.endsWith(QLatin1String("lex"), Qt::CaseInsensitive)) Result.chop(3);
    return Result;
}

int MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    const int64_t Prod = int64_t(a) * b;
    const int64_t Half = std::llabs(c) / 2;
    const bool Negative = (Prod < 0) != (c < 0);
    const int64_t Q = (std::llabs(Prod) + Half) / std::llabs(c);
    return int(Negative ? -Q : Q);
}

void LexDrawGradient(QPainter &ACanvas, TColor AStartColor, TColor AEndColor, int ASteps, const QRect &ARect,
                     bool AHorizontal, const QPalette &APalette) {
    ASteps = MinMax(ASteps, 2, 256);
    const TColor Start = ColorToRGB(AStartColor, APalette);
    const TColor End = ColorToRGB(AEndColor, APalette);
    const int Channel[2][3] = {{Start & 0xFF, (Start >> 8) & 0xFF, (Start >> 16) & 0xFF},
                               {End & 0xFF, (End >> 8) & 0xFF, (End >> 16) & 0xFF}};
    const int Size = AHorizontal ? ARect.width() : ARect.height();
    for (int i = 0; i < ASteps; ++i) {
        int RGB[3];
        for (int c = 0; c < 3; ++c)
            RGB[c] = uint8_t(Channel[0][c] + MulDiv(i, Channel[1][c] - Channel[0][c], ASteps - 1));
        const int From = MulDiv(i, Size, ASteps);
        const int To = MulDiv(i + 1, Size, ASteps);
        if (To <= From) continue;
        const QRect Band = AHorizontal ? QRect(ARect.left() + From, ARect.top(), To - From, ARect.height())
                                       : QRect(ARect.left(), ARect.top() + From, ARect.width(), To - From);
        ACanvas.fillRect(Band, QColor(RGB[0], RGB[1], RGB[2]));
    }
}

} // namespace lexedit

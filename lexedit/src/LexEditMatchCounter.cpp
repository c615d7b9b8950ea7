// SPDX-License-Identifier: MIT
// The match counter: the number of matches of every line kept as the lines change, and the
// matches in view painted over the text.

#include "lexedit/LexEditMatchCounter.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QPainter>

#include <algorithm>
#include <iterator>
#include <numeric>

namespace lexedit {

namespace {

// A change keeps the matches of at most this many of its lines (the last ones: output appended
// at the end of a view that follows it shows them next).
constexpr int KeepLimit = 512;
// More kept lines than this are forgotten at the next paint, apart from those in view; a run of
// changes without a paint in between forgets them all at four times as many.
constexpr size_t KnownLimit = 1024;

const std::vector<TLexMatch> NoMatches;

} // namespace

TLexMatchCounter::TLexMatchCounter(TCustomLexEdit *AEditor)
    : TLexEditPlugin(AEditor, {phLinesInserted, phLinesDeleted, phLinePut, phLinesChanging, phLinesChanged,
                               phAfterPaint}) {}

TLexMatchCounter::~TLexMatchCounter() = default;

void TLexMatchCounter::SetSearch(const QString &APattern, TLexSearchOptions AOptions, bool ARegex) {
    FActive = false;
    FCounts.clear();
    FKnown.clear();
    FTotal = 0;
    FOptions = AOptions;
    FEngine = ARegex ? static_cast<TLexEditSearchCustom *>(&FRegex) : &FPlain;
    FEngine->SetOptions(AOptions);
    FEngine->SetPattern(APattern);
    Repaint();
    if (APattern.isEmpty() || Owner() == nullptr) return;
    try {
        CountAll();
    } catch (...) {
        FCounts.clear();
        FKnown.clear();
        FTotal = 0;
        throw;
    }
    FActive = true;
}

bool TLexMatchCounter::Active() const {
    return FActive && Owner() != nullptr;
}

bool TLexMatchCounter::Counted(int AIndex) const {
    return Active() && AIndex >= 0 && AIndex < int(FCounts.size()) && AIndex < Owner()->Lines()->Count();
}

int TLexMatchCounter::CountOf(int ALine) const {
    return Counted(ALine - 1) ? FCounts[size_t(ALine - 1)] : 0;
}

qint64 TLexMatchCounter::CountBefore(int ALine) const {
    if (!Active()) return 0;
    const auto End = FCounts.begin() + std::clamp<qsizetype>(ALine - 1, 0, qsizetype(FCounts.size()));
    return std::accumulate(FCounts.begin(), End, qint64(0));
}

std::vector<TLexMatch> TLexMatchCounter::MatchesOf(int ALine) {
    if (!Counted(ALine - 1)) return {};
    Restart();
    return Matches(ALine - 1);
}

qint64 TLexMatchCounter::MatchNumber(const TBufferCoord &ABegin, const TBufferCoord &AEnd) {
    if (ABegin.Line != AEnd.Line || !Counted(ABegin.Line - 1)) return 0;
    Restart();
    const std::vector<TLexMatch> &Found = Matches(ABegin.Line - 1);
    for (size_t i = 0; i < Found.size(); ++i)
        if (Found[i].Char == ABegin.Char && Found[i].Char + Found[i].Length == AEnd.Char)
            return CountBefore(ABegin.Line) + qint64(i) + 1;
    return 0;
}

void TLexMatchCounter::SetFillColor(const QColor &Value) {
    FFillColor = Value;
    if (Active()) Repaint();
}

void TLexMatchCounter::SetFrameColor(const QColor &Value) {
    FFrameColor = Value;
    if (Active()) Repaint();
}

// ---- counting ---------------------------------------------------------------------------------

void TLexMatchCounter::CountAll() {
    const TLexEditStringList &Lines = *Owner()->Lines();
    FCounts.assign(size_t(Lines.Count()), 0);
    FKnown.clear();
    FTotal = 0;
    Restart();
    // The total is summed as lines are reported, so that it stays the sum of the counts when the
    // engine gives up half-way.
    FEngine->FindAllLines(Lines, 0, Lines.Count() - 1, [this](int AIndex, int ACount) {
        FCounts[size_t(AIndex)] = ACount;
        FTotal += ACount;
        return true;
    });
}

void TLexMatchCounter::Recount(int AFirst, int ALast) {
    for (int i = AFirst; i <= ALast; ++i) {
        FTotal -= FCounts[size_t(i)];
        FCounts[size_t(i)] = 0;
    }
    FKnown.erase(FKnown.lower_bound(AFirst), FKnown.upper_bound(ALast));
    if (FKnown.size() > 4 * KnownLimit) FKnown.clear();
    // The matches of the last lines are kept (a line without matches needs none).
    const int KeepFrom = std::max(AFirst, ALast - KeepLimit + 1);
    Restart();
    try {
        FEngine->FindAllLines(*Owner()->Lines(), AFirst, ALast, [&](int AIndex, int ACount) {
            FCounts[size_t(AIndex)] = ACount;
            FTotal += ACount;
            if (AIndex >= KeepFrom) {
                std::vector<TLexMatch> Kept;
                Kept.reserve(size_t(ACount));
                for (int j = 0; j < ACount; ++j)
                    Kept.push_back({FEngine->Results(j), FEngine->Lengths(j)});
                FKnown[AIndex] = std::move(Kept);
            }
            return true;
        });
    } catch (const std::exception &) {
        // Counting runs inside the editor's notifications: the lines the engine did not finish
        // count none (and have no matches to paint) rather than the failure escaping.
    }
}

const std::vector<TLexMatch> &TLexMatchCounter::Matches(int AIndex) {
    // A line without matches needs no search: painting shows what was counted.
    if (FCounts[size_t(AIndex)] == 0) return NoMatches;
    const auto Kept = FKnown.find(AIndex);
    if (Kept != FKnown.end()) return Kept->second;
    std::vector<TLexMatch> Found;
    try {
        FEngine->FindAllLines(*Owner()->Lines(), AIndex, AIndex, [&](int, int ACount) {
            for (int j = 0; j < ACount; ++j)
                Found.push_back({FEngine->Results(j), FEngine->Lengths(j)});
            return true;
        });
    } catch (const std::exception &) {
        // Kept empty, so that a line the engine gives up on is not searched at every paint.
        Found.clear();
    }
    return FKnown[AIndex] = std::move(Found);
}

void TLexMatchCounter::ShiftKnown(int AFrom, int ADelta) {
    auto It = FKnown.lower_bound(AFrom);
    if (ADelta < 0) FKnown.erase(FKnown.lower_bound(AFrom + ADelta), It);
    // The keys moved stay above every key left, so the nodes go back in without a clash.
    std::vector<decltype(FKnown)::node_type> Moved;
    while (It != FKnown.end()) {
        const auto Next = std::next(It);
        Moved.push_back(FKnown.extract(It));
        Moved.back().key() += ADelta;
        It = Next;
    }
    for (auto &Node : Moved)
        FKnown.insert(std::move(Node));
}

void TLexMatchCounter::Changed() {
    if (OnChange) OnChange();
}

void TLexMatchCounter::Repaint() {
    if (Owner() != nullptr) Owner()->viewport()->update();
}

// ---- the editor's notifications ---------------------------------------------------------------

void TLexMatchCounter::LinesInserted(int FirstLine, int Count) {
    if (!Active()) return;
    FDetailed = true;
    if (FirstLine < 0 || FirstLine > int(FCounts.size()) || Count <= 0) return; // LinesChanged counts
    FCounts.insert(FCounts.begin() + FirstLine, size_t(Count), 0);
    ShiftKnown(FirstLine, Count);
    Recount(FirstLine, FirstLine + Count - 1);
    Changed();
}

void TLexMatchCounter::LinesDeleted(int FirstLine, int Count) {
    if (!Active()) return;
    FDetailed = true;
    if (FirstLine < 0 || Count <= 0 || FirstLine + Count > int(FCounts.size())) return;
    for (int i = FirstLine; i < FirstLine + Count; ++i)
        FTotal -= FCounts[size_t(i)];
    FCounts.erase(FCounts.begin() + FirstLine, FCounts.begin() + FirstLine + Count);
    ShiftKnown(FirstLine + Count, -Count);
    Changed();
}

void TLexMatchCounter::LinePut(int Index, const QString &OldLine) {
    Q_UNUSED(OldLine);
    if (!Active()) return;
    FDetailed = true;
    if (Index < 0 || Index >= int(FCounts.size())) return;
    Recount(Index, Index);
    Changed();
}

void TLexMatchCounter::LinesChanging() {
    FDetailed = false;
}

void TLexMatchCounter::LinesChanged() {
    // A change that did not say which lines it touched (clearing, exchanging two lines), or one
    // the counts lost step with: every line is counted again.
    if (!Active()) return;
    if (FDetailed && int(FCounts.size()) == Owner()->Lines()->Count()) return;
    try {
        CountAll();
    } catch (const std::exception &) {
        // The lines the engine did not finish count none.
    }
    Changed();
}

// ---- painting ---------------------------------------------------------------------------------

void TLexMatchCounter::ForgetOutsideView() {
    if (FKnown.size() <= KnownLimit) return;
    const TCustomLexEdit &E = *Owner();
    const int Rows = E.DisplayLineCount();
    if (Rows < 1) {
        FKnown.clear();
        return;
    }
    const int Top = std::clamp(E.TopLine(), 1, Rows);
    const int First = E.RowToLine(Top) - 1;
    const int Last = E.RowToLine(std::min(Top + E.LinesInWindow(), Rows)) - 1;
    FKnown.erase(FKnown.begin(), FKnown.lower_bound(First));
    FKnown.erase(FKnown.upper_bound(Last), FKnown.end());
}

void TLexMatchCounter::AfterPaint(QPainter &ACanvas, const QRect &AClip, int FirstRow, int LastRow) {
    if (!Active()) return;
    TCustomLexEdit &E = *Owner();
    ACanvas.save();
    try {
        ForgetOutsideView();
        Restart();
        ACanvas.setClipRect(AClip.intersected(QRect(E.GutterWidth(), 0, 1 << 30, 1 << 30)));
        // A match starting right of the window or below the last row: the later ones of its line
        // are too.
        const int RightColumn = E.LeftChar() + E.CharsInWindow() + 1;
        int LastLine = 0;
        for (int Row = FirstRow; Row <= LastRow; ++Row) {
            const int Line = E.RowToLine(Row);
            if (Line == LastLine || !Counted(Line - 1)) continue;
            LastLine = Line;
            for (const TLexMatch &M : Matches(Line - 1)) {
                const TDisplayCoord From = E.BufferToDisplayPos(BufferCoord(M.Char, Line));
                if (From.Row > LastRow || From.Column > RightColumn) break;
                TDisplayCoord To = E.BufferToDisplayPos(BufferCoord(M.Char + M.Length, Line));
                if (To.Row != From.Row) To = DisplayCoord(E.GetRowLength(From.Row) + 1, From.Row);
                const QPoint P1 = E.RowColumnToPixels(From);
                const QPoint P2 = E.RowColumnToPixels(To);
                const QRect R(P1.x(), P1.y(), std::max(2, P2.x() - P1.x()), E.LineHeight());
                ACanvas.fillRect(R, FFillColor);
                ACanvas.setPen(FFrameColor);
                ACanvas.drawRect(R.adjusted(0, 0, -1, -1));
            }
        }
    } catch (const std::exception &) {
        // Painting runs inside the editor's paint: a failure leaves matches unpainted rather than
        // escaping.
    }
    ACanvas.restore();
}

} // namespace lexedit

// SPDX-License-Identifier: MIT
#include "OutputDiff.h"

#include "common/Exception.h"

#include <git2.h>

#include <algorithm>
#include <cstring>

namespace app {

namespace {

// libgit2 keeps process-wide state (its allocator, error slots) set up once; it is never shut
// down, so a diff may run at any time until the process ends. A function-local static is
// initialised once even when threads race for it.
void EnsureLibgit2() {
    static const int initialised = git_libgit2_init();
    if (initialised < 0) throw common::Exception(QStringLiteral("The diff library could not start."));
}

struct TCollect {
    QVector<TDiffHunk> Hunks;
    bool Binary = false;
};

int OnHunk(const git_diff_delta *, const git_diff_hunk *AHunk, void *APayload) {
    // libgit2 numbers lines from 1; an empty range names the line before it (0 before the
    // first), which is the 0-based index where the range stands.
    TDiffHunk h;
    h.OldCount = AHunk->old_lines;
    h.OldStart = AHunk->old_lines > 0 ? AHunk->old_start - 1 : AHunk->old_start;
    h.NewCount = AHunk->new_lines;
    h.NewStart = AHunk->new_lines > 0 ? AHunk->new_start - 1 : AHunk->new_start;
    static_cast<TCollect *>(APayload)->Hunks.append(h);
    return 0;
}

// Called only when libgit2 takes a side for binary despite GIT_DIFF_FORCE_TEXT; then it gives no
// hunks, and "no hunks" must not be read as "equal".
int OnBinary(const git_diff_delta *, const git_diff_binary *, void *APayload) {
    static_cast<TCollect *>(APayload)->Binary = true;
    return 0;
}

QString LastGitError() {
    const git_error *e = git_error_last();
    return e != nullptr && e->message != nullptr ? QString::fromUtf8(e->message)
                                                 : QStringLiteral("unknown error");
}

// The start offset of every line, and the text's size after the last one, so line i is
// [AStarts[i], AStarts[i + 1]).
QVector<qsizetype> LineStarts(const QByteArray &AText) {
    QVector<qsizetype> starts;
    starts.reserve(AText.size() / 48 + 2);
    const char *data = AText.constData();
    const qsizetype size = AText.size();
    qsizetype at = 0;
    while (at < size) {
        starts.append(at);
        const void *lf = std::memchr(data + at, '\n', size_t(size - at));
        at = lf != nullptr ? static_cast<const char *>(lf) - data + 1 : size;
    }
    starts.append(size);
    return starts;
}

// GNU diff's range: "start,count"; "start" alone for one line; "before,0" for none, where
// "before" is the line the empty range follows (0 at the start).
void AppendRange(QByteArray &AOut, int AStart, int ACount) {
    if (ACount == 0) {
        AOut += QByteArray::number(AStart) + ",0";
    } else {
        AOut += QByteArray::number(AStart + 1);
        if (ACount != 1) AOut += ',' + QByteArray::number(ACount);
    }
}

void AppendLine(QByteArray &AOut, char APrefix, const QByteArray &AText, const QVector<qsizetype> &AStarts,
                int ALine) {
    const qsizetype from = AStarts[ALine], to = AStarts[ALine + 1];
    AOut += APrefix;
    AOut.append(AText.constData() + from, to - from);
    if (to == from || AText[to - 1] != '\n') AOut += "\n\\ No newline at end of file\n";
}

} // namespace

TOutputDiff TOutputDiff::Compare(const QByteArray &AOld, const QByteArray &ANew) {
    TOutputDiff result;
    if (AOld == ANew) return result;
    EnsureLibgit2();
    git_diff_options options;
    git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
    // Bytes as text whatever they hold; exact hunks (no context, hunks never merged across
    // equal lines); no size cut-off that would make a large output "binary".
    options.flags = GIT_DIFF_FORCE_TEXT;
    options.context_lines = 0;
    options.interhunk_lines = 0;
    options.max_size = -1;
    TCollect collect;
    const int error = git_diff_buffers(AOld.constData(), size_t(AOld.size()), nullptr, ANew.constData(),
                                       size_t(ANew.size()), nullptr, &options, nullptr, OnBinary, OnHunk,
                                       nullptr, &collect);
    if (error < 0)
        throw common::Exception(QStringLiteral("The outputs (%1 and %2 bytes) cannot be compared: %3.")
                                    .arg(AOld.size())
                                    .arg(ANew.size())
                                    .arg(LastGitError()));
    if (collect.Binary || collect.Hunks.isEmpty())
        throw common::Exception(QStringLiteral("The outputs (%1 and %2 bytes) cannot be compared as text.")
                                    .arg(AOld.size())
                                    .arg(ANew.size()));
    result.FHunks = std::move(collect.Hunks);
    return result;
}

QByteArray TOutputDiff::Unified(const QByteArray &AOld, const QByteArray &ANew, const QString &AOldLabel,
                                const QString &ANewLabel, int AContext) {
    const TOutputDiff diff = Compare(AOld, ANew);
    if (diff.Equal()) return QByteArray();
    const int context = std::max(0, AContext);
    const QVector<qsizetype> oldStarts = LineStarts(AOld), newStarts = LineStarts(ANew);
    const int oldLines = int(oldStarts.size() - 1);
    const QVector<TDiffHunk> &hunks = diff.Hunks();
    QByteArray out = "--- " + AOldLabel.toUtf8() + "\n+++ " + ANewLabel.toUtf8() + "\n";
    for (qsizetype first = 0; first < hunks.size();) {
        // Hunks whose context would touch or overlap go into one, as GNU diff joins them.
        qsizetype last = first;
        while (last + 1 < hunks.size() &&
               hunks[last + 1].OldStart - (hunks[last].OldStart + hunks[last].OldCount) <= 2 * context)
            ++last;
        const TDiffHunk &a = hunks[first], &b = hunks[last];
        const int oldFrom = std::max(0, a.OldStart - context);
        const int oldTo = std::min(oldLines, b.OldStart + b.OldCount + context);
        // Outside the hunks old and new lines pair one to one.
        const int newFrom = oldFrom + (a.NewStart - a.OldStart);
        const int newTo = oldTo + (b.NewStart + b.NewCount - b.OldStart - b.OldCount);
        out += "@@ -";
        AppendRange(out, oldFrom, oldTo - oldFrom);
        out += " +";
        AppendRange(out, newFrom, newTo - newFrom);
        out += " @@\n";
        int at = oldFrom;
        for (qsizetype k = first; k <= last; ++k) {
            const TDiffHunk &h = hunks[k];
            for (; at < h.OldStart; ++at)
                AppendLine(out, ' ', AOld, oldStarts, at);
            for (int i = 0; i < h.OldCount; ++i)
                AppendLine(out, '-', AOld, oldStarts, h.OldStart + i);
            for (int i = 0; i < h.NewCount; ++i)
                AppendLine(out, '+', ANew, newStarts, h.NewStart + i);
            at = h.OldStart + h.OldCount;
        }
        for (; at < oldTo; ++at)
            AppendLine(out, ' ', AOld, oldStarts, at);
        first = last + 1;
    }
    return out;
}

} // namespace app

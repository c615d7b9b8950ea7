// SPDX-License-Identifier: MIT
#include "OutputDiff.h"

#include "common/Exception.h"

#include <git2.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace app {

namespace {

// libgit2 keeps process-wide state (its allocator, error slots) set up once; it is never shut
// down, so a diff may run at any time until the process ends. A function-local static is
// initialised once even when threads race for it.
void EnsureLibgit2() {
    static const int initialised = git_libgit2_init();
    if (initialised < 0) throw common::Exception(QStringLiteral("The diff library could not start."));
}

// libgit2 compares less than 1023 MB a side; from there on it takes the side for binary and gives no hunks.
constexpr qsizetype kMaxSide = qsizetype(1023) << 20;

struct TCollect {
    QVector<TDiffHunk> Hunks;
    int LineOffset = 0; // the lines before the part libgit2 compares
    bool Binary = false;
};

int OnHunk(const git_diff_delta *, const git_diff_hunk *AHunk, void *APayload) {
    // libgit2 numbers lines from 1; an empty range names the line before it (0 before the
    // first), which is the 0-based index where the range stands.
    TCollect &collect = *static_cast<TCollect *>(APayload);
    TDiffHunk h;
    h.OldCount = AHunk->old_lines;
    h.OldStart = collect.LineOffset + (AHunk->old_lines > 0 ? AHunk->old_start - 1 : AHunk->old_start);
    h.NewCount = AHunk->new_lines;
    h.NewStart = collect.LineOffset + (AHunk->new_lines > 0 ? AHunk->new_start - 1 : AHunk->new_start);
    // No exception may cross libgit2's C frames: a failed append stops the diff as an error.
    try {
        collect.Hunks.append(h);
    } catch (const std::bad_alloc &) {
        return GIT_EUSER;
    }
    return 0;
}

// Called only when libgit2 takes a side for binary despite GIT_DIFF_FORCE_TEXT; then it gives no
// hunks, and "no hunks" must not be read as "equal".
int OnBinary(const git_diff_delta *, const git_diff_binary *, void *APayload) {
    static_cast<TCollect *>(APayload)->Binary = true;
    return 0;
}

// The length of the common start of two texts of at least ALength bytes; memcmp a block at a
// time, then bytes.
qsizetype CommonPrefix(const char *AOld, const char *ANew, qsizetype ALength) {
    constexpr qsizetype block = 4096;
    qsizetype at = 0;
    while (at + block <= ALength && std::memcmp(AOld + at, ANew + at, block) == 0)
        at += block;
    while (at < ALength && AOld[at] == ANew[at])
        ++at;
    return at;
}

// The length of the common end of two texts ending before AOldEnd and ANewEnd, at most ALength.
qsizetype CommonSuffix(const char *AOldEnd, const char *ANewEnd, qsizetype ALength) {
    constexpr qsizetype block = 4096;
    qsizetype length = 0;
    while (length + block <= ALength &&
           std::memcmp(AOldEnd - length - block, ANewEnd - length - block, block) == 0)
        length += block;
    while (length < ALength && AOldEnd[-length - 1] == ANewEnd[-length - 1])
        ++length;
    return length;
}

// The start of the line holding offset AAt (AAt itself when a line starts there).
qsizetype LineStartBefore(const char *AData, qsizetype AAt) {
    while (AAt > 0 && AData[AAt - 1] != '\n')
        --AAt;
    return AAt;
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
    // The lines both texts start and end with are matched here by comparing bytes, and libgit2
    // gets only the lines between: it hashes and classifies every line it is given before it
    // trims equal ends itself, which made two 100 MB outputs differing in one line take three
    // times GNU diff's time.
    const char *oldData = AOld.constData(), *newData = ANew.constData();
    const qsizetype oldSize = AOld.size(), newSize = ANew.size();
    const qsizetype prefix =
        LineStartBefore(oldData, CommonPrefix(oldData, newData, std::min(oldSize, newSize)));
    const int prefixLines = int(std::count(oldData, oldData + prefix, '\n'));
    qsizetype suffix =
        CommonSuffix(oldData + oldSize, newData + newSize, std::min(oldSize, newSize) - prefix);
    // The common end counts from a line start on both sides; else from its first line end.
    const auto lineStart = [](const char *AData, qsizetype AAt) {
        return AAt == 0 || AData[AAt - 1] == '\n';
    };
    if (!lineStart(oldData, oldSize - suffix) || !lineStart(newData, newSize - suffix)) {
        const char *from = oldData + oldSize - suffix;
        const void *lf = std::memchr(from, '\n', size_t(suffix));
        suffix = lf != nullptr ? oldData + oldSize - (static_cast<const char *>(lf) + 1) : 0;
    }
    const qsizetype oldMiddle = oldSize - prefix - suffix, newMiddle = newSize - prefix - suffix;
    if (std::max(oldMiddle, newMiddle) >= kMaxSide)
        throw common::Exception(
            QStringLiteral("The outputs differ over %1 MB, more than the diff engine compares (%2 MB).")
                .arg(std::max(oldMiddle, newMiddle) >> 20)
                .arg(kMaxSide >> 20));
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
    collect.LineOffset = prefixLines;
    const int error =
        git_diff_buffers(oldData + prefix, size_t(oldMiddle), nullptr, newData + prefix, size_t(newMiddle),
                         nullptr, &options, nullptr, OnBinary, OnHunk, nullptr, &collect);
    if (error < 0)
        throw common::Exception(
            QStringLiteral("The outputs (%1 and %2 bytes) cannot be compared: %3.")
                .arg(oldSize)
                .arg(newSize)
                .arg(error == GIT_EUSER ? QStringLiteral("out of memory") : LastGitError()));
    if (collect.Binary || collect.Hunks.isEmpty())
        throw common::Exception(QStringLiteral("The outputs (%1 and %2 bytes) cannot be compared as text.")
                                    .arg(oldSize)
                                    .arg(newSize));
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

TOutputDiff::TMerged TOutputDiff::Merged(const QByteArray &AOld, const QByteArray &ANew) const {
    const QVector<qsizetype> oldStarts = LineStarts(AOld), newStarts = LineStarts(ANew);
    const int oldLines = int(oldStarts.size() - 1);
    TMerged merged;
    merged.Text.reserve(AOld.size() + ANew.size() / 8 + 2 * qsizetype(oldLines) + 16);
    int line = 0; // lines of the merged text so far
    // Lines [AFrom, ATo) of AText, each after APrefix, their numbers added to AMarked.
    const auto append = [&](const QByteArray &AText, const QVector<qsizetype> &AStarts, int AFrom, int ATo,
                            const char *APrefix, std::vector<int> *AMarked) {
        for (int i = AFrom; i < ATo; ++i) {
            const qsizetype from = AStarts[i];
            qsizetype to = AStarts[i + 1];
            if (to > from && AText[to - 1] == '\n') --to;
            merged.Text.append(APrefix, 2).append(AText.constData() + from, to - from).append('\n');
            ++line;
            if (AMarked) AMarked->push_back(line);
        }
    };
    int oldNext = 0; // the next line of the old output
    for (const TDiffHunk &hunk : FHunks) {
        append(AOld, oldStarts, oldNext, hunk.OldStart, "  ", nullptr); // an empty range: where it goes
        merged.Changes.push_back(line + 1);
        append(AOld, oldStarts, hunk.OldStart, hunk.OldStart + hunk.OldCount, "- ", &merged.Removed);
        append(ANew, newStarts, hunk.NewStart, hunk.NewStart + hunk.NewCount, "+ ", &merged.Added);
        oldNext = hunk.OldStart + hunk.OldCount;
    }
    append(AOld, oldStarts, oldNext, oldLines, "  ", nullptr);
    if (merged.Text.endsWith('\n')) merged.Text.chop(1);
    return merged;
}

} // namespace app

// SPDX-License-Identifier: MIT
// Diff benchmark: two run outputs of 1,000,000 lines (table rows and log lines of 40 to 80
// bytes, about 60 MB each) that differ in 1 % of their lines, spread at random (most lines
// changed, some removed, some added), written to temporary files.
// Timed, taking turns over several rounds (medians):
//   GNU diff on the two files, its normal output to /dev/null   against TOutputDiff::Compare;
//   GNU diff -u on the two files, output to /dev/null           against TOutputDiff::Unified;
// our two on the bytes read from those files (reading not timed; diff reads them from the page
// cache). Then the same against the old output with one line in its middle changed (two runs
// that nearly agree: the equal ends are most of the work). Also libgit2's other algorithms on the same bytes
// (minimal Myers, patience, the indentation heuristic), to show why Compare uses the default.
//
// Usage: bench_diff [lines, default 1000000] [rounds, default 5]

#include "OutputDiff.h"

#include <git2.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace app;

namespace {

// A line as a PHP page or script prints it: table rows, log lines, list items.
QByteArray OutputLine(QRandomGenerator &ARandom, int AIndex) {
    static const char *const names[] = {"alice", "bob", "carol", "dave", "erin", "frank", "grace", "heidi"};
    const char *name = names[ARandom.bounded(8)];
    switch (ARandom.bounded(3)) {
    case 0:
        return QByteArray("<tr><td>") + QByteArray::number(AIndex) + "</td><td>" + name +
               "@example.org</td><td>" + QByteArray::number(ARandom.bounded(100000) / 100.0, 'f', 2) +
               "</td></tr>\n";
    case 1:
        return QByteArray("[2026-12-10 21:") + QByteArray::number(10 + ARandom.bounded(50)) +
               "] INFO order " + QByteArray::number(AIndex) + " paid by " + name + "\n";
    default:
        return QByteArray("  <li class=\"item\">") + name + " bought " +
               QByteArray::number(ARandom.bounded(1000)) + " items</li>\n";
    }
}

double MedianMs(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    return AValues[AValues.size() / 2];
}

// Minor page faults of this process so far: fresh memory the diff touches.
long MinorFaults() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

// The milliseconds AFunction takes; its page faults are added to AFaults when given.
double TimeMs(const std::function<void()> &AFunction, std::vector<double> *AFaults = nullptr) {
    const long faults = MinorFaults();
    QElapsedTimer timer;
    timer.start();
    AFunction();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (AFaults != nullptr) AFaults->push_back(double(MinorFaults() - faults));
    return ms;
}

void RunDiff(const QStringList &AArguments) {
    QProcess diff;
    diff.setStandardOutputFile(QProcess::nullDevice());
    diff.start(QStringLiteral("diff"), AArguments);
    if (!diff.waitForFinished(-1) || diff.exitCode() != 1) {
        std::fprintf(stderr, "bench_diff: diff failed (exit %d)\n", diff.exitCode());
        std::exit(1);
    }
}

// libgit2 with the given flags and no context: the number of hunks.
int GitHunks(const QByteArray &AOld, const QByteArray &ANew, uint32_t AFlags) {
    git_diff_options options;
    git_diff_options_init(&options, GIT_DIFF_OPTIONS_VERSION);
    options.flags = GIT_DIFF_FORCE_TEXT | AFlags;
    options.context_lines = 0;
    options.max_size = -1;
    int hunks = 0;
    const auto onHunk = [](const git_diff_delta *, const git_diff_hunk *, void *APayload) {
        ++*static_cast<int *>(APayload);
        return 0;
    };
    git_diff_buffers(AOld.constData(), size_t(AOld.size()), nullptr, ANew.constData(), size_t(ANew.size()),
                     nullptr, &options, nullptr, nullptr, onHunk, nullptr, &hunks);
    return hunks;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    QRandomGenerator random(20261210);
    QByteArray oldText, newText;
    oldText.reserve(qsizetype(lines) * 64);
    newText.reserve(qsizetype(lines) * 64);
    int changed = 0;
    for (int i = 0; i < lines; ++i) {
        const QByteArray line = OutputLine(random, i);
        oldText += line;
        if (random.bounded(100) != 0) {
            newText += line;
            continue;
        }
        ++changed;
        const quint32 kind = random.bounded(10);
        if (kind < 8) // changed
            newText += OutputLine(random, i);
        else if (kind == 8) // added after the old line
            newText += line + OutputLine(random, i);
        // else removed
    }
    QTemporaryDir dir;
    const QString oldFile = dir.filePath(QStringLiteral("old.html")),
                  newFile = dir.filePath(QStringLiteral("new.html"));
    for (const auto &[name, bytes] : {std::pair{oldFile, &oldText}, std::pair{newFile, &newText}}) {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size()) return 1;
    }
    // The bytes our diff gets are those read back from the files, as diff reads them.
    QFile oldIn(oldFile), newIn(newFile);
    if (!oldIn.open(QIODevice::ReadOnly) || !newIn.open(QIODevice::ReadOnly)) return 1;
    const QByteArray oldBytes = oldIn.readAll(), newBytes = newIn.readAll();

    std::printf("bench_diff: %d lines (%.1f MB and %.1f MB), %d changed (%.2f %%), median of %d rounds\n",
                lines, double(oldBytes.size()) / 1e6, double(newBytes.size()) / 1e6, changed,
                100.0 * changed / lines, rounds);
    std::vector<double> diffMs, compareMs, diffUMs, unifiedMs, compareFaults, unifiedFaults;
    qsizetype hunks = 0, unifiedBytes = 0;
    for (int r = 0; r < rounds; ++r) {
        diffMs.push_back(TimeMs([&] { RunDiff({oldFile, newFile}); }));
        compareMs.push_back(
            TimeMs([&] { hunks = TOutputDiff::Compare(oldBytes, newBytes).Hunks().size(); }, &compareFaults));
        diffUMs.push_back(TimeMs([&] { RunDiff({QStringLiteral("-u"), oldFile, newFile}); }));
        unifiedMs.push_back(
            TimeMs([&] { unifiedBytes = TOutputDiff::Unified(oldBytes, newBytes, oldFile, newFile).size(); },
                   &unifiedFaults));
    }
    const double diff = MedianMs(diffMs), compare = MedianMs(compareMs);
    const double diffU = MedianMs(diffUMs), unified = MedianMs(unifiedMs);
    std::printf("  %-34s %8.1f ms   %-18s %8.1f ms   ratio %.2f   (%lld hunks, %.0f page faults)\n",
                "TOutputDiff::Compare", compare, "diff", diff, compare / diff, static_cast<long long>(hunks),
                MedianMs(compareFaults));
    std::printf("  %-34s %8.1f ms   %-18s %8.1f ms   ratio %.2f   (%lld bytes, %.0f page faults)\n",
                "TOutputDiff::Unified", unified, "diff -u", diffU, unified / diffU,
                static_cast<long long>(unifiedBytes), MedianMs(unifiedFaults));

    // Nearly equal outputs: one line in the middle changed.
    QByteArray nearBytes = oldBytes;
    qsizetype middle = nearBytes.size() / 2;
    while (nearBytes[middle] == '\n' || nearBytes[middle] == '#')
        --middle;
    nearBytes[middle] = '#';
    const QString nearFile = dir.filePath(QStringLiteral("near.html"));
    {
        QFile file(nearFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(nearBytes) != nearBytes.size()) return 1;
    }
    std::vector<double> nearDiffMs, nearCompareMs;
    for (int r = 0; r < rounds; ++r) {
        nearDiffMs.push_back(TimeMs([&] { RunDiff({oldFile, nearFile}); }));
        nearCompareMs.push_back(
            TimeMs([&] { hunks = TOutputDiff::Compare(oldBytes, nearBytes).Hunks().size(); }));
    }
    const double nearDiff = MedianMs(nearDiffMs), nearCompare = MedianMs(nearCompareMs);
    std::printf("  %-34s %8.1f ms   %-18s %8.1f ms   ratio %.2f   (%lld hunks)\n",
                "Compare, one line changed", nearCompare, "diff", nearDiff, nearCompare / nearDiff,
                static_cast<long long>(hunks));

    // libgit2's algorithms on the whole texts (no trimming of equal ends), taking turns, with
    // GNU diff in each round again.
    const std::vector<std::pair<const char *, uint32_t>> variants = {
        {"Myers, git's heuristics (Compare's)", 0},
        {"Myers + indentation heuristic", GIT_DIFF_INDENT_HEURISTIC},
        {"minimal Myers", GIT_DIFF_MINIMAL},
        {"patience", GIT_DIFF_PATIENCE}};
    std::vector<std::vector<double>> variantMs(variants.size());
    std::vector<int> variantHunks(variants.size());
    std::vector<double> peerMs;
    const int variantRounds = std::max(1, (rounds + 1) / 2);
    for (int r = 0; r < variantRounds; ++r) {
        peerMs.push_back(TimeMs([&] { RunDiff({oldFile, newFile}); }));
        for (size_t v = 0; v < variants.size(); ++v)
            variantMs[v].push_back(
                TimeMs([&] { variantHunks[v] = GitHunks(oldBytes, newBytes, variants[v].second); }));
    }
    const double peer = MedianMs(peerMs);
    std::printf("  libgit2's algorithms, no context, median of %d rounds; diff %.1f ms in the same rounds:\n",
                variantRounds, peer);
    for (size_t v = 0; v < variants.size(); ++v) {
        const double ms = MedianMs(variantMs[v]);
        std::printf("    %-34s %8.1f ms   ratio %.2f   (%d hunks)\n", variants[v].first, ms, ms / peer,
                    variantHunks[v]);
    }
    return 0;
}

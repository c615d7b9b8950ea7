// SPDX-License-Identifier: MIT
#pragma once
// The line diff of two run outputs, from git's own diff engine (libgit2): the stretches where a
// run's output differs from another's, and the same as the text GNU `diff -u` writes.

#include <QByteArray>
#include <QString>
#include <QVector>

#include <vector>

namespace app {

// One stretch where two outputs differ: OldCount lines of the old output from line OldStart are
// replaced by NewCount lines of the new one from NewStart (0-based; a count may be 0).
struct TDiffHunk {
    int OldStart = 0;
    int OldCount = 0;
    int NewStart = 0;
    int NewCount = 0;
};

// A line diff of two outputs (UTF-8 text, lines ending in LF; a last line without LF counts as a line).
class TOutputDiff {
public:
    // Compares the two texts line by line with git's diff engine (libgit2: Myers with git's
    // heuristics, not the minimal diff). Bytes are compared as text, NUL included. Throws
    // common::Exception when libgit2 cannot compare them (the lines between the equal first and
    // last ones span 1023 MB or more on a side, its limit).
    static TOutputDiff Compare(const QByteArray &AOld, const QByteArray &ANew);
    bool Equal() const { return FHunks.isEmpty(); }
    const QVector<TDiffHunk> &Hunks() const { return FHunks; }
    // The diff as GNU `diff -u` writes it with AContext lines of context: "--- OLDLABEL\n+++ NEWLABEL\n",
    // then "@@ -a,b +c,d @@" hunks with ' ', '-', '+' lines; "\ No newline at end of file" where due.
    // Empty when equal.
    static QByteArray Unified(const QByteArray &AOld, const QByteArray &ANew, const QString &AOldLabel,
                              const QString &ANewLabel, int AContext = 3);

    // Every line of both outputs in one text, as a view shows a diff whole: a line of both after
    // "  ", a line only in the old output after "- ", one only in the new after "+ "; lines
    // joined by LF, no LF after the last.
    struct TMerged {
        QByteArray Text;
        std::vector<int> Removed; // the "- " lines, 1-based, ascending
        std::vector<int> Added;   // the "+ " lines
        std::vector<int> Changes; // the first line of each change
    };
    TMerged Merged(const QByteArray &AOld, const QByteArray &ANew) const;

private:
    QVector<TDiffHunk> FHunks;
};

} // namespace app

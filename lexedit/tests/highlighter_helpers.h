// SPDX-License-Identifier: MIT
#pragma once
// Helpers of the highlighter tests: scanning lines and texts through the line-scanning protocol
// and checking the properties every scan must have.

#include "lexedit/LexEditHighlighter.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QVector>

namespace lexedit_test {

struct TScannedToken {
    int Pos = 0;
    int Kind = 0;
    QString Text;
    const lexedit::TLexHighlighterAttributes *Attr = nullptr;
    // Tokens of different highlighters compare by attribute name.
    bool operator==(const TScannedToken &O) const {
        return Pos == O.Pos && Kind == O.Kind && Text == O.Text &&
               (Attr ? Attr->Name() : QString()) == (O.Attr ? O.Attr->Name() : QString());
    }
};

struct TScannedLine {
    QVector<TScannedToken> Tokens; // the tokens read while GetEol is false
    lexedit::TLexRange EndRange = 0;
    bool operator==(const TScannedLine &O) const { return Tokens == O.Tokens && EndRange == O.EndRange; }
};

// Scans one line from AStartRange (ResetRange when AReset) and collects its tokens. Fails (returns
// false, with AError set) when the scan takes more steps than the line can justify.
bool ScanLine(lexedit::TLexCustomHighlighter &H, bool AReset, lexedit::TLexRange AStartRange,
              const QString &ALine, TScannedLine &AResult, QString *AError = nullptr);
// Scans every line with the range of the previous line carried, starting with ResetRange.
QVector<TScannedLine> ScanText(lexedit::TLexCustomHighlighter &H, const QStringList &ALines);

// Checks the properties of one scanned line: tokens contiguous, in order, inside the line, and
// joining to exactly the line. Returns an empty string when they hold, else a description.
QString CheckLine(const QString &ALine, const TScannedLine &AScan);

// Splits at CR LF, CR and LF (no trailing empty line for a final line break).
QStringList SplitLines(const QString &AText);

// A readable dump of a scanned line ("kind:text kind:text ... | range").
QString Dump(const TScannedLine &AScan);

// The lextokens tool built beside the test programs, and a run of it (stdout; exit code in AExit).
QString LexTokensPath();
QByteArray RunLexTokens(const QStringList &AArgs, int &AExit, QByteArray *AStderr = nullptr);

// The sample source followed by the lines of every file matching APattern in ADir (sorted).
// AMissing receives a file that could not be read.
QStringList SampleAndDataLines(const QString &ASample, const QString &ADir, const QString &APattern,
                               QString *AMissing);

// Scans ALines with ACarried, ranges carried from line to line, then rescans every line with
// AFresh from the stored start range in reverse order: returns the first line whose tokens or end
// range differ, or whose tokens break the scan properties; empty when all agree.
QString RescanMismatch(lexedit::TLexCustomHighlighter &ACarried, lexedit::TLexCustomHighlighter &AFresh,
                       const QStringList &ALines);

// Scans ALines (ranges carried) through NextTokens in batches of 1, 2, 7 and 128 tokens, both
// the highlighter's own and the base class's, and compares every token (position, end, attribute)
// and end range with the loop of GetTokenPos, GetTokenAttribute and Next: returns the first
// difference, or an empty string when they agree.
QString BatchScanMismatch(lexedit::TLexCustomHighlighter &H, const QStringList &ALines);

// A random line shorter than AMaxLength: characters of AAlphabet, one in eight any UTF-16 unit.
QString RandomLine(QRandomGenerator &ARng, const QString &AAlphabet, int AMaxLength);

// Runs lextokens --ranges on ASource and compares its output with ASource + ".tokens"; returns
// what differs first, or an empty string when they agree.
QString GoldenFileMismatch(const QString &ALang, const QString &ASource);

} // namespace lexedit_test

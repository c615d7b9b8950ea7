// SPDX-License-Identifier: MIT
// Search benchmark: the generated PHP file (about 53 MB, 1.4 M lines) loaded into an editor,
// searched through the editor's SearchReplace with the library's engines:
//  1. a string that is not there, plain, case-sensitive;
//  2. the same, case-insensitive;
//  3. the same as a regular expression;
//  4. the count of every whole-word match of a common identifier ("total"), line by line as the
//     window's find bar counts;
//  5. replace-all of every "=" by "==" (about 1 M matches), as one undo step, its undo and redo;
//  6. the count of every match of a set of regular expressions (with and without a plain-text
//     start, many matches and none, matching case and not), every line's count kept as the
//     window's find bar keeps them;
//  7. regex replace-all of "n(\d+)" by "<\1>" on one line of 100 KB, and on the same matches
//     spread over lines of 100 characters.
// Peers measured in the same run on the same text: grep -c -F on the file (1), QTextDocument::find
// on the same text (1 to 4; QPlainTextEdit's search), python3 with re (1 to 6), a bare PCRE2-JIT
// scan of the file's bytes and ripgrep on the file (6). Each figure is the best of three rounds.
//
// Usage: bench_search [lines-in-file, default 1400000] [--no-document]

#include "BenchPhpFile.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditRegexSearch.h"
#include "lexedit/LexEditSearch.h"
#include "lexedit/LexEditTextBuffer.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <vector>

using namespace lexedit;

namespace {

const QString Absent = QStringLiteral("zqxjAbsentWord");

double BestMs(int ARounds, const std::function<void()> &AFunction) {
    double Best = std::numeric_limits<double>::max();
    for (int i = 0; i < ARounds; ++i) {
        QElapsedTimer T;
        T.start();
        AFunction();
        Best = std::min(Best, double(T.nsecsElapsed()) / 1e6);
    }
    return Best;
}

bool WriteFile(const QString &AName, const QByteArray &ABytes) {
    QFile F(AName);
    return F.open(QIODevice::WriteOnly) && F.write(ABytes) == ABytes.size();
}

void Row(const char *AWhat, double AMs, const char *APeer, double APeerMs) {
    if (APeerMs > 0)
        std::printf("  %-44s %9.1f ms   %-22s %9.1f ms   ratio %.2f\n", AWhat, AMs, APeer, APeerMs,
                    AMs / APeerMs);
    else
        std::printf("  %-44s %9.1f ms\n", AWhat, AMs);
}

// The python3 peer: loads the file once, then times each operation (best of three) and prints
// "name milliseconds result" lines.
QMap<QString, QPair<double, long long>> RunPython(const QString &AFile) {
    QMap<QString, QPair<double, long long>> Result;
    const QString Python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (Python.isEmpty()) return Result;
    const QString Script = QStringLiteral(R"(
import re, sys, time
t = open(sys.argv[1], encoding='latin-1', newline='').read()
def best(f):
    b = None
    for _ in range(3):
        s = time.perf_counter(); r = f(); e = (time.perf_counter() - s) * 1000
        b = e if b is None or e < b else b
    return b, r
absent = sys.argv[2]
ops = [
    ('plain', lambda: t.find(absent)),
    ('nocase', lambda: 1 if re.search(re.escape(absent), t, re.I) else 0),
    ('regex', lambda: 1 if re.search(absent, t) else 0),
    ('count', lambda: len(re.findall(r'\btotal\b', t))),
    ('replace', lambda: re.subn('=', '==', t)[1]),
]
for name, f in ops:
    ms, r = best(f)
    print(name, ms, r)
)");
    QProcess P;
    P.start(Python, {QStringLiteral("-c"), Script, AFile, Absent});
    if (!P.waitForFinished(600000)) return Result;
    for (const QByteArray &Line : P.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> Parts = Line.split(' ');
        if (Parts.size() == 3)
            Result[QString::fromLatin1(Parts[0])] = {Parts[1].toDouble(), Parts[2].toLongLong()};
    }
    return Result;
}

// The regular expressions of part 6: the pattern, whether it matches case, and what it shows.
struct TRegexCase {
    const char *Pattern;
    bool MatchCase;
    const char *What;
};
const TRegexCase RegexCases[] = {
    {R"(\$\w+[ \t]*=)", true, "assignments, many matches"},
    {R"([A-Z][a-z]+ing\b)", true, "no plain start, no match"},
    {R"(\bnomatchxyz\b)", true, "plain text, no match"},
    {R"((?i)<td>\d+</td>)", true, "(?i), plain start"},
    {R"(\btotal\b)", false, "any case, many matches"},
    {R"(function\s+(\w+))", false, "any case, a group"},
};

// The floor: PCRE2's JIT over the file's bytes as one subject, the match data reused, every
// match counted.
long long Pcre2Count(const QByteArray &ABytes, const char *APattern, bool AMatchCase) {
    int Error = 0;
    PCRE2_SIZE Offset = 0;
    pcre2_code *Code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(APattern), PCRE2_ZERO_TERMINATED,
                                     PCRE2_UCP | (AMatchCase ? 0 : PCRE2_CASELESS), &Error, &Offset, nullptr);
    if (Code == nullptr) return -1;
    pcre2_jit_compile(Code, PCRE2_JIT_COMPLETE);
    pcre2_match_data *Data = pcre2_match_data_create_from_pattern(Code, nullptr);
    const auto *S = reinterpret_cast<PCRE2_SPTR>(ABytes.constData());
    const size_t N = size_t(ABytes.size());
    long long Count = 0;
    size_t Start = 0;
    while (Start <= N && pcre2_jit_match(Code, S, N, Start, 0, Data, nullptr) > 0) {
        const size_t *O = pcre2_get_ovector_pointer(Data);
        ++Count;
        Start = O[1] > O[0] ? O[1] : O[0] + 1;
    }
    pcre2_match_data_free(Data);
    pcre2_code_free(Code);
    return Count;
}

// python3's re over the whole text: "milliseconds count" a pattern (best of three).
std::vector<std::pair<double, long long>> PythonCounts(const QString &AFile) {
    std::vector<std::pair<double, long long>> Result;
    const QString Python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (Python.isEmpty()) return Result;
    const QString Script = QStringLiteral(R"(
import re, sys, time
t = open(sys.argv[1], encoding='latin-1', newline='').read()
for i in range(2, len(sys.argv), 2):
    r = re.compile(sys.argv[i], 0 if sys.argv[i + 1] == '1' else re.I)
    b = None
    for _ in range(3):
        s = time.perf_counter(); n = sum(1 for _ in r.finditer(t)); e = (time.perf_counter() - s) * 1000
        b = e if b is None or e < b else b
    print(b, n)
)");
    QStringList Args = {QStringLiteral("-c"), Script, AFile};
    for (const TRegexCase &C : RegexCases)
        Args << QString::fromLatin1(C.Pattern) << QString::number(C.MatchCase ? 1 : 0);
    QProcess P;
    P.start(Python, Args);
    if (!P.waitForFinished(600000)) return Result;
    for (const QByteArray &Line : P.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> Parts = Line.split(' ');
        if (Parts.size() == 2) Result.emplace_back(Parts[0].toDouble(), Parts[1].toLongLong());
    }
    return Result;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const int FileLines = argc > 1 && argv[1][0] != '-' ? std::atoi(argv[1]) : 1400000;
    bool WithDocument = true;
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--no-document") WithDocument = false;

    QTemporaryDir Dir;
    const QString Name = Dir.filePath(QStringLiteral("big.php"));
    const QByteArray Bytes = GeneratePhp(FileLines);
    if (!Dir.isValid() || !WriteFile(Name, Bytes)) {
        std::printf("cannot write the test file\n");
        return 1;
    }
    std::printf("search benchmark: %d lines, %.1f MB\n", FileLines, double(Bytes.size()) / 1e6);

    TLexEdit E;
    E.Lines()->LoadFromFile(Name);
    TLexEditSearch Plain;
    TLexEditRegexSearch Regex;
    long long Check = 0;

    const auto Find = [&](TLexEditSearchCustom &AEngine, const QString &APattern,
                          TLexSearchOptions AOptions) {
        E.SetSearchEngine(&AEngine);
        E.SetCaretXY(BufferCoord(1, 1));
        AOptions.Include(ssoEntireScope);
        return BestMs(3, [&] { Check += E.SearchReplace(APattern, QString(), AOptions); });
    };
    const double PlainMs = Find(Plain, Absent, {ssoMatchCase});
    const double NoCaseMs = Find(Plain, Absent, {});
    const double RegexMs = Find(Regex, Absent, {ssoMatchCase});
    // What every line search pays before matching: each line made into a QString.
    const double ReadMs = BestMs(3, [&] {
        for (int i = 0; i < E.Lines()->Count(); ++i)
            Check += E.Lines()->Get(i).size();
    });
    // The count as the find bar keeps it: every line through the engine.
    long long Count = 0;
    const double CountMs = BestMs(3, [&] {
        Plain.SetOptions({ssoMatchCase, ssoWholeWord});
        Plain.SetPattern(QStringLiteral("total"));
        Count = 0;
        QLatin1String Line;
        for (int i = 0; i < E.Lines()->Count(); ++i)
            Count +=
                E.Lines()->GetLatin1(i, Line) ? Plain.FindAllLatin1(Line) : Plain.FindAll(E.Lines()->Get(i));
    });
    // 6. Regular expressions, counted line by line as the find bar keeps its counts, on the
    // lines as loaded.
    struct TRegexFigure {
        double Ms = 0, Pcre2Ms = 0, RgMs = 0;
        long long Count = 0, Pcre2 = 0, Rg = -1;
    };
    std::vector<TRegexFigure> RegexFigures;
    const QString Rg = QStandardPaths::findExecutable(QStringLiteral("rg"));
    for (const TRegexCase &C : RegexCases) {
        TRegexFigure F;
        std::vector<int> Counts;
        F.Ms = BestMs(3, [&] {
            Regex.SetOptions(C.MatchCase ? TLexSearchOptions{ssoMatchCase} : TLexSearchOptions());
            Regex.SetPattern(QString::fromLatin1(C.Pattern));
            Counts.assign(size_t(E.Lines()->Count()), 0);
            F.Count = Regex.FindAllLines(*E.Lines(), 0, E.Lines()->Count() - 1, [&](int AIndex, int n) {
                Counts[size_t(AIndex)] = n;
                return true;
            });
        });
        F.Pcre2Ms = BestMs(3, [&] { F.Pcre2 = Pcre2Count(Bytes, C.Pattern, C.MatchCase); });
        if (!Rg.isEmpty())
            F.RgMs = BestMs(3, [&] {
                QProcess P;
                QStringList Args = {QStringLiteral("--count-matches"), QStringLiteral("--no-filename")};
                if (!C.MatchCase) Args << QStringLiteral("-i");
                P.start(Rg, Args << QStringLiteral("-e") << QString::fromLatin1(C.Pattern) << Name);
                P.waitForFinished(-1);
                F.Rg = P.readAllStandardOutput().trimmed().toLongLong();
            });
        RegexFigures.push_back(F);
    }

    // Replace-all and its undo: once (a second round would replace the doubled text).
    const QString Original = E.Lines()->Text();
    E.ClearUndo();
    int Replaced = 0;
    E.SetSearchEngine(&Plain);
    const double ReplaceMs = BestMs(1, [&] {
        Replaced = E.SearchReplace(QStringLiteral("="), QStringLiteral("=="),
                                   {ssoMatchCase, ssoReplaceAll, ssoEntireScope});
    });
    const QString ReplacedText = E.Lines()->Text();
    const double UndoMs = BestMs(1, [&] { E.Undo(); });
    bool Restored = !E.CanUndo() && E.Lines()->Text() == Original;
    const double RedoMs = BestMs(1, [&] { E.Redo(); });
    Restored = Restored && E.Lines()->Text() == ReplacedText;
    E.Undo();
    Restored = Restored && E.Lines()->Text() == Original;

    // 7. Replace-all of many matches on one line, against the same matches over many lines.
    const auto LongLineMs = [&](int APerLine, long long &AReplaced) {
        QStringList Lines;
        QString Line;
        for (int i = 0, Length = 0; Length < 100000; ++i) {
            const QString Word = QStringLiteral("n%1 ").arg(i);
            Line += Word;
            Length += int(Word.size());
            if (Line.size() >= APerLine) {
                Lines << Line;
                Line.clear();
            }
        }
        if (!Line.isEmpty()) Lines << Line;
        TLexEdit Long;
        Long.SetSearchEngine(&Regex);
        return BestMs(3, [&] {
            Long.SetLines(Lines);
            AReplaced = Long.SearchReplace(QStringLiteral("n(\\d+)"), QStringLiteral("<\\1>"),
                                           {ssoMatchCase, ssoReplaceAll, ssoEntireScope});
        });
    };
    long long LongReplaced = 0, ShortReplaced = 0;
    const double LongMs = LongLineMs(1 << 30, LongReplaced);
    const double ShortMs = LongLineMs(100, ShortReplaced);

    // Peers.
    double GrepMs = 0;
    const QString Grep = QStandardPaths::findExecutable(QStringLiteral("grep"));
    if (!Grep.isEmpty())
        GrepMs = BestMs(3, [&] {
            QProcess P;
            P.start(Grep, {QStringLiteral("-c"), QStringLiteral("-F"), Absent, Name});
            P.waitForFinished(-1);
            Check += P.readAllStandardOutput().trimmed().toLongLong();
        });
    double DocPlain = 0, DocNoCase = 0, DocRegex = 0, DocCount = 0;
    long long DocMatches = 0;
    if (WithDocument) {
        QTextDocument Doc;
        Doc.setPlainText(E.Lines()->Text());
        DocPlain =
            BestMs(3, [&] { Check += Doc.find(Absent, 0, QTextDocument::FindCaseSensitively).isNull(); });
        DocNoCase = BestMs(3, [&] { Check += Doc.find(Absent, 0).isNull(); });
        const QRegularExpression Re(Absent);
        DocRegex = BestMs(3, [&] { Check += Doc.find(Re, 0, QTextDocument::FindCaseSensitively).isNull(); });
        DocCount = BestMs(3, [&] {
            DocMatches = 0;
            QTextCursor C(&Doc);
            const auto Flags = QTextDocument::FindCaseSensitively | QTextDocument::FindWholeWords;
            for (C = Doc.find(QStringLiteral("total"), C, Flags); !C.isNull();
                 C = Doc.find(QStringLiteral("total"), C, Flags))
                ++DocMatches;
        });
    }
    const auto Py = RunPython(Name);
    const auto PyRegex = PythonCounts(Name);

    std::printf("\n  %-44s %12s   %-22s %12s\n", "", "editor", "peer", "");
    Row("1. absent string, plain", PlainMs, "grep -c -F (process)", GrepMs);
    Row("", PlainMs, "QTextDocument::find", DocPlain);
    Row("", PlainMs, "python3 str.find", Py.value("plain").first);
    Row("2. absent string, case-insensitive", NoCaseMs, "QTextDocument::find", DocNoCase);
    Row("", NoCaseMs, "python3 re.I", Py.value("nocase").first);
    Row("3. absent string, regular expression", RegexMs, "QTextDocument::find", DocRegex);
    Row("", RegexMs, "python3 re.search", Py.value("regex").first);
    Row("4. count of whole-word \"total\"", CountMs, "QTextDocument::find", DocCount);
    Row("", CountMs, "python3 re.findall", Py.value("count").first);
    Row("5. replace-all \"=\" by \"==\"", ReplaceMs, "python3 re.subn", Py.value("replace").first);
    Row("   its undo (one step)", UndoMs, "the replace-all", ReplaceMs);
    Row("   its redo", RedoMs, "the replace-all", ReplaceMs);
    Row("reading every line as a QString", ReadMs, "", 0);
    std::printf("\n  6. regular expressions, every line's count (matches: editor / PCRE2 / python / rg)\n");
    bool RegexOk = true;
    for (size_t i = 0; i < RegexFigures.size(); ++i) {
        const TRegexFigure &F = RegexFigures[i];
        const TRegexCase &C = RegexCases[i];
        const double PyMs = i < PyRegex.size() ? PyRegex[i].first : 0;
        const long long PyCount = i < PyRegex.size() ? PyRegex[i].second : -1;
        std::printf("  %-24s %-28s %8.1f ms  PCRE2-JIT %7.1f ms  ratio %5.2f  (target <= %.1f ms)\n",
                    C.Pattern, C.What, F.Ms, F.Pcre2Ms, F.Ms / std::max(F.Pcre2Ms, 0.001), 2 * F.Pcre2Ms + 5);
        std::printf("  %-53s python3 re %8.1f ms   ripgrep (process) %7.1f ms   %lld / %lld / %lld / %lld\n",
                    "", PyMs, F.RgMs, F.Count, F.Pcre2, PyCount, F.Rg);
        RegexOk = RegexOk && F.Count == F.Pcre2;
    }
    std::printf("  the editor's counts equal PCRE2's: %s\n", RegexOk ? "yes" : "NO");
    std::printf("\n  7. regex replace-all \"n(\\d+)\" by \"<\\1>\", %lld matches\n", LongReplaced);
    Row("one line of 100 KB", LongMs, "lines of 100 characters", ShortMs);
    std::printf("\n  matches counted: editor %lld, QTextDocument %lld, python %lld\n", Count, DocMatches,
                Py.value("count").second);
    std::printf("  replaced: editor %d, python %lld; undo, redo and undo gave the texts back: %s\n", Replaced,
                Py.value("replace").second, Restored ? "yes" : "NO");
    std::printf("  targets: absent plain <= 2x grep and <= 30 ms; case-insensitive <= 80 ms; count <= 200 ms;"
                " replace-all <= 1 s\n");
    std::printf("  (check %lld)\n", Check);
    return Restored && RegexOk && LongReplaced == ShortReplaced ? 0 : 1;
}

// SPDX-License-Identifier: MIT
#include "highlighter_helpers.h"

#include <algorithm>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

namespace lexedit_test {

using namespace lexedit;

bool ScanLine(TLexCustomHighlighter &H, bool AReset, TLexRange AStartRange, const QString &ALine,
              TScannedLine &AResult, QString *AError) {
    AResult = TScannedLine();
    if (AReset)
        H.ResetRange();
    else
        H.SetRange(AStartRange);
    H.SetLine(ALine, 0);
    // Every token but zero-length ones consumes a character, and a zero-length token is always
    // followed by a state change that consumes; so 2 * (length + 2) steps are plenty.
    const int Limit = 2 * (int(ALine.size()) + 2);
    int Steps = 0;
    while (!H.GetEol()) {
        if (++Steps > Limit) {
            if (AError)
                *AError = QStringLiteral("scan does not end: %1 steps for a line of %2")
                              .arg(Steps)
                              .arg(ALine.size());
            return false;
        }
        AResult.Tokens.push_back(
            TScannedToken{H.GetTokenPos(), H.GetTokenKind(), H.GetToken(), H.GetTokenAttribute()});
        H.Next();
    }
    AResult.EndRange = H.GetRange();
    return true;
}

QVector<TScannedLine> ScanText(TLexCustomHighlighter &H, const QStringList &ALines) {
    QVector<TScannedLine> Result;
    TLexRange Range = 0;
    for (int i = 0; i < ALines.size(); ++i) {
        TScannedLine Line;
        ScanLine(H, i == 0, Range, ALines[i], Line);
        Range = Line.EndRange;
        Result.push_back(Line);
    }
    return Result;
}

QString CheckLine(const QString &ALine, const TScannedLine &AScan) {
    int Expected = 0;
    QString Joined;
    for (const TScannedToken &t : AScan.Tokens) {
        if (t.Pos != Expected)
            return QStringLiteral("token at %1, expected at %2: %3")
                .arg(t.Pos)
                .arg(Expected)
                .arg(Dump(AScan));
        if (t.Pos + t.Text.size() > ALine.size())
            return QStringLiteral("token at %1 runs past the line end: %2").arg(t.Pos).arg(Dump(AScan));
        Joined += t.Text;
        Expected = t.Pos + int(t.Text.size());
    }
    if (Joined != ALine)
        return QStringLiteral("tokens join to \"%1\", not to the line: %2").arg(Joined, Dump(AScan));
    return QString();
}

QStringList SplitLines(const QString &AText) {
    QStringList Lines;
    qsizetype Start = 0;
    const qsizetype n = AText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = AText[i];
        if (c == u'\r' || c == u'\n') {
            Lines << AText.mid(Start, i - Start);
            if (c == u'\r' && i + 1 < n && AText[i + 1] == u'\n') ++i;
            Start = i + 1;
        }
    }
    if (Start < n) Lines << AText.mid(Start);
    return Lines;
}

QString Dump(const TScannedLine &AScan) {
    QStringList Parts;
    for (const TScannedToken &t : AScan.Tokens)
        Parts << QStringLiteral("%1:%2").arg(t.Kind).arg(t.Text);
    return Parts.join(QLatin1Char(' ')) + QStringLiteral(" | ") + QString::number(AScan.EndRange);
}

QString LexTokensPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lextokens"));
}

QByteArray RunLexTokens(const QStringList &AArgs, int &AExit, QByteArray *AStderr) {
    QProcess P;
    P.start(LexTokensPath(), AArgs);
    if (!P.waitForStarted(10000) || !P.waitForFinished(60000)) {
        AExit = -1;
        return QByteArray();
    }
    AExit = P.exitStatus() == QProcess::NormalExit ? P.exitCode() : -1;
    if (AStderr) *AStderr = P.readAllStandardError();
    return P.readAllStandardOutput();
}

QStringList SampleAndDataLines(const QString &ASample, const QString &ADir, const QString &APattern,
                               QString *AMissing) {
    QStringList lines = SplitLines(ASample);
    const QDir dir(ADir);
    for (const QString &name : dir.entryList({APattern}, QDir::Files, QDir::Name)) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            if (AMissing) *AMissing = file.fileName();
            continue;
        }
        lines += SplitLines(QString::fromUtf8(file.readAll()));
    }
    return lines;
}

QString RescanMismatch(lexedit::TLexCustomHighlighter &ACarried, lexedit::TLexCustomHighlighter &AFresh,
                       const QStringList &ALines) {
    const QVector<TScannedLine> carried = ScanText(ACarried, ALines);
    for (int i = ALines.size() - 1; i >= 0; --i) {
        TScannedLine again;
        QString error;
        if (!ScanLine(AFresh, i == 0, i ? carried[i - 1].EndRange : 0, ALines[i], again, &error))
            return QStringLiteral("line %1: %2").arg(i).arg(error);
        if (!(again == carried[i]))
            return QStringLiteral("line %1: rescanned %2, carried %3")
                .arg(i)
                .arg(Dump(again), Dump(carried[i]));
        const QString problem = CheckLine(ALines[i], again);
        if (!problem.isEmpty()) return QStringLiteral("line %1: %2").arg(i).arg(problem);
    }
    return QString();
}

QString RandomLine(QRandomGenerator &ARng, const QString &AAlphabet, int AMaxLength) {
    QString Line;
    const int Len = int(ARng.bounded(0, AMaxLength));
    for (int i = 0; i < Len; ++i)
        Line += ARng.bounded(8) == 0 ? QChar(char16_t(ARng.bounded(0, 0x10000)))
                                     : AAlphabet[ARng.bounded(AAlphabet.size())];
    return Line;
}

QString BatchScanMismatch(TLexCustomHighlighter &H, const QStringList &ALines) {
    const QVector<TScannedLine> Loop = ScanText(H, ALines);
    for (const bool Own : {true, false}) {
        for (const int Batch : {1, 2, 7, 128}) {
            std::vector<TLexTokenSpan> Spans(size_t(Batch) + 1);
            TLexRange Range = 0;
            for (int i = 0; i < ALines.size(); ++i) {
                if (i == 0)
                    H.ResetRange();
                else
                    H.SetRange(Range);
                H.SetLine(ALines[i], i);
                QVector<TLexTokenSpan> Got;
                for (int Calls = 0;; ++Calls) {
                    // A guard past the value read: a batch never writes more than asked.
                    Spans[size_t(Batch)].Pos = -7;
                    const int n = Own ? H.NextTokens(Spans.data(), Batch)
                                      : H.TLexCustomHighlighter::NextTokens(Spans.data(), Batch);
                    if (n < 0 || n > Batch || Spans[size_t(Batch)].Pos != -7)
                        return QStringLiteral("line %1: a batch of %2 gave %3 tokens")
                            .arg(i)
                            .arg(Batch)
                            .arg(n);
                    Got.append(QVector<TLexTokenSpan>(Spans.begin(), Spans.begin() + n));
                    if (n < Batch || Calls > ALines[i].size() + 2) break;
                }
                if (!H.GetEol() || H.NextTokens(Spans.data(), Batch) != 0)
                    return QStringLiteral("line %1: a short batch before the end of the line").arg(i);
                const QVector<TScannedToken> &Want = Loop[i].Tokens;
                const QString Where = QStringLiteral("line %1, %2 batches of %3: ")
                                          .arg(i)
                                          .arg(Own ? QStringLiteral("own") : QStringLiteral("base"))
                                          .arg(Batch);
                if (Got.size() != Want.size())
                    return Where + QStringLiteral("%1 tokens, want %2").arg(Got.size()).arg(Want.size());
                for (int k = 0; k < Got.size(); ++k) {
                    const int End = k + 1 < Want.size() ? Want[k + 1].Pos : int(ALines[i].size());
                    if (Got[k].Pos != Want[k].Pos || Got[k].End != End || Got[k].Attri != Want[k].Attr)
                        return Where + QStringLiteral("token %1 is (%2, %3), want (%4, %5) of %6")
                                           .arg(k)
                                           .arg(Got[k].Pos)
                                           .arg(Got[k].End)
                                           .arg(Want[k].Pos)
                                           .arg(End)
                                           .arg(Dump(Loop[i]));
                }
                Range = H.GetRange();
                if (Range != Loop[i].EndRange) return Where + QStringLiteral("another end range");
            }
        }
    }
    return QString();
}

QString GoldenFileMismatch(const QString &ALang, const QString &ASource) {
    int exitCode = 0;
    const QByteArray out =
        RunLexTokens({QStringLiteral("--lang"), ALang, QStringLiteral("--ranges"), ASource}, exitCode);
    if (exitCode != 0) return QStringLiteral("lextokens exited with %1").arg(exitCode);
    QFile expected(ASource + QStringLiteral(".tokens"));
    if (!expected.open(QIODevice::ReadOnly)) return QStringLiteral("cannot read %1").arg(expected.fileName());
    const QList<QByteArray> want = expected.readAll().split('\n');
    const QList<QByteArray> got = out.split('\n');
    for (int i = 0; i < std::min(want.size(), got.size()); ++i) {
        if (want[i] != got[i])
            return QStringLiteral("output line %1: got \"%2\", want \"%3\"")
                .arg(i + 1)
                .arg(QString::fromUtf8(got[i]), QString::fromUtf8(want[i]));
    }
    if (got.size() != want.size())
        return QStringLiteral("%1 output lines, want %2").arg(got.size()).arg(want.size());
    return QString();
}

} // namespace lexedit_test

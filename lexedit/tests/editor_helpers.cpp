// SPDX-License-Identifier: MIT
#include "editor_helpers.h"

#include <cstring>

using namespace lexedit;

namespace lexedit {
char *toString(const TBufferCoord &P) {
    return qstrdup(QStringLiteral("(%1, %2)").arg(P.Char).arg(P.Line).toUtf8().constData());
}
char *toString(const TDisplayCoord &P) {
    return qstrdup(QStringLiteral("col %1 row %2").arg(P.Column).arg(P.Row).toUtf8().constData());
}
} // namespace lexedit

namespace editor_test {

TCountingHighlighter::TCountingHighlighter(std::unique_ptr<TLexCustomHighlighter> AInner)
    : FInner(std::move(AInner)) {}

TCountingHighlighter::~TCountingHighlighter() = default;

void TCountingHighlighter::SetLine(const QString &Value, int LineNumber) {
    ++ScannedLines;
    FInner->SetLine(Value, LineNumber);
}

std::vector<TLexRange> FullScan(TLexCustomHighlighter &AHighlighter, const TLexEditStringList &ALines) {
    std::vector<TLexRange> Result;
    AHighlighter.ResetRange();
    for (int i = 0; i < ALines.Count(); ++i) {
        AHighlighter.SetLine(ALines.Get(i), i);
        AHighlighter.NextToEol();
        Result.push_back(AHighlighter.GetRange());
    }
    return Result;
}

std::vector<TLexRange> StoredRanges(const TLexEditStringList &ALines) {
    std::vector<TLexRange> Result;
    for (int i = 0; i < ALines.Count(); ++i)
        Result.push_back(ALines.GetRange(i));
    return Result;
}

QString RandomLine(QRandomGenerator &ARandom) {
    static const char *const Fragments[] = {
        "/*",      "*/",       "//",     "#",   "'",       "\"",       "`",
        "<?php ",  "?>",       "<!--",   "-->", "<p>",     "</p>",     "<a href=\"x\">",
        "$var",    "echo ",    "&amp;",  "&",   " ",       "\t",       "x",
        "{",       "}",        "<<<EOT", "\\",  "/** doc", "<script>", "</script>",
        "<style>", "</style>", "=",      ">",   "<"};
    const int n = int(sizeof(Fragments) / sizeof(Fragments[0]));
    QString S;
    const int Parts = ARandom.bounded(0, 7);
    for (int i = 0; i < Parts; ++i)
        S += QString::fromLatin1(Fragments[ARandom.bounded(n)]);
    return S;
}

QString RandomEdit(TLexEditStringList &ALines, QRandomGenerator &ARandom) {
    const int Count = ALines.Count();
    const int Kind = Count == 0 ? 0 : ARandom.bounded(5);
    switch (Kind) {
    case 0: {
        const int At = ARandom.bounded(Count + 1);
        ALines.Insert(At, RandomLine(ARandom));
        return QStringLiteral("insert %1").arg(At);
    }
    case 1: {
        const int At = ARandom.bounded(Count);
        ALines.Delete(At);
        return QStringLiteral("delete %1").arg(At);
    }
    case 2: {
        const int At = ARandom.bounded(Count);
        ALines.Put(At, RandomLine(ARandom));
        return QStringLiteral("put %1").arg(At);
    }
    case 3: {
        const int At = ARandom.bounded(Count + 1);
        QStringList L;
        for (int i = ARandom.bounded(1, 4); i > 0; --i)
            L << RandomLine(ARandom);
        ALines.InsertStrings(At, L);
        return QStringLiteral("insert %1 lines at %2").arg(L.size()).arg(At);
    }
    default: {
        const int At = ARandom.bounded(Count);
        const int Num = ARandom.bounded(1, 4);
        ALines.DeleteLines(At, Num);
        return QStringLiteral("delete %1 lines at %2").arg(Num).arg(At);
    }
    }
}

TRecordingPlugin::TRecordingPlugin(TCustomLexEdit *AOwner)
    : TLexEditPlugin(AOwner, {phLinesInserted, phLinesDeleted, phLinePut, phLinesChanging, phLinesChanged}) {}

void TRecordingPlugin::LinesInserted(int FirstLine, int Count) {
    Log << QStringLiteral("inserted %1 %2").arg(FirstLine).arg(Count);
}
void TRecordingPlugin::LinesDeleted(int FirstLine, int Count) {
    Log << QStringLiteral("deleted %1 %2").arg(FirstLine).arg(Count);
}
void TRecordingPlugin::LinePut(int Index, const QString &OldLine) {
    Log << QStringLiteral("put %1 %2").arg(Index).arg(OldLine);
}
void TRecordingPlugin::LinesChanging() {
    Log << QStringLiteral("changing");
}
void TRecordingPlugin::LinesChanged() {
    Log << QStringLiteral("changed");
}

} // namespace editor_test

namespace editor_test {

QStringList TrickyExportLines() {
    return {QStringLiteral("<?php // a <b> & \"c\" 'd' ]]> --> <!--"),
            QStringLiteral("\t$x = \"caf\u00E9 \u4E2D\u6587 \U0001F600\";  /* open"),
            QStringLiteral("   still ]]> comment */ $y = 'a' . \"b\";"),
            QString::fromUtf16(u"$ctrl = \"\u0001\u001B\u007F\u0085\";") + QChar(0) +
                QStringLiteral(" after nul"),
            QString(),
            QStringLiteral("    echo 12.5e3 + 0x1F; # hash comment \u00A0nbsp"),
            QStringLiteral("?><p class=\"x\">&amp; &copy; &#169; <b>bold</b></p><?php")};
}

QFont TestFont(int APixelSize) {
    QFont F(QStringLiteral("DejaVu Sans Mono"));
    F.setPixelSize(APixelSize);
    F.setStyleStrategy(QFont::NoAntialias);
    return F;
}

int TInjectedWidthDrawer::MeasureCharWidth(QStringView ACharacter) const {
    const char32_t Code = ACharacter.size() == 2 ? QChar::surrogateToUcs4(ACharacter[0], ACharacter[1])
                                                 : char32_t(ACharacter[0].unicode());
    const auto It = Injected.constFind(Code);
    return It != Injected.constEnd() ? *It : lexedit::TheTextDrawer::MeasureCharWidth(ACharacter);
}

TInjectedWidthDrawer &InjectWidths(lexedit::TCustomLexEdit &AEdit, const QHash<char32_t, double> &AWidths) {
    auto Drawer = std::make_unique<TInjectedWidthDrawer>(lexedit::TFontStyles(), AEdit.font());
    const int Cell = Drawer->CharWidth();
    for (auto It = AWidths.constBegin(); It != AWidths.constEnd(); ++It)
        Drawer->Injected.insert(It.key(), int(It.value() * Cell));
    TInjectedWidthDrawer &Result = *Drawer;
    AEdit.SetTextDrawer(std::move(Drawer));
    return Result;
}

} // namespace editor_test

// SPDX-License-Identifier: MIT
#pragma once
// Helpers of the editor tests: a highlighter that counts the lines it scans, a fresh full scan
// to compare stored ranges with, and random edits that open and close comments and strings.

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"
#include "lexedit/LexTextDrawer.h"

#include <QFont>
#include <QHash>
#include <QMetaType>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// Readable positions in test failure messages.
namespace lexedit {
char *toString(const TBufferCoord &P);
char *toString(const TDisplayCoord &P);
} // namespace lexedit
Q_DECLARE_METATYPE(lexedit::TBufferCoord)
Q_DECLARE_METATYPE(lexedit::TDisplayCoord)

namespace editor_test {

// Delegates every scanning call to AInner and counts SetLine calls.
class TCountingHighlighter : public lexedit::TLexCustomHighlighter {
public:
    explicit TCountingHighlighter(std::unique_ptr<lexedit::TLexCustomHighlighter> AInner);
    ~TCountingHighlighter() override;

    int ScannedLines = 0;
    lexedit::TLexCustomHighlighter &Inner() { return *FInner; }

    void SetLine(const QString &Value, int LineNumber) override;
    bool GetEol() const override { return FInner->GetEol(); }
    void Next() override { FInner->Next(); }
    int GetTokenKind() const override { return FInner->GetTokenKind(); }
    lexedit::TLexHighlighterAttributes *GetTokenAttribute() const override {
        return FInner->GetTokenAttribute();
    }
    lexedit::TLexHighlighterAttributes *GetDefaultAttribute(int Index) const override {
        return FInner->GetDefaultAttribute(Index);
    }
    lexedit::TLexRange GetRange() const override { return FInner->GetRange(); }
    void SetRange(lexedit::TLexRange Value) override { FInner->SetRange(Value); }
    void ResetRange() override { FInner->ResetRange(); }

private:
    std::unique_ptr<lexedit::TLexCustomHighlighter> FInner;
};

// The end range of every line of ALines scanned from the first line with AHighlighter.
std::vector<lexedit::TLexRange> FullScan(lexedit::TLexCustomHighlighter &AHighlighter,
                                         const lexedit::TLexEditStringList &ALines);
// The ranges stored in ALines.
std::vector<lexedit::TLexRange> StoredRanges(const lexedit::TLexEditStringList &ALines);

// A random line made of fragments that open and close PHP and HTML comments, strings and tags.
QString RandomLine(QRandomGenerator &ARandom);

// One random change of ALines: insert, delete, replace one or several lines. Returns a short
// description for failure messages.
QString RandomEdit(lexedit::TLexEditStringList &ALines, QRandomGenerator &ARandom);

// Records the notifications an editor passes to a plug-in.
class TRecordingPlugin : public lexedit::TLexEditPlugin {
public:
    explicit TRecordingPlugin(lexedit::TCustomLexEdit *AOwner);
    QStringList Log;
    void LinesInserted(int FirstLine, int Count) override;
    void LinesDeleted(int FirstLine, int Count) override;
    void LinePut(int Index, const QString &OldLine) override;
    void LinesChanging() override;
    void LinesChanged() override;
};

} // namespace editor_test

namespace editor_test {

// The font of the pixel and layout tests: DejaVu Sans Mono without smoothing, APixelSize high.
QFont TestFont(int APixelSize = 14);

// Lines with every kind of character an export must treat: markup characters, quotes, "]]>",
// blanks and tabs, non-ASCII text, a character outside the BMP, control characters and a NUL.
QStringList TrickyExportLines();

// A text drawer that measures the characters of Injected with the given widths (the machine
// has no font with wide glyphs).
class TInjectedWidthDrawer : public lexedit::TheTextDrawer {
public:
    using lexedit::TheTextDrawer::TheTextDrawer;
    QHash<char32_t, int> Injected;

protected:
    int MeasureCharWidth(QStringView ACharacter) const override;
};

// Gives AEdit a drawer measuring each code of AWidths (in cells of the editor's font) as that
// many cells; returns the drawer (owned by the editor).
TInjectedWidthDrawer &InjectWidths(lexedit::TCustomLexEdit &AEdit, const QHash<char32_t, double> &AWidths);

} // namespace editor_test

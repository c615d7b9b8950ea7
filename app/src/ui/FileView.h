// SPDX-License-Identifier: MIT
#pragma once
// The window's "file" tab: a file other than the script (an included file, vendor code) shown
// read-only with PHP highlighting, at the line a message of the run names, which is marked as a
// line of the script is after a jump. One tab serves every such file in turn; the run command
// stays the script's. A find bar under the view finds in it.

#include <QFont>
#include <QString>
#include <QWidget>

#include <memory>

namespace lexedit {
class TLexCustomHighlighter;
class TLexEdit;
} // namespace lexedit

namespace app {

class TFindBar;
class TLineMarks;

class TFileView : public QWidget {
    Q_OBJECT
public:
    // AHighlighter (not owned, it outlives the view): the script view's, so that both show PHP
    // alike; the fonts of text and gutter are the script view's too.
    TFileView(lexedit::TLexCustomHighlighter *AHighlighter, const QFont &AFont, const QFont &AGutterFont,
              QWidget *AParent = nullptr);
    ~TFileView() override;

    // Loads AFileName (read anew each time: it may have changed since) and puts the caret on line
    // ALine, in the middle of the view and marked; the last line when the file has fewer. Throws
    // common::Exception when the file cannot be read; the view then keeps what it showed.
    void ShowFile(const QString &AFileName, int ALine);
    // The file shown, as given to ShowFile; "" before the first.
    const QString &FileName() const { return FFileName; }
    TLineMarks &Marks() const { return *FMarks; }

    lexedit::TLexEdit *Memo = nullptr;
    TFindBar *FindBar = nullptr;

private:
    std::unique_ptr<TLineMarks> FMarks;
    QString FFileName;
};

} // namespace app

#pragma once
// TLineMemo: the text view that stands for an editor control in the window until the editor
// control is complete. Its text lives in a line buffer (TLexEditStringList), which gives the four
// operations the window needs (clear, add a line, load a file with encoding detection, whole text);
// the view shows the buffer and the user may edit it, the edits going back into the buffer.

#include "lexedit/LexEditTextBuffer.h"

#include <QPlainTextEdit>

namespace app {

class TLineMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TLineMemo(QWidget *AParent = nullptr);

    // The line buffer holding the text.
    lexedit::TLexEditStringList &Lines() { return FLines; }
    const lexedit::TLexEditStringList &Lines() const { return FLines; }

    void Clear();
    // Appends one line at the end.
    void Add(const QString &ALine);
    // Replaces the content with the file's text (byte-order mark or UTF-8 detection, else
    // Latin-1). Throws when the file cannot be read; the content is then unchanged.
    void LoadFromFile(const QString &AFileName);
    // All lines joined with CR LF, no line break after the last line.
    QString Text() const { return FLines.Text(); }
    int Count() const { return FLines.Count(); }

private:
    void ShowAllLines();
    void TakeUserEdit();

    lexedit::TLexEditStringList FLines;
    // Set while the view is changed from the buffer, so that only the user's edits go back.
    bool FUpdatingView = false;
};

} // namespace app

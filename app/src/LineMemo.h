#pragma once
// TLineMemo: the text view that stands for an editor control in the window until the editor
// library provides one. It offers the four line-buffer operations the window needs (clear, add a
// line, load a file, whole text) and shows the text; the user may edit it.

#include <QPlainTextEdit>
#include <QStringList>

namespace app {

class TLineMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TLineMemo(QWidget *AParent = nullptr);

    void Clear();
    // Appends one line at the end.
    void Add(const QString &ALine);
    // Replaces the content with the file's text, decoded by its byte-order mark, else as UTF-8
    // when the bytes are valid UTF-8, else as Latin-1. Throws common::Exception when the file
    // cannot be read; the content is then unchanged.
    void LoadFromFile(const QString &AFileName);
    // All lines joined with CR LF, no line break after the last line.
    QString Text() const;
    int Count() const;

private:
    // An empty document shows no line; this tells an empty memo from one holding one empty line.
    bool fHasLines = false;
};

// Decodes the bytes of a text file: byte-order mark (UTF-8, UTF-16 LE/BE), else UTF-8 when the
// bytes are valid UTF-8, else Latin-1.
QString DecodeTextFile(const QByteArray &ABytes);

} // namespace app

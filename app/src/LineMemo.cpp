#include "LineMemo.h"

#include "common/Exception.h"

#include <QFile>
#include <QStringDecoder>
#include <QTextBlock>

namespace app {

TLineMemo::TLineMemo(QWidget *AParent) : QPlainTextEdit(AParent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(false);
}

void TLineMemo::Clear() {
    clear();
    fHasLines = false;
}

void TLineMemo::Add(const QString &ALine) {
    // appendPlainText adds a block even to an empty document's first, empty block; keep the first
    // line in that block so that the line count matches what was added.
    if (Count() == 0) {
        setPlainText(ALine);
        fHasLines = true;
        return;
    }
    appendPlainText(ALine);
}

void TLineMemo::LoadFromFile(const QString &AFileName) {
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw common::Exception(QStringLiteral("Cannot open file \"%1\": %2").arg(AFileName, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw common::Exception(QStringLiteral("Cannot read file \"%1\": %2").arg(AFileName, file.errorString()));
    QString text = DecodeTextFile(bytes);
    // Lines end at CR LF, LF or CR; a line break after the last line does not open another line.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    setPlainText(text);
    fHasLines = !bytes.isEmpty();
}

QString TLineMemo::Text() const {
    if (Count() == 0)
        return QString();
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

int TLineMemo::Count() const {
    if (document()->isEmpty() && !fHasLines)
        return 0;
    return document()->blockCount();
}

QString DecodeTextFile(const QByteArray &ABytes) {
    if (ABytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(ABytes.mid(3));
    if (ABytes.startsWith("\xFF\xFE")) {
        QStringDecoder decoder(QStringDecoder::Utf16LE);
        return decoder(ABytes.mid(2));
    }
    if (ABytes.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(QStringDecoder::Utf16BE);
        return decoder(ABytes.mid(2));
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(ABytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(ABytes);
}

} // namespace app

// SPDX-License-Identifier: MIT
#include "PhpMessages.h"

#include <QStringList>

namespace app {

namespace {

constexpr bool isAsciiLetter(char16_t AChar) {
    return (AChar >= 'a' && AChar <= 'z') || (AChar >= 'A' && AChar <= 'Z');
}

constexpr QLatin1String kEvalSuffix(") : eval()'d code");

// A, ASeparator and B in one string (one allocation).
QString Joined(QStringView A, QStringView B, QLatin1String ASeparator = QLatin1String()) {
    QString joined;
    joined.reserve(A.size() + ASeparator.size() + B.size());
    joined.append(A).append(ASeparator).append(B);
    return joined;
}

// A line number: 1 to 9 decimal digits and nothing else; -1 otherwise.
int ParseLineNumber(QStringView AText) {
    if (AText.isEmpty() || AText.size() > 9) return -1;
    int value = 0;
    for (const QChar c : AText) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value > 0 ? value : -1;
}

// The text inside "<b>...</b>", or the text itself.
QStringView StripBold(QStringView AText) {
    if (AText.startsWith(QLatin1String("<b>")) && AText.endsWith(QLatin1String("</b>")))
        return AText.mid(3, AText.size() - 7);
    return AText;
}

// Where " in FILE" starts in AHead (FILE running to its end): the last " in " before a bold
// file name or an absolute path when there is one (a file name may itself hold " in "), else
// the last " in ".
qsizetype FindIn(QStringView AHead) {
    for (const QLatin1String marker : {QLatin1String(" in <b>"), QLatin1String(" in /")}) {
        const qsizetype at = AHead.lastIndexOf(marker);
        if (at >= 0) return at;
    }
    return AHead.lastIndexOf(QLatin1String(" in "));
}

// Whether AFile names a file as PHP writes it: a path, or the names PHP gives code it did not
// read from a file.
bool LooksLikeFile(QStringView AFile) {
    if (AFile.isEmpty() || AFile.startsWith(QLatin1Char(' ')) || AFile.endsWith(QLatin1Char(' ')))
        return false;
    return AFile.contains(QLatin1Char('/')) || AFile.contains(QLatin1Char('\\')) ||
           AFile.endsWith(QLatin1String(".php")) || AFile == QLatin1String("Command line code") ||
           AFile == QLatin1String("Standard input code");
}

// Fills the message's file and line; "F(M) : eval()'d code" becomes F and M, where eval ran.
bool SetLocation(QStringView AFile, int ALine, TPhpMessage &AMessage) {
    if (AFile.endsWith(kEvalSuffix)) {
        const QStringView inner = AFile.left(AFile.size() - kEvalSuffix.size());
        const qsizetype open = inner.lastIndexOf(QLatin1Char('('));
        if (open <= 0) return false;
        const int evalLine = ParseLineNumber(inner.mid(open + 1));
        if (evalLine < 0) return false;
        AFile = inner.left(open);
        ALine = evalLine;
    }
    if (!LooksLikeFile(AFile)) return false;
    AMessage.File = AFile.toString();
    AMessage.Line = ALine;
    return true;
}

// The length of the class name at the start of AText (a namespace's backslashes included), or 0.
qsizetype ClassNameLength(QStringView AText) {
    qsizetype i = 0;
    while (i < AText.size()) {
        const QChar c = AText[i];
        const bool letter = c.isLetter() || c == QLatin1Char('_') || c.unicode() >= 0x80;
        if (!letter && !(i > 0 && (c.isDigit() || c == QLatin1Char('\\')))) break;
        ++i;
    }
    return i;
}

// "MESSAGE in FILE:N", where an exception was thrown, ends AText; the message ends at AHeadEnd.
bool RecogniseThrownAt(QStringView AText, qsizetype &AHeadEnd, TPhpMessage &AMessage) {
    const qsizetype colon = AText.lastIndexOf(QLatin1Char(':'));
    const int line = colon > 0 ? ParseLineNumber(AText.mid(colon + 1)) : -1;
    if (line < 0) return false;
    const QStringView head = AText.left(colon);
    AHeadEnd = FindIn(head);
    return AHeadEnd >= 0 && SetLocation(head.mid(AHeadEnd + 4), line, AMessage);
}

// "X: MESSAGE in FILE:N" or "X in FILE:N" (no message) after "Next ": the exception thrown
// while the one before was handled, an error of its own.
bool RecogniseNext(QStringView AText, TPhpMessage &AMessage) {
    const qsizetype name = ClassNameLength(AText);
    if (name == 0) return false;
    qsizetype headEnd = 0;
    if (!RecogniseThrownAt(AText, headEnd, AMessage)) return false;
    if (headEnd != name && !(headEnd > name + 1 && AText.mid(name).startsWith(QLatin1String(": "))))
        return false;
    AMessage.Severity = psError;
    AMessage.Text = Joined(u"Uncaught", AText.left(headEnd), QLatin1String(" "));
    AMessage.Counted = true;
    AMessage.Chained = true;
    return true;
}

// AText with the entities PHP writes decoded: &lt; &gt; &amp; &quot; &apos; and numeric ones.
QString DecodeEntities(QStringView AText) {
    QString out;
    out.reserve(AText.size());
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar c = AText[i];
        const qsizetype semicolon = c == QLatin1Char('&') ? AText.mid(i, 10).indexOf(QLatin1Char(';')) : -1;
        if (semicolon < 2) {
            out += c;
            continue;
        }
        const QStringView name = AText.mid(i + 1, semicolon - 1);
        char32_t code = 0;
        if (name == QLatin1String("lt"))
            code = '<';
        else if (name == QLatin1String("gt"))
            code = '>';
        else if (name == QLatin1String("amp"))
            code = '&';
        else if (name == QLatin1String("quot"))
            code = '"';
        else if (name == QLatin1String("apos"))
            code = '\'';
        else if (name[0] == QLatin1Char('#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X'));
            const uint value = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            if (ok && value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) code = value;
        }
        if (code == 0) {
            out += c;
            continue;
        }
        out += QStringView(QChar::fromUcs4(code));
        i += semicolon;
    }
    return out;
}

// The length of the tag PHP puts into a message in the HTML form at the start of AText (the link
// to the manual, "<a href='...'>" and "</a>", a line break, what error_prepend_string may add),
// or 0. Other names stay: PHP leaves some messages unescaped, so "<level>" may be text.
qsizetype TagLength(QStringView AText) {
    qsizetype i = 1;
    if (i < AText.size() && AText[i] == QLatin1Char('/')) ++i;
    const qsizetype nameStart = i;
    while (i < AText.size() && isAsciiLetter(AText[i].unicode()))
        ++i;
    const QStringView name = AText.mid(nameStart, i - nameStart);
    if (name != QLatin1String("a") && name != QLatin1String("br") && name != QLatin1String("span") &&
        name != QLatin1String("font"))
        return 0;
    if (i >= AText.size() ||
        (AText[i] != QLatin1Char('>') && AText[i] != QLatin1Char(' ') && AText[i] != QLatin1Char('/')))
        return 0;
    for (; i < AText.size(); ++i) {
        if (AText[i] == QLatin1Char('<')) return 0;
        if (AText[i] == QLatin1Char('>')) return i + 1;
    }
    return 0;
}

// AMessage's text and file as plain text when they came in the HTML form.
void MakePlain(TPhpMessage &AMessage) {
    AMessage.Text = PlainFromHtml(AMessage.Text);
    AMessage.File = DecodeEntities(AMessage.File);
    AMessage.Html = true;
}

// "#K FILE(N): CALL"; AText starts at "#".
bool RecogniseFrame(QStringView AText, TPhpMessage &AMessage) {
    qsizetype i = 1;
    while (i < AText.size() && AText[i].isDigit())
        ++i;
    if (i == 1 || i >= AText.size() || AText[i] != QLatin1Char(' ')) return false;
    const QStringView rest = AText.mid(i + 1);
    const qsizetype close = rest.indexOf(QLatin1String("): "));
    if (close <= 0) return false;
    const qsizetype open = rest.lastIndexOf(QLatin1Char('('), close);
    if (open <= 0) return false;
    const int line = ParseLineNumber(rest.mid(open + 1, close - open - 1));
    if (line < 0 || !SetLocation(rest.left(open), line, AMessage)) return false;
    AMessage.Severity = psNote;
    AMessage.Text = Joined(AText.left(i + 1), rest.mid(close + 3));
    AMessage.Counted = false;
    return true;
}

// "FILE on line N" (or "<b>FILE</b> on line <b>N</b>"), which ends AText; the part before it
// ends at AHeadEnd.
bool RecogniseOnLine(QStringView AText, qsizetype &AHeadEnd, TPhpMessage &AMessage) {
    const qsizetype onLine = AText.lastIndexOf(QLatin1String(" on line "));
    if (onLine < 0) return false;
    const int line = ParseLineNumber(StripBold(AText.mid(onLine + 9)));
    if (line < 0) return false;
    const QStringView head = AText.left(onLine);
    const qsizetype in = FindIn(head);
    if (in < 0 || !SetLocation(StripBold(head.mid(in + 4)), line, AMessage)) return false;
    AHeadEnd = in;
    return true;
}

// Whether a line starting with these two characters can be a message: "<b>", "<br />", "#0 ",
// "  thrown", "PHP ", "Parse error", "Warning", "Fatal error", "Notice", "Deprecated",
// "Recoverable fatal error", "Next", "[" (a time stamp).
bool MayStartMessage(char16_t AFirst, char16_t ASecond) {
    switch (AFirst) {
    case '<':
        return ASecond == 'b';
    case '#':
        return ASecond >= '0' && ASecond <= '9';
    case ' ':
        return ASecond == ' ';
    case 'P':
        return ASecond == 'H' || ASecond == 'a';
    case 'W':
    case 'F':
        return ASecond == 'a';
    case 'N':
        return ASecond == 'o' || ASecond == 'e';
    case 'D':
    case 'R':
        return ASecond == 'e';
    case '[':
        return true;
    default:
        return false;
    }
}

enum TLabel : uint8_t { lbNone, lbParse, lbFatal, lbRecoverable, lbWarning, lbNotice, lbDeprecated };

TLabel LabelOf(QStringView ALabel) {
    if (ALabel == QLatin1String("Warning")) return lbWarning;
    if (ALabel == QLatin1String("Fatal error")) return lbFatal;
    if (ALabel == QLatin1String("Parse error")) return lbParse;
    if (ALabel == QLatin1String("Notice")) return lbNotice;
    if (ALabel == QLatin1String("Deprecated")) return lbDeprecated;
    if (ALabel == QLatin1String("Recoverable fatal error")) return lbRecoverable;
    return lbNone;
}

} // namespace

bool RecognisePhpMessage(QStringView ALine, TPhpMessage &AMessage) {
    if (ALine.size() < 12) return false;
    // Most output lines (markup, text) stop at their first two characters.
    if (!MayStartMessage(ALine[0].unicode(), ALine[1].unicode())) return false;
    QStringView s = ALine;
    bool logged = false;
    if (s[0] == QLatin1Char('[')) {
        // "[09-Dec-2026 23:29:49 UTC] " before a logged message.
        const qsizetype close = s.left(64).indexOf(QLatin1String("] "));
        if (close < 0) return false;
        s = s.mid(close + 2);
        logged = true;
    }
    if (s.startsWith(QLatin1String("PHP "))) {
        s = s.mid(4);
        logged = true;
    }
    AMessage = TPhpMessage();
    AMessage.Logged = logged;
    if (s.startsWith(QLatin1Char('#'))) return RecogniseFrame(s, AMessage);
    if (s.startsWith(QLatin1String("Next "))) return RecogniseNext(s.mid(5), AMessage);
    if (s.startsWith(QLatin1String("  thrown in "))) {
        s = s.mid(8); // from " in "
        if (s.endsWith(QLatin1String("<br />"))) {
            s.chop(6);
            AMessage.Html = true;
        }
        qsizetype headEnd = 0;
        if (!RecogniseOnLine(s, headEnd, AMessage) || headEnd != 0) return false;
        if (AMessage.Html) AMessage.File = DecodeEntities(AMessage.File);
        AMessage.Severity = psNote;
        AMessage.Text = QStringLiteral("thrown");
        AMessage.Counted = false;
        return true;
    }
    if (s.startsWith(QLatin1String("<br />"))) s = s.mid(6);
    QStringView label;
    AMessage.Html = s.startsWith(QLatin1String("<b>"));
    if (AMessage.Html) {
        const qsizetype end = s.left(40).indexOf(QLatin1String("</b>:"));
        if (end < 0) return false;
        label = s.mid(3, end - 3);
        s = s.mid(end + 5);
        if (s.endsWith(QLatin1String("<br />"))) s.chop(6);
    } else {
        const qsizetype colon = s.left(26).indexOf(QLatin1Char(':'));
        if (colon < 0) return false;
        label = s.left(colon);
        s = s.mid(colon + 1);
    }
    const TLabel kind = LabelOf(label);
    if (kind == lbNone) return false;
    // One blank after the colon when displayed, two when logged (and in HTML).
    if (!s.startsWith(QLatin1Char(' '))) return false;
    s = s.mid(s.startsWith(QLatin1String("  ")) ? 2 : 1);
    if (s.isEmpty() || s[0] == QLatin1Char(' ')) return false;

    qsizetype headEnd = 0;
    if (kind == lbFatal && s.startsWith(QLatin1String("Uncaught "))) {
        if (!RecogniseThrownAt(s, headEnd, AMessage)) return false; // "Uncaught X: MESSAGE in FILE:N"
    } else if (!RecogniseOnLine(s, headEnd, AMessage)) {
        return false;
    }
    const QStringView text = s.left(headEnd);
    AMessage.Severity = kind == lbParse || kind == lbFatal || kind == lbRecoverable ? psError : psWarning;
    // The label goes with the text where the severity does not already say it.
    AMessage.Text =
        kind == lbWarning || kind == lbFatal ? text.toString() : Joined(label, text, QLatin1String(": "));
    AMessage.Counted = true;
    if (AMessage.Html) {
        AMessage.Text = PlainFromHtml(AMessage.Text);
        AMessage.File = DecodeEntities(AMessage.File);
    }
    return true;
}

QString PlainFromHtml(QStringView AText) {
    if (!AText.contains(QLatin1Char('<')) && !AText.contains(QLatin1Char('&'))) return AText.toString();
    QString untagged;
    untagged.reserve(AText.size());
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const qsizetype tag = AText[i] == QLatin1Char('<') ? TagLength(AText.mid(i)) : 0;
        if (tag > 0)
            i += tag - 1;
        else
            untagged += AText[i];
    }
    return DecodeEntities(untagged);
}

QString FormatForTools(const TPhpMessage &AMessage) {
    static const char *const kSeverity[] = {"error", "warning", "note"};
    return QStringLiteral("%1:%2: %3: %4")
        .arg(AMessage.File)
        .arg(AMessage.Line)
        .arg(QLatin1String(kSeverity[AMessage.Severity]), AMessage.Text);
}

bool TPhpMessageFilter::Accept(TPhpMessage &AMessage) {
    if (!AMessage.Counted || AMessage.Chained) {
        // Part of the heading before it: dropped with a dropped copy, HTML when it was.
        if (FLastWasCopy) return false;
        // "Next X: ..." is PHP's only in the trace of an uncaught exception.
        if (AMessage.Chained && !FInTrace) return false;
        if (!AMessage.Counted && AMessage.Text == QLatin1String("thrown")) FInTrace = false;
        if (FHtml && !AMessage.Html) MakePlain(AMessage);
        return true;
    }
    FHtml = AMessage.Html;
    // With html_errors on, PHP escapes its functions' messages in the log as well.
    if (AMessage.Html)
        FHtmlSeen = true;
    else if (FHtmlSeen && AMessage.Logged)
        MakePlain(AMessage);
    FInTrace = AMessage.Text.startsWith(QLatin1String("Uncaught "));
    const bool copy = FHaveLast && !FLastPaired && AMessage.Logged != FLast.Logged &&
                      AMessage.Severity == FLast.Severity && AMessage.Line == FLast.Line &&
                      (AMessage.Text == FLast.Text ||
                       (AMessage.Html && !FLast.Html && AMessage.Text == PlainFromHtml(FLast.Text))) &&
                      (AMessage.File == FLast.File ||
                       (AMessage.Html && !FLast.Html && AMessage.File == DecodeEntities(FLast.File)));
    if (copy) {
        FLastPaired = true;
        FLastWasCopy = true;
        return false;
    }
    FLast = AMessage;
    FHaveLast = true;
    FLastPaired = false;
    FLastWasCopy = false;
    return true;
}

QString ErrorCountText(int AErrors, int AWarnings) {
    QStringList parts;
    if (AErrors > 0)
        parts << QStringLiteral("%1 %2").arg(AErrors).arg(QLatin1String(AErrors == 1 ? "error" : "errors"));
    if (AWarnings > 0)
        parts << QStringLiteral("%1 %2").arg(AWarnings).arg(
            QLatin1String(AWarnings == 1 ? "warning" : "warnings"));
    return parts.join(QStringLiteral(", "));
}

} // namespace app

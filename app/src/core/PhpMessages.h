// SPDX-License-Identifier: MIT
#pragma once
// Recognises PHP's error messages in output lines, so that the window can link them to the
// script's lines and the batch mode can list them for editors and CI tools.
//
// Recognised, with or without a "[date] " prefix and with or without the "PHP " prefix of the log
// (one or two blanks after the colon):
//   "Parse error: MESSAGE in FILE on line N" and the same for "Fatal error", "Recoverable fatal
//   error", "Warning", "Notice" and "Deprecated", also as HTML
//   ("<b>Warning</b>:  MESSAGE in <b>FILE</b> on line <b>N</b><br />");
//   "Fatal error: Uncaught X: MESSAGE in FILE:N" (an uncaught exception);
//   "Next X: MESSAGE in FILE:N" (an exception thrown while handling the one before: its own
//   error, reported as "Uncaught X: MESSAGE");
//   "  thrown in FILE on line N" (the end of its stack trace);
//   "#K FILE(N): CALL" (a stack frame).
// A FILE of the form "F(M) : eval()'d code" stands for line M of F, where eval ran.
// In the HTML form the text and file are given as plain text: tags removed, entities decoded.

#include <QString>
#include <QStringView>

#include <cstdint>

namespace app {

enum TPhpSeverity : uint8_t { psError, psWarning, psNote };

struct TPhpMessage {
    TPhpSeverity Severity = psError;
    QString File; // as PHP wrote it (for code run by eval: the file that ran eval)
    int Line = 0; // 1-based line in File
    // The message without its location: "Undefined variable $x", "Parse error: syntax error, ...",
    // "Uncaught RuntimeException: boom", "#0 fail()", "thrown".
    QString Text;
    // A message of its own, counted and listed; a stack frame or the "thrown in" line belongs to
    // the uncaught exception before it.
    bool Counted = true;
    // Written by the log ("PHP " or a time stamp before it) rather than displayed: PHP writes the
    // same message in both forms when display and log are both on.
    bool Logged = false;
    // A "Next" exception of a chain: counted, but part of the uncaught exception before it when
    // it comes to dropping a second copy.
    bool Chained = false;
    // PHP formatted the message as HTML (html_errors); Text and File are decoded already.
    bool Html = false;
};

// Whether ALine is one of PHP's messages; fills AMessage when it is. Pure and cheap for lines
// that are not (most output): it looks at the first characters only.
bool RecognisePhpMessage(QStringView ALine, TPhpMessage &AMessage);

// The message as editors and CI tools read it: "FILE:LINE: error: TEXT" (warning, note).
QString FormatForTools(const TPhpMessage &AMessage);

// Drops the second copy of a message PHP writes twice (display and log both on: the same
// message once logged and once displayed, one after the other), with the stack frames, chained
// exceptions and the "thrown in" line that follow that copy.
class TPhpMessageFilter {
public:
    // Whether AMessage is to be reported (false for the second copy and what belongs to it).
    // Lines that follow a message PHP formatted as HTML (its stack frames and chained
    // exceptions, which carry no HTML marks of their own) are decoded like it, and so are logged
    // messages once one came as HTML (html_errors is on: PHP escapes its functions' messages in
    // the log too; a logged message before the first HTML one keeps PHP's escapes).
    bool Accept(TPhpMessage &AMessage);
    void Reset() { *this = TPhpMessageFilter(); }

private:
    TPhpMessage FLast;         // the last heading (counted, not chained) accepted
    bool FHaveLast = false;    // FLast holds one
    bool FLastWasCopy = false; // the last heading was a dropped copy
    bool FLastPaired = false;  // FLast already had its copy dropped
    bool FHtml = false;        // the last heading was in the HTML form
    bool FHtmlSeen = false;    // a message came in the HTML form: html_errors is on
    bool FInTrace = false;     // in the trace of an uncaught exception, where "Next" may come
};

// AText of a message in the HTML form as plain text: the tags PHP adds removed (the links to the
// manual), the entities it writes (&lt; &gt; &amp; &quot; &#039; and numeric ones) decoded.
QString PlainFromHtml(QStringView AText);

// How many errors and warnings a run printed, as the status line shows them: "2 errors,
// 1 warning", "1 error", "3 warnings"; empty when there are none.
QString ErrorCountText(int AErrors, int AWarnings);

} // namespace app

// SPDX-License-Identifier: MIT
#pragma once
// The one exception base class of the project and the process-wide error reporter.
//
// Every failure is thrown as an Exception (or a class derived from it) carrying a message.
// Code that runs from an event loop (slots, timers, posted calls, worker threads) never lets an
// exception escape; it hands it to ReportError(), which stands in for a desktop framework's
// default error report: the application installs a message box, tests install a recorder.

#include <QString>

#include <exception>
#include <functional>
#include <string>

namespace common {

class Exception : public std::exception {
public:
    explicit Exception(const QString &AMessage);
    ~Exception() override = default;

    const QString &Message() const noexcept { return FMessage; }
    // The class name as the user sees it in an error report ("EConsoleCommand" ...).
    virtual const char *ClassName() const noexcept { return "Exception"; }
    const char *what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

// Declares `Name` derived from `Base`, reporting "Name" as its class name.
#define COMMON_DECLARE_EXCEPTION(Name, Base)                                                                 \
    class Name : public Base {                                                                               \
    public:                                                                                                  \
        using BaseType = Base;                                                                               \
        using BaseType::BaseType;                                                                            \
        const char *ClassName() const noexcept override { return #Name; }                                    \
    };

// A broken precondition or an impossible state; active in release builds too.
class EAssertionFailed : public Exception {
public:
    EAssertionFailed() : Exception(QStringLiteral("Assertion failure")) {}
    explicit EAssertionFailed(const QString &AMessage) : Exception(AMessage) {}
    const char *ClassName() const noexcept override { return "EAssertionFailed"; }
};

#define COMMON_ASSERT(cond)                                                                                  \
    do {                                                                                                     \
        if (!(cond)) throw ::common::EAssertionFailed();                                                     \
    } while (false)

// One error report: the caption of the report (may be empty), the class name and the message.
struct ErrorReport {
    QString Caption;
    QString ClassName;
    QString Message;
};
using ErrorReporter = std::function<void(const ErrorReport &)>;

// Installs the process-wide reporter and returns the previous one. Without one installed,
// reports go to qWarning(). Call from the GUI thread only.
ErrorReporter SetErrorReporter(ErrorReporter AReporter);

// Hands an error to the reporter (GUI thread only). Standard exceptions are reported with
// their what() text; anything else as "Unknown error".
void ReportError(const ErrorReport &AReport);
void ReportException(const std::exception &AError, const QString &ACaption = QString());
// For use inside catch (...): reports the exception being handled.
void ReportCurrentException(const QString &ACaption = QString());

// Runs AFunction and reports whatever it throws, so that no exception leaves an event handler.
template <typename F> void Guarded(F &&AFunction, const QString &ACaption = QString()) {
    try {
        AFunction();
    } catch (...) {
        ReportCurrentException(ACaption);
    }
}

} // namespace common

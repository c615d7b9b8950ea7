// SPDX-License-Identifier: MIT
#include "common/Exception.h"

#include <QtDebug>

#include <typeinfo>

namespace common {

Exception::Exception(const QString &AMessage) : FMessage(AMessage), FUtf8(AMessage.toStdString()) {}

namespace {
ErrorReporter &CurrentReporter() {
    static ErrorReporter reporter;
    return reporter;
}
} // namespace

ErrorReporter SetErrorReporter(ErrorReporter AReporter) {
    ErrorReporter previous = std::move(CurrentReporter());
    CurrentReporter() = std::move(AReporter);
    return previous;
}

void ReportError(const ErrorReport &AReport) {
    const ErrorReporter &reporter = CurrentReporter();
    if (reporter) {
        reporter(AReport);
        return;
    }
    qWarning().noquote() << AReport.ClassName + QStringLiteral(": ") + AReport.Message;
}

void ReportException(const std::exception &AError, const QString &ACaption) {
    ErrorReport report;
    report.Caption = ACaption;
    if (auto *own = dynamic_cast<const Exception *>(&AError)) {
        report.ClassName = QString::fromLatin1(own->ClassName());
        report.Message = own->Message();
    } else {
        report.ClassName = QString::fromLatin1(typeid(AError).name());
        report.Message = QString::fromLocal8Bit(AError.what());
    }
    ReportError(report);
}

void ReportCurrentException(const QString &ACaption) {
    try {
        throw;
    } catch (const std::exception &e) {
        ReportException(e, ACaption);
    } catch (...) {
        ReportError({ACaption, QStringLiteral("Exception"), QStringLiteral("Unknown error")});
    }
}

} // namespace common

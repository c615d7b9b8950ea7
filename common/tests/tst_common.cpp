// SPDX-License-Identifier: MIT
#include "common/Exception.h"

#include <QtTest>

#include <stdexcept>

namespace {
COMMON_DECLARE_EXCEPTION(EDerived, common::Exception)
}

class TestCommon : public QObject {
    Q_OBJECT
private slots:
    void exceptionKeepsMessageAndClassName() {
        EDerived e(QStringLiteral("Fehler: é"));
        QCOMPARE(e.Message(), QStringLiteral("Fehler: é"));
        QCOMPARE(QString::fromLatin1(e.ClassName()), QStringLiteral("EDerived"));
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Fehler: é"));
    }

    void assertMacroThrowsAssertionFailure() {
        bool thrown = false;
        try {
            COMMON_ASSERT(1 + 1 == 3);
        } catch (const common::EAssertionFailed &e) {
            thrown = e.Message() == QStringLiteral("Assertion failure");
        }
        QVERIFY(thrown);
        COMMON_ASSERT(true); // must not throw
    }

    void guardedReportsEveryKindOfException() {
        QList<common::ErrorReport> seen;
        auto previous = common::SetErrorReporter([&](const common::ErrorReport &r) { seen << r; });
        common::Guarded([] { throw EDerived(QStringLiteral("one")); }, QStringLiteral("cap"));
        common::Guarded([] { throw std::runtime_error("two"); });
        common::Guarded([] { throw 42; });
        common::Guarded([] {});
        common::SetErrorReporter(previous);
        QCOMPARE(seen.size(), 3);
        QCOMPARE(seen[0].Caption, QStringLiteral("cap"));
        QCOMPARE(seen[0].ClassName, QStringLiteral("EDerived"));
        QCOMPARE(seen[0].Message, QStringLiteral("one"));
        QCOMPARE(seen[1].Message, QStringLiteral("two"));
        QCOMPARE(seen[2].Message, QStringLiteral("Unknown error"));
    }
};

QTEST_GUILESS_MAIN(TestCommon)
#include "tst_common.moc"

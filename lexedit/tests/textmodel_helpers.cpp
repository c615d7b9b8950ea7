// SPDX-License-Identifier: MIT
#include "textmodel_helpers.h"

namespace textmodel_test {

NotificationLog::NotificationLog(lexedit::TLexEditStringList &AList) {
    AList.OnChanging = [this](lexedit::TLexEditStringList *) { Entries << QStringLiteral("changing"); };
    AList.OnChange = [this](lexedit::TLexEditStringList *) { Entries << QStringLiteral("change"); };
    AList.OnCleared = [this](lexedit::TLexEditStringList *) { Entries << QStringLiteral("cleared"); };
    AList.OnInserted = [this](lexedit::TLexEditStringList *, int Index, int Count) {
        Entries << QStringLiteral("inserted %1 %2").arg(Index).arg(Count);
    };
    AList.OnDeleted = [this](lexedit::TLexEditStringList *, int Index, int Count) {
        Entries << QStringLiteral("deleted %1 %2").arg(Index).arg(Count);
    };
    AList.OnPut = [this](lexedit::TLexEditStringList *, int Index, const QString &Old) {
        Entries << QStringLiteral("put %1 %2").arg(Index).arg(Old);
    };
}

QStringList LinesOf(const lexedit::TLexEditStringList &AList) {
    return AList.ToStringList();
}

} // namespace textmodel_test

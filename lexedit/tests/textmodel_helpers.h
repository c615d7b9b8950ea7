// SPDX-License-Identifier: MIT
#pragma once
// Shared helpers of the text model tests: a recorder of line-buffer notifications.

#include "lexedit/LexEditTextBuffer.h"

#include <QString>
#include <QStringList>

namespace textmodel_test {

// Attaches to every notification of a list and logs one entry per call, e.g. "changing",
// "inserted 0 2", "put 1 old", "deleted 3 1", "cleared", "change".
class NotificationLog {
public:
    explicit NotificationLog(lexedit::TLexEditStringList &AList);
    QStringList Entries;
    void clear() { Entries.clear(); }
};

// A list's lines as a QStringList.
QStringList LinesOf(const lexedit::TLexEditStringList &AList);

} // namespace textmodel_test

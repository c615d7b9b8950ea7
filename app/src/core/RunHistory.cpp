// SPDX-License-Identifier: MIT
#include "RunHistory.h"

namespace app {

void TOutputBytes::AddLine(const QString &ARaw) {
    const qsizetype start = FBytes.size();
    FBytes.resize(start + ARaw.size() + 1);
    char *out = FBytes.data() + start;
    for (const QChar c : ARaw)
        *out++ = char(c.unicode());
    *out = '\n';
}

QString TRunRecord::Summary() const {
    QString text = QStringLiteral("#%1  %2  %3")
                       .arg(Number)
                       .arg(Started.toString(QStringLiteral("HH:mm:ss")), Outcome.StatusText());
    if (OutputDropped) text += QStringLiteral(" (output no longer kept)");
    return text;
}

const TRunRecord &TRunHistory::Add(TRunRecord ARecord) {
    ARecord.Number = FNextNumber++;
    FOutputBytes += ARecord.Output.size();
    FRuns.push_back(std::move(ARecord));
    if (int(FRuns.size()) > kMaxRuns) {
        FOutputBytes -= FRuns.front().Output.size();
        FRuns.pop_front();
    }
    for (auto run = FRuns.begin(); FOutputBytes > FBudget && run + 1 != FRuns.end(); ++run) {
        if (run->Output.isEmpty()) continue;
        FOutputBytes -= run->Output.size();
        run->Output = QByteArray();
        run->OutputDropped = true;
    }
    return FRuns.back();
}

const TRunRecord *TRunHistory::Find(int ANumber) const {
    for (const TRunRecord &run : FRuns)
        if (run.Number == ANumber) return &run;
    return nullptr;
}

} // namespace app

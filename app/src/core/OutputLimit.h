// SPDX-License-Identifier: MIT
#pragma once
// The bound on a run's output: a run that prints more than the limit is stopped, so a script
// that prints for ever cannot take all memory. The window and the batch mode share it.

#include <QString>
#include <QtGlobal>

namespace app {

// 256 MB: far above what a page of output needs, far below what fills the memory of a desktop.
inline constexpr qint64 kDefaultMaxOutput = qint64(256) << 20;

// Reads a size as a user writes it: "256 MB", "256M", "1.5G", "64k", "4096" (bytes), "0" or
// "none" (no limit). Units are binary (k = 1024). False for anything else.
bool ParseByteSize(const QString &AText, qint64 &ABytes);
// The size as ParseByteSize reads it back: "256 MB", "1 GB", "64 KB", "100 bytes", "none" for 0.
QString ByteSizeText(qint64 ABytes);

class TOutputLimit {
public:
    explicit TOutputLimit(qint64 AMaxBytes = kDefaultMaxOutput) : FMax(AMaxBytes) {}
    qint64 MaxBytes() const { return FMax; }
    // A new limit keeps the count: lowered during a run, it applies to what came already.
    void SetMaxBytes(qint64 AMaxBytes) { FMax = AMaxBytes; }
    // Counts an entire line (its text and a line end) or looks at a partial one (its text so far,
    // which its entire line replaces); true once the output has passed the limit.
    bool Add(qsizetype ALength, bool AEntireLine);
    bool Passed() const { return FPassed; }
    qint64 Bytes() const { return FBytes; }
    // "stopped: the output passed 256 MB"
    QString StopText() const;
    void Reset() {
        FBytes = 0;
        FPassed = false;
    }

private:
    qint64 FMax;
    qint64 FBytes = 0;
    bool FPassed = false;
};

} // namespace app

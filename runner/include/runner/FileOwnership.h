// SPDX-License-Identifier: MIT
#pragma once
// The ownership of a file written in place of another, from the runner's platform layer: the
// application reaches the system through it and includes no system header of its own.

#include <QString>

namespace runner {

// Gives the open file AFd the owner and group of the existing file AModel when they differ.
// Returns 0 when done, when there is nothing to compare with (AModel cannot be read, AFd is not
// an open file) and when this process may not give a file away (EPERM: the file keeps this
// process's ownership, as any editor's replacement of another user's file does); otherwise the
// error number, whose text FileErrorText gives.
int CopyOwnerAndGroup(const QString &AModel, int AFd);
QString FileErrorText(int AError);

} // namespace runner

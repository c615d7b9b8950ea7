// SPDX-License-Identifier: MIT
// The ownership of a replaced file (runner/FileOwnership.h).
#include "runner/FileOwnership.h"

#include "posix/Posix.h"

#include <QFile>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace runner {

int CopyOwnerAndGroup(const QString &AModel, int AFd) {
    struct stat old {};
    if (::stat(QFile::encodeName(AModel).constData(), &old) != 0) return 0;
    struct stat now {};
    if (AFd < 0 || ::fstat(AFd, &now) != 0) return 0;
    if (now.st_uid == old.st_uid && now.st_gid == old.st_gid) return 0;
    if (::fchown(AFd, old.st_uid, old.st_gid) == 0 || errno == EPERM) return 0;
    return errno;
}

QString FileErrorText(int AError) {
    return posix::ErrorText(AError);
}

} // namespace runner

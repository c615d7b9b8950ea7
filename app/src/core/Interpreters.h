// SPDX-License-Identifier: MIT
#pragma once
// The interpreters a script is compared on. Each is a command as a shell reads words: a path
// ("/usr/bin/php8.1") or a command with arguments ("docker run --rm -i -v {dir}:{dir} -w {dir}
// php:7.4-cli php"), where {dir} stands for the script's folder.

#include "RunSpec.h"

#include <QString>
#include <QStringList>

namespace app {

// The interpreters on PATH named php or phpX.Y (php8.2, php7.4), each once by its real file,
// as full file names: php first, then by version, newest first.
QStringList FindInterpretersOnPath(const QString &APath = QString::fromLocal8Bit(qgetenv("PATH")));

// The run of ABase's script on the interpreter command ACommand: its first word (found on PATH
// when it names no folder) becomes the interpreter, its other words go before ABase's own
// interpreter options, each {dir} replaced by the script's folder. Throws common::Exception with
// a sentence when the command is empty, its quoting is broken or its program is not found.
TRunSpec SpecForInterpreter(const TRunSpec &ABase, const QString &ACommand);

// The run that asks the interpreter of ASpec for its version: "-r 'echo PHP_VERSION;'" instead
// of the script and its parameters.
TRunSpec VersionQuery(const TRunSpec &ASpec);

} // namespace app

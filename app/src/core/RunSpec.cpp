#include "RunSpec.h"

#include "CommandLine.h"

namespace app {

QString TRunSpec::Commands() const {
    QStringList parts;
    if (!Interpreter.isEmpty()) parts << QuoteCommandArgument(Interpreter);
    if (!Script.isEmpty()) parts << QuoteCommandArgument(Script);
    return parts.join(QLatin1Char(' '));
}

QString TRunSpec::CommandLine() const {
    return BuildCommandLine(Commands(), Params);
}

} // namespace app

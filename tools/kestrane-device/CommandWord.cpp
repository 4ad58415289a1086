#include "CommandWord.h"

namespace kestrane {

bool TakesValue(const QString& argument) {
    return argument == QLatin1String("--device") || argument == QLatin1String("--password-file") ||
           argument == QLatin1String("--deploy-tool") || argument == QLatin1String("--network");
}

QString CommandWord(const QStringList& arguments) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (TakesValue(argument))
            ++i;
        else if (!argument.startsWith(QLatin1String("--")))
            return argument;
    }
    return {};
}

} // namespace kestrane

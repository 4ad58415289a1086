#include "SandboxPath.h"

#include <QStringList>

#include <algorithm>

namespace kestrane {
namespace {

bool IsControl(QChar c) {
    return c.category() == QChar::Other_Control;
}

} // namespace

QString SandboxPathProblem(const QString& path) {
    if (path.isEmpty())
        return QStringLiteral("No sandbox path given. Give a path in the application's sandbox, "
                              "%1.")
            .arg(SandboxPathExample);
    if (path.startsWith(QLatin1Char('/')))
        return QStringLiteral("\"%1\" starts with /. Give the path relative to the application's "
                              "sandbox, %2.")
            .arg(path, SandboxPathExample);
    if (std::any_of(path.begin(), path.end(), IsControl)) {
        QString shown = path;
        std::replace_if(shown.begin(), shown.end(), IsControl, QLatin1Char('?'));
        return QStringLiteral("\"%1\" holds a control character (a line break, a tab, ...). "
                              "Give the path of a file in the application's sandbox, %2.")
            .arg(shown, SandboxPathExample);
    }
    int depth = 0;
    for (const QString& part : path.split(QLatin1Char('/'))) {
        if (part.isEmpty())
            return QStringLiteral("\"%1\" has an empty part (// or a / at its end). Give the path "
                                  "of a file in the application's sandbox, %2.")
                .arg(path, SandboxPathExample);
        if (part == QLatin1String(".."))
            --depth;
        else if (part != QLatin1String("."))
            ++depth;
        if (depth < 0)
            return QStringLiteral("\"%1\" leaves the application's sandbox. Give a path inside "
                                  "it, %2.")
                .arg(path, SandboxPathExample);
    }
    if (depth == 0)
        return QStringLiteral("\"%1\" is the sandbox itself, not a file in it. Give a file's path, "
                              "%2.")
            .arg(path, SandboxPathExample);
    return {};
}

} // namespace kestrane

// libFuzzer target over the sandbox path check (device/SandboxPath.h) and what an accepted path
// becomes in the deploy tool's argument file: whatever a user types or pastes must either be
// refused with a sentence, or name a file that stays inside the sandbox and reach the tool as
// exactly one argument.
#include "ArgumentFile.h"
#include "SandboxPath.h"

#include <QDir>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString path = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString problem = kestrane::SandboxPathProblem(path);
    if (!problem.isEmpty()) {
        // A refusal says what to give instead.
        if (!problem.contains(kestrane::SandboxPathExample))
            std::abort();
        return 0;
    }
    // Accepted: relative, no empty part, no control character, and resolved under the sandbox's
    // top it stays below it.
    if (path.startsWith(QLatin1Char('/')) || path.split(QLatin1Char('/')).contains(QString()))
        std::abort();
    for (const QChar c : path)
        if (c.category() == QChar::Other_Control)
            std::abort();
    const QString top = QStringLiteral("/accounts/1000/appdata/sandbox");
    const QString resolved = QDir::cleanPath(top + QLatin1Char('/') + path);
    if (!resolved.startsWith(top + QLatin1Char('/')))
        std::abort();
    // In the argument file it is one line: quoted, with no line break inside.
    const QByteArray line = kestrane::JavaArgumentFileText({path});
    if (line.count('\n') != 1 || !line.endsWith("\"\n") || !line.startsWith('"'))
        std::abort();
    return 0;
}

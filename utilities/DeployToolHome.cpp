#include "DeployToolHome.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QSaveFile>

namespace kestrane {

QString KestraneStateFolder() {
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative XDG_STATE_HOME is ignored, as the XDG base directory rules say.
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg + QStringLiteral("/kestrane");
    return QDir::homePath() + QStringLiteral("/.local/state/kestrane");
}

QString DeployToolHome() {
    const QString home = KestraneStateFolder() + QStringLiteral("/deploy-tool");
    if (!QDir().mkpath(home))
        return {};
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                         QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
    if (!QFile::setPermissions(home, ownerOnly))
        return {};
    return home;
}

QString DeployDataPath(const QString& toolHome) {
    return toolHome + QStringLiteral("/.deployData");
}

void RemoveEmptyLoginEntry(const QString& toolHome, const QString& address) {
    if (toolHome.isEmpty() || address.isEmpty())
        return;
    QFile file(DeployDataPath(toolHome));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray emptyEntry = QFile::encodeName(address) + '=';
    QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    const qsizetype before = lines.size();
    lines.removeIf(
        [&](const QByteArray& line) { return line == emptyEntry || line == emptyEntry + '\r'; });
    if (lines.size() == before)
        return;
    QSaveFile replacement(file.fileName());
    if (!replacement.open(QIODevice::WriteOnly))
        return;
    replacement.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    replacement.write(lines.join('\n'));
    replacement.commit();
}

} // namespace kestrane

#include "SandboxFileTransfer.h"

#include "FileDialog.h"
#include "MessageBox.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QWidget>

namespace kestrane {
namespace {

QString& LastSandboxFolder() {
    static QString folder = QStringLiteral("data/");
    return folder;
}

QString& LastLocalFolder() {
    static QString folder;
    return folder;
}

void RememberSandboxFolder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    LastSandboxFolder() = slash < 0 ? QString() : path.left(slash + 1);
}

// The box that ends a transfer, unless the window went meanwhile.
void Report(const QPointer<QWidget>& window, const SandboxOutcome& outcome,
            const QString& success) {
    if (!window)
        return;
    if (outcome.verdict.succeeded) {
        MessageBox::plain(window, success);
        return;
    }
    MessageBox::show(window, {MessageBox::Kind::Error, ApplicationTitle(),
                              outcome.verdict.errorText, MessageBox::Ok, outcome.verdict.details});
}

} // namespace

SandboxFileTransfer::SandboxFileTransfer(QWidget* window, SandboxCommands commands, SandboxApp app)
    : window_(window), commands_(std::move(commands)), app_(std::move(app)) {}

bool SandboxFileTransfer::askSandboxPath(const QString& caption, const QString& label,
                                         QString& path) const {
    if (!MessageBox::askText(window_, caption, label, path))
        return false;
    path = path.trimmed();
    if (const QString problem = SandboxPathProblem(path); !problem.isEmpty()) {
        MessageBox::show(window_, {MessageBox::Kind::Error, ApplicationTitle(), problem});
        return false;
    }
    RememberSandboxFolder(path);
    return true;
}

void SandboxFileTransfer::getFile() const {
    QString path = LastSandboxFolder();
    if (!askSandboxPath(QStringLiteral("Get File"),
                        QStringLiteral("The file in %1's sandbox to get (a path such as "
                                       "data/notes.txt or logs/log):")
                            .arg(app_.name),
                        path))
        return;
    const QString suggested =
        QDir(LastLocalFolder().isEmpty() ? QDir::currentPath() : LastLocalFolder())
            .filePath(QFileInfo(path).fileName());
    const QString destination = FileDialog::getSaveFileName(
        window_, {QStringLiteral("Save %1 As").arg(path), QString(), suggested});
    if (destination.isEmpty())
        return;
    LastLocalFolder() = QFileInfo(destination).absolutePath();
    const QString success =
        QStringLiteral("%1 of %2 is saved as %3.").arg(path, app_.name, destination);
    commands_.getFile(app_, path, destination,
                      [window = QPointer<QWidget>(window_), success](const SandboxOutcome& done) {
                          Report(window, done, success);
                      });
}

void SandboxFileTransfer::putFile() const {
    const QString hostFile =
        FileDialog::getOpenFileNames(window_,
                                     {QStringLiteral("Put a File into %1's Sandbox").arg(app_.name),
                                      QStringLiteral("All files (*)"), LastLocalFolder()})
            .value(0);
    if (hostFile.isEmpty())
        return;
    const QFileInfo info(hostFile);
    LastLocalFolder() = info.absolutePath();
    QString path = LastSandboxFolder() + info.fileName();
    if (!askSandboxPath(QStringLiteral("Put File"),
                        QStringLiteral("Where to store %1 in %2's sandbox (a path such as "
                                       "data/%1):")
                            .arg(info.fileName(), app_.name),
                        path))
        return;
    const QString success =
        QStringLiteral("%1 is stored in %2's sandbox as %3.").arg(info.fileName(), app_.name, path);
    commands_.putFile(app_, hostFile, path,
                      [window = QPointer<QWidget>(window_), success](const SandboxOutcome& done) {
                          Report(window, done, success);
                      });
}

} // namespace kestrane

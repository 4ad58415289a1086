#include "Sandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace kestrane {

namespace {

// The verdict of a fetch or a store, with the device's "file not found" in plain words.
SandboxOutcome Judged(const DeviceContext& context, const CommandResult& result,
                      const QString& notFoundMessage) {
    SandboxOutcome outcome;
    outcome.verdict = context.judge(result);
    if (!outcome.verdict.succeeded && outcome.verdict.kind == FailureKind::DeviceRefused &&
        result.output.contains(QStringLiteral("result::failure 404"))) {
        outcome.notFound = true;
        outcome.verdict.errorText = notFoundMessage;
        outcome.verdict.reason = QStringLiteral("not found (404)");
    }
    return outcome;
}

DeviceCommandRunner::Settings SettingsFor(std::chrono::milliseconds silenceLimit,
                                          std::function<void()> whenEnded = {}) {
    DeviceCommandRunner::Settings settings;
    settings.silenceLimit = silenceLimit;
    settings.whenEnded = std::move(whenEnded);
    return settings;
}

QString NoFileMessage(const SandboxApp& app, const QString& path) {
    return QStringLiteral("%1 has no file \"%2\" in its sandbox. Check the path: it is relative "
                          "to the sandbox, %3.")
        .arg(app.name, path, SandboxPathExample);
}

} // namespace

FetchedFile::FetchedFile(QString destination) : destination_(std::move(destination)) {
    const QFileInfo info(destination_);
    if (info.isDir()) {
        error_ = QStringLiteral("%1 is a folder. Give the name of the file to save, such as "
                                "%1/log.txt.")
                     .arg(destination_);
        return;
    }
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        error_ = QStringLiteral("The folder %1 does not exist. Create it, or save elsewhere.")
                     .arg(folder);
        return;
    }
    // A hidden name beside the destination: the rename stays on one file system.
    QTemporaryFile file(folder + QStringLiteral("/.") + info.fileName() +
                        QStringLiteral(".XXXXXX.part"));
    file.setAutoRemove(false);
    if (!file.open()) {
        error_ = QStringLiteral("Cannot write in the folder %1 (%2). Save elsewhere, or make the "
                                "folder writable.")
                     .arg(folder, file.errorString());
        return;
    }
    temporary_ = file.fileName();
}

FetchedFile::~FetchedFile() {
    if (!temporary_.isEmpty())
        QFile::remove(temporary_);
}

QString FetchedFile::finish(bool toolSucceeded) {
    if (temporary_.isEmpty())
        return {};
    const QString temporary = std::exchange(temporary_, QString());
    if (!toolSucceeded) {
        QFile::remove(temporary);
        return {};
    }
    // rename() replaces an existing file in one step; QFile::rename would refuse it.
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(destination_).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(temporary);
        return QStringLiteral("The file came, but could not be saved as %1 (%2). Save it "
                              "elsewhere.")
            .arg(destination_, reason);
    }
    return {};
}

QByteArray ReadTail(const QString& path, qsizetype limit) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size <= limit)
        return file.readAll();
    file.seek(size - limit);
    QByteArray tail = file.read(limit);
    // The cut line is left out: the tail starts with a whole line.
    const qsizetype newline = tail.indexOf('\n');
    if (newline >= 0)
        tail.remove(0, newline + 1);
    return tail;
}

std::optional<int> ReadExitCode(const QString& output) {
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        const QString text = line->trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1String("Info:")))
            continue;
        bool number = false;
        const int code = text.toInt(&number);
        if (number)
            return code;
        return std::nullopt;
    }
    return std::nullopt;
}

SandboxOutcome SandboxInputFailure(const QString& message) {
    SandboxOutcome outcome;
    outcome.verdict = CommandVerdict(false, message, FailureKind::LocalFile, message);
    return outcome;
}

void SandboxCommands::getFile(const SandboxApp& app, const QString& path,
                              const QString& destination, SandboxDone done) const {
    if (const QString problem = SandboxPathProblem(path); !problem.isEmpty())
        return done(SandboxInputFailure(problem));
    auto fetched = std::make_shared<FetchedFile>(destination);
    if (!fetched->error().isEmpty())
        return done(SandboxInputFailure(fetched->error()));
    const DeployInvocation invocation = DeployCommand(
        context.tool, DeployAction::GetFile, target.address, target.password,
        SandboxFileArguments(path, fetched->temporaryPath(), app.packageName, app.packageId));
    start(invocation, SettingsFor(silenceLimit),
          [context = context, app, path, fetched, done](const CommandResult& result) {
              SandboxOutcome outcome = Judged(context, result, NoFileMessage(app, path));
              const QString saved = fetched->finish(outcome.verdict.succeeded);
              if (!saved.isEmpty())
                  outcome = SandboxInputFailure(saved);
              done(outcome);
          });
}

void SandboxCommands::fetchBytes(const SandboxApp& app, const QString& path, qsizetype limit,
                                 SandboxDone done) const {
    if (const QString problem = SandboxPathProblem(path); !problem.isEmpty())
        return done(SandboxInputFailure(problem));
    auto file = std::make_shared<QTemporaryFile>(QDir::tempPath() +
                                                 QStringLiteral("/kestrane-sandbox-XXXXXX"));
    if (!file->open())
        return done(SandboxInputFailure(QStringLiteral("Cannot create a temporary file in %1 (%2).")
                                            .arg(QDir::tempPath(), file->errorString())));
    file->close();
    const DeployInvocation invocation =
        DeployCommand(context.tool, DeployAction::GetFile, target.address, target.password,
                      SandboxFileArguments(path, file->fileName(), app.packageName, app.packageId));
    start(invocation, SettingsFor(silenceLimit),
          [context = context, app, path, file, limit, done](const CommandResult& result) {
              SandboxOutcome outcome = Judged(context, result, NoFileMessage(app, path));
              if (outcome.verdict.succeeded)
                  outcome.bytes = ReadTail(file->fileName(), limit);
              done(outcome);
          });
}

void SandboxCommands::putFile(const SandboxApp& app, const QString& hostFile, const QString& path,
                              SandboxDone done) const {
    if (const QString problem = SandboxPathProblem(path); !problem.isEmpty())
        return done(SandboxInputFailure(problem));
    const QFileInfo info(hostFile);
    if (!info.isFile() || !info.isReadable())
        return done(SandboxInputFailure(
            QStringLiteral("%1 is not a file that can be read. Choose the file to put.")
                .arg(hostFile)));
    const DeployInvocation invocation = DeployCommand(
        context.tool, DeployAction::PutFile, target.address, target.password,
        SandboxFileArguments(info.absoluteFilePath(), path, app.packageName, app.packageId));
    start(invocation, SettingsFor(silenceLimit),
          [context = context, app, path, done](const CommandResult& result) {
              done(Judged(context, result,
                          QStringLiteral("%1's sandbox has no folder for \"%2\". Check the path: "
                                         "it is relative to the sandbox, %3.")
                              .arg(app.name, path, SandboxPathExample)));
          });
}

void SandboxCommands::readExitCode(const SandboxApp& app, SandboxDone done) const {
    const DeployInvocation invocation =
        DeployCommand(context.tool, DeployAction::PrintExitCode, target.address, target.password,
                      PackageArguments(app.packageName, app.packageId));
    start(invocation, SettingsFor(silenceLimit),
          [context = context, app, done](const CommandResult& result) {
              SandboxOutcome outcome =
                  Judged(context, result,
                         QStringLiteral("%1 has not exited: it is running, or it has not run "
                                        "since it was installed.")
                             .arg(app.name));
              if (outcome.verdict.succeeded) {
                  outcome.exitCode = ReadExitCode(result.output);
                  if (!outcome.exitCode)
                      outcome.verdict = CommandVerdict(
                          false,
                          QStringLiteral("The device sent no exit code for %1.").arg(app.name),
                          FailureKind::NoResult, QStringLiteral("no exit code"),
                          result.output.trimmed());
              }
              done(outcome);
          });
}

} // namespace kestrane

#include "SandboxCommand.h"

#include "ConsoleRunner.h"
#include "DeviceCommandRunner.h"
#include "LoginAttempts.h"
#include "Sandbox.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>

namespace kestrane::cli {
namespace {

// How often --follow fetches the log again.
constexpr int FollowIntervalMs = 2000;

volatile std::sig_atomic_t interrupted = 0;

void Interrupted(int) {
    interrupted = 1;
}

void Print(std::FILE* out, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), out);
    std::fflush(out);
}

QString Json(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
           QLatin1Char('\n');
}

// Copies the file's bytes from offset on to standard output as they are; the new offset.
qint64 CopyToStandardOutput(const QString& path, qint64 offset) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(offset))
        return offset;
    while (!file.atEnd()) {
        const QByteArray piece = file.read(64 * 1024);
        if (piece.isEmpty())
            break;
        std::fwrite(piece.constData(), 1, static_cast<size_t>(piece.size()), stdout);
        offset += piece.size();
    }
    std::fflush(stdout);
    return offset;
}

class SandboxSession {
public:
    SandboxSession(SandboxRequest request, DeviceContext context, QString address, QString password)
        : request_(std::move(request)), context_(std::move(context)), address_(std::move(address)),
          password_(std::move(password)), runner_(std::make_shared<ProcessConsoleRunner>()) {
        if (const QByteArray limit = qgetenv("KESTRANE_DEVICE_SILENCE_MS"); !limit.isEmpty())
            runner_.silenceLimits().device = std::chrono::milliseconds(limit.toLongLong());
        auto attempts = std::make_shared<LoginAttempts>();
        attempts->setAdvice(QStringLiteral("Check the password; to send it anyway, give "
                                           "--spend-last-attempt."));
        if (request_.spendLastAttempt)
            attempts->allowEveryLastAttempt();
        runner_.setLoginAttempts(std::move(attempts));
    }

    int run() {
        // Following ends with Ctrl+C: the command that runs then ends, and the temporary folder
        // goes with this object.
        if (request_.follow) {
            std::signal(SIGINT, Interrupted);
            std::signal(SIGTERM, Interrupted);
        }
        const CommandCheck check = CheckBeforeDeviceCommand(context_, address_);
        if (!check.ready())
            return fail(DeviceExitCode(check.kind), check.message);
        runner_.run(
            DeployCommand(context_.tool, DeployAction::ListInstalledApps, address_, password_),
            context_.javaBinDir, settings(), [this](const CommandResult& result) {
                const AppListing listing = ReadAppListing(context_, result);
                if (!listing.verdict.succeeded)
                    return end(
                        fail(DeviceExitCode(listing.verdict.kind), listing.verdict.errorText));
                if (!findPackage(listing.apps))
                    return end(fail(1, QStringLiteral("no package \"%1\" is installed on "
                                                      "the device")
                                           .arg(request_.arguments.value(0))));
                startCommand();
            });
        QCoreApplication::exec();
        return exitCode_;
    }

private:
    DeviceCommandRunner::Settings settings() {
        DeviceCommandRunner::Settings settings;
        settings.silenceLimit = runner_.silenceLimits().device;
        return settings;
    }

    SandboxCommands commands() {
        SandboxCommands commands;
        commands.start = [this](const DeployInvocation& invocation,
                                const DeviceCommandRunner::Settings& settings,
                                DeviceCommandRunner::Continuation whenDone) {
            return runner_.run(invocation, context_.javaBinDir, settings, std::move(whenDone));
        };
        commands.context = context_;
        commands.target = {address_, password_};
        commands.silenceLimit = runner_.silenceLimits().device;
        return commands;
    }

    bool findPackage(const QList<InstalledApp>& apps) {
        const QString wanted = request_.arguments.value(0);
        for (const InstalledApp& app : apps) {
            if (wanted == app.packageName ||
                wanted == app.packageName + QLatin1Char('.') + app.packageId) {
                app_ = {app.appName, app.packageName, app.packageId};
                return true;
            }
        }
        return false;
    }

    int fail(int exitCode, const QString& message) {
        Print(stderr, QStringLiteral("kestrane-device: %1: %2\n").arg(address_, message.trimmed()));
        return exitCode;
    }

    int failed(const SandboxOutcome& outcome) {
        return fail(DeviceExitCode(outcome.verdict.kind), outcome.verdict.errorText);
    }

    void end(int exitCode) {
        exitCode_ = exitCode;
        QCoreApplication::quit();
    }

    void startCommand() {
        switch (request_.command) {
        case SandboxCommand::Log:
            return fetchLog();
        case SandboxCommand::ExitCode:
            return commands().readExitCode(app_, [this](const SandboxOutcome& outcome) {
                if (!outcome.verdict.succeeded && !outcome.notFound)
                    return end(failed(outcome));
                printExitCode(outcome.exitCode);
                end(0);
            });
        case SandboxCommand::Get:
            return get();
        case SandboxCommand::Put:
            return put();
        }
    }

    void printExitCode(const std::optional<int>& code) {
        if (request_.json) {
            Print(stdout, Json({{"device", address_},
                                {"package", app_.packageName},
                                {"exited", code.has_value()},
                                {"exitCode", code ? QJsonValue(*code) : QJsonValue()}}));
            return;
        }
        Print(stdout, code ? QString::number(*code) + QLatin1Char('\n')
                           : QStringLiteral("%1 has not exited: it is running, or it has not run "
                                            "since it was installed\n")
                                 .arg(app_.packageName));
    }

    // The log is fetched whole each time, into a private temporary folder; what is new since the
    // last time is printed. A log shorter than what was printed started over.
    void fetchLog() {
        if (!folder_.isValid())
            return end(fail(
                1,
                QStringLiteral("cannot create a temporary folder: %1").arg(folder_.errorString())));
        const QString copy = folder_.filePath(QStringLiteral("log"));
        commands().getFile(app_, SandboxLogPath, copy, [this, copy](const SandboxOutcome& outcome) {
            // Ctrl+C reaches the deploy tool too: its end is no failure.
            if (interrupted)
                return end(0);
            if (!outcome.verdict.succeeded && !(outcome.notFound && request_.follow))
                return end(failed(outcome));
            const qint64 size = outcome.verdict.succeeded ? QFileInfo(copy).size() : 0;
            if (size < printed_) {
                Print(stdout, QStringLiteral("-- kestrane-device: the log of %1 started over --\n")
                                  .arg(app_.packageName));
                printed_ = 0;
            }
            if (outcome.verdict.succeeded)
                printed_ = CopyToStandardOutput(copy, printed_);
            if (!request_.follow)
                return end(0);
            followLater();
        });
    }

    void followLater() {
        auto* waited = new int(0);
        auto* timer = new QTimer(QCoreApplication::instance());
        timer->setInterval(100);
        QObject::connect(timer, &QTimer::timeout, [this, timer, waited] {
            if (interrupted) {
                timer->deleteLater();
                delete waited;
                return end(0);
            }
            *waited += 100;
            if (*waited < FollowIntervalMs)
                return;
            timer->deleteLater();
            delete waited;
            fetchLog();
        });
        timer->start();
    }

    void get() {
        const QString path = request_.arguments.value(1);
        QString destination = request_.arguments.value(2);
        const bool toOutput = destination == QLatin1String("-");
        if (destination.isEmpty())
            destination = path.section(QLatin1Char('/'), -1);
        if (toOutput) {
            if (!folder_.isValid())
                return end(fail(1, QStringLiteral("cannot create a temporary folder: %1")
                                       .arg(folder_.errorString())));
            destination = folder_.filePath(QStringLiteral("file"));
        }
        commands().getFile(app_, path, destination,
                           [this, path, destination, toOutput](const SandboxOutcome& outcome) {
                               if (!outcome.verdict.succeeded)
                                   return end(failed(outcome));
                               if (toOutput) {
                                   CopyToStandardOutput(destination, 0);
                                   return end(0);
                               }
                               const qint64 size = QFileInfo(destination).size();
                               Print(stdout, request_.json
                                                 ? Json({{"device", address_},
                                                         {"package", app_.packageName},
                                                         {"path", path},
                                                         {"saved", destination},
                                                         {"bytes", size}})
                                                 : QStringLiteral("%1 saved as %2 (%3 bytes)\n")
                                                       .arg(path, destination)
                                                       .arg(size));
                               end(0);
                           });
    }

    void put() {
        const QString file = request_.arguments.value(1);
        const QString path = request_.arguments.value(2);
        commands().putFile(app_, file, path, [this, file, path](const SandboxOutcome& outcome) {
            if (!outcome.verdict.succeeded)
                return end(failed(outcome));
            Print(stdout, request_.json ? Json({{"device", address_},
                                                {"package", app_.packageName},
                                                {"path", path},
                                                {"put", file}})
                                        : QStringLiteral("%1 put as %2\n").arg(file, path));
            end(0);
        });
    }

    SandboxRequest request_;
    DeviceContext context_;
    QString address_;
    QString password_;
    DeviceCommandRunner runner_;
    SandboxApp app_;
    QTemporaryDir folder_;
    qint64 printed_ = 0;
    int exitCode_ = 0;
};

} // namespace

QString SandboxArgumentProblem(const SandboxRequest& request) {
    const qsizetype count = request.arguments.size();
    switch (request.command) {
    case SandboxCommand::Log:
    case SandboxCommand::ExitCode:
        if (count != 1)
            return QStringLiteral("%1 takes one PACKAGE")
                .arg(request.command == SandboxCommand::Log ? QStringLiteral("log")
                                                            : QStringLiteral("exit-code"));
        break;
    case SandboxCommand::Get:
        if (count < 2 || count > 3)
            return QStringLiteral("get takes PACKAGE PATH [DEST]");
        break;
    case SandboxCommand::Put:
        if (count != 3)
            return QStringLiteral("put takes PACKAGE FILE PATH");
        break;
    }
    if (request.follow && request.command != SandboxCommand::Log)
        return QStringLiteral("--follow goes with log");
    const QString path = request.command == SandboxCommand::Get   ? request.arguments.value(1)
                         : request.command == SandboxCommand::Put ? request.arguments.value(2)
                                                                  : QString();
    if (request.command == SandboxCommand::Get || request.command == SandboxCommand::Put) {
        const QString problem = SandboxPathProblem(path);
        if (!problem.isEmpty())
            return problem;
    }
    if (request.command == SandboxCommand::Put) {
        const QFileInfo file(request.arguments.value(1));
        if (!file.isFile() || !file.isReadable())
            return QStringLiteral("%1: no such file, or it cannot be read")
                .arg(request.arguments.value(1));
    }
    return {};
}

int RunSandbox(const SandboxRequest& request, const DeviceContext& context, const QString& address,
               const QString& password) {
    SandboxSession session(request, context, address, password);
    return session.run();
}

} // namespace kestrane::cli

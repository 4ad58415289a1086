// kestrane-device: what the window does with a device, from the command line and on several
// devices at once: its information, its applications, installations and application actions.

#include "AppActionQueue.h"
#include "BarInfo.h"
#include "CommandReaper.h"
#include "DeployToolHome.h"
#include "DeployToolLookup.h"
#include "DeviceCommandRunner.h"
#include "DeviceOperations.h"
#include "Discover.h"
#include "InstallPreflight.h"
#include "InstallRun.h"
#include "KeptPassword.h"
#include "Output.h"
#include "RegistryView.h"
#include "SandboxCommand.h"
#include "Settings.h"
#include "TempFolder.h"
#include "Terminal.h"
#include "TextUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <variant>

namespace kestrane::cli {
namespace {

// At most this many devices are worked on at the same time.
constexpr int ParallelDevices = 4;

const char HelpText[] =
    "usage: kestrane-device [--device ADDRESS]... [--json] [--password-file FILE]\n"
    "                       [--deploy-tool DIR] [--spend-last-attempt] COMMAND [ARG...]\n"
    "       kestrane-device [--json] discover [--network CIDR]...\n"
    "       kestrane-device forget-password --device ADDRESS\n"
    "\n"
    "Commands:\n"
    "  info                      the device's identity\n"
    "  apps                      the installed applications: name, version, package, id\n"
    "  install [--launch] BAR... install BAR files one after the other (--launch: launch each\n"
    "                            in the same run; a BAR installed but not launched is a\n"
    "                            refusal, exit 2); a debug token BAR is installed as one,\n"
    "                            before the applications; afterwards the device's list must\n"
    "                            show each application at its BAR's version (else exit 2)\n"
    "  status PACKAGE...         whether the applications run\n"
    "  launch PACKAGE...         launch applications\n"
    "  terminate PACKAGE...      terminate applications\n"
    "  uninstall PACKAGE...      uninstall applications\n"
    "  log [--follow] PACKAGE    print the application's log (logs/log in its sandbox);\n"
    "                            --follow: fetch it again every two seconds and print what\n"
    "                            is new, until Ctrl+C (a log that shrank starts over, after\n"
    "                            a marker line)\n"
    "  exit-code PACKAGE         the exit code of the application once it has exited, or\n"
    "                            that it has not exited (exit 0 either way)\n"
    "  get PACKAGE PATH [DEST]   copy PATH of the application's sandbox (such as data/FILE)\n"
    "                            to DEST (default: the file's name in the current folder;\n"
    "                            - for standard output); DEST gets only a whole file\n"
    "  put PACKAGE FILE PATH     copy FILE into the application's sandbox as PATH\n"
    "  discover                  find devices in Development Mode on USB and the local\n"
    "                            network (no --device, no password): address, model, OS,\n"
    "                            PIN, Development Mode, setup finished; exit 0 when a\n"
    "                            device answered, 5 when none did\n"
    "  forget-password           remove the password the desktop keyring keeps for the\n"
    "                            device remembered at the one --device ADDRESS\n"
    "PACKAGE is a package name as 'apps' lists it or NAME.ID; it is looked up on the device.\n"
    "PATH is relative to the sandbox (app, data, db, logs, shared, tmp), without a leading /\n"
    "or a .. that leaves it; log, exit-code, get and put take one --device.\n"
    "\n"
    "Options:\n"
    "  --device ADDRESS     a device's address (IPv4); given several times, the command runs on\n"
    "                       each device, a few at a time, and ends with one line per device\n"
    "  --json               one JSON object per line\n"
    "  --follow             log: keep printing what the log gains\n"
    "  --password-file FILE the device password is the file's first line\n"
    "  --deploy-tool DIR    the folder of BlackBerry's deploy tool (BarDeploy.jar and its six\n"
    "                       companion jars)\n"
    "  --spend-last-attempt send the password also to a device whose last answer left one\n"
    "                       attempt (\"9 of 10 failed attempts\"); without it such a device is "
    "not\n"
    "                       asked (exit 3): one more wrong password and it refuses every password\n"
    "                       until the password is typed on the device itself\n"
    "  --network CIDR       discover: look only in this network (such as 192.168.1.0/24, at\n"
    "                       most a /16; loopback too when given); may be given several times\n"
    "  --help               this text\n"
    "The password comes from KESTRANE_DEVICE_PASSWORD, --password-file, the desktop keyring\n"
    "(with one --device: the password Kestrane's window was asked to remember for the device\n"
    "remembered at that address; removed from the keyring when the device refuses it), or is\n"
    "asked for on the terminal without echo; it is never an argument. The deploy tool receives it "
    "through an\n"
    "argument file only this user can read, in Kestrane's private temporary folder. Each\n"
    "device's count of failed attempts is kept in Kestrane's state folder\n"
    "(~/.local/state/kestrane/login-attempts) until a password is accepted.\n"
    "\n"
    "The deploy tool is looked for, in this order:\n"
    "  1. the folder given with --deploy-tool, else the folder chosen in Kestrane's window\n"
    "     (deployTool/folder in ~/.config/kestrane/kestrane.ini);\n"
    "  2. the folder named by the environment variable KESTRANE_DEPLOY_TOOL;\n"
    "  3. the BlackBerry 10 Native SDK: ~/bbndk/host_*/linux/x86/usr/lib, the newest host\n"
    "     version first, then the same below /opt/bbndk;\n"
    "  4. ~/.local/share/kestrane/deploy-tool (below $XDG_DATA_HOME when set);\n"
    "  5. the bundled device simulator, lib/BarDeploy.jar beside this program.\n"
    "A folder counts only when it holds BarDeploy.jar and its six companion jars; one that\n"
    "lacks some is named with them (an error for --deploy-tool, a warning otherwise). Which\n"
    "tool answers is said on standard error. Kestrane's own lib/deploy-tls.security is passed\n"
    "to Java whatever tool answers.\n"
    "\n"
    "Exit codes:\n"
    "  0  all succeeded\n"
    "  1  bad usage or input (nothing was run)\n"
    "  2  a device refused a command, or does not list an application it installed\n"
    "  3  wrong password, or not sent: one attempt left (see --spend-last-attempt)\n"
    "  4  no attempts left: the device takes no more passwords until reset on it\n"
    "  5  a device was not reachable or did not answer\n"
    "  6  the Java runtime or the deploy tool is missing (or --deploy-tool DIR lacks a jar)\n"
    "With several devices, the code of the first failing device in the order given.\n";

enum class Command {
    Info,
    Apps,
    Install,
    Status,
    Launch,
    Terminate,
    Uninstall,
    Log,
    ExitCode,
    Get,
    Put
};

std::optional<SandboxCommand> SandboxCommandOf(Command command) {
    switch (command) {
    case Command::Log:
        return SandboxCommand::Log;
    case Command::ExitCode:
        return SandboxCommand::ExitCode;
    case Command::Get:
        return SandboxCommand::Get;
    case Command::Put:
        return SandboxCommand::Put;
    default:
        return std::nullopt;
    }
}

struct Options {
    QStringList devices;
    bool json = false;
    bool launch = false;
    bool follow = false;
    bool spendLastAttempt = false;
    QString passwordFile;
    QString deployTool;
    Command command = Command::Info;
    QStringList arguments;
};

void Say(const QString& text) {
    std::fprintf(stderr, "kestrane-device: %s\n", qPrintable(text));
}

// Bad usage or input: says so, exit code 1.
int BadInput(const QString& text) {
    Say(text);
    return 1;
}

std::optional<Command> CommandNamed(const QString& name) {
    static const QMap<QString, Command> commands{
        {QStringLiteral("info"), Command::Info},
        {QStringLiteral("apps"), Command::Apps},
        {QStringLiteral("install"), Command::Install},
        {QStringLiteral("status"), Command::Status},
        {QStringLiteral("launch"), Command::Launch},
        {QStringLiteral("terminate"), Command::Terminate},
        {QStringLiteral("uninstall"), Command::Uninstall},
        {QStringLiteral("log"), Command::Log},
        {QStringLiteral("exit-code"), Command::ExitCode},
        {QStringLiteral("get"), Command::Get},
        {QStringLiteral("put"), Command::Put},
    };
    const auto found = commands.find(name);
    if (found == commands.end())
        return std::nullopt;
    return *found;
}

DeployAction ActionOf(Command command) {
    switch (command) {
    case Command::Status:
        return DeployAction::IsAppRunning;
    case Command::Launch:
        return DeployAction::LaunchApp;
    case Command::Terminate:
        return DeployAction::TerminateApp;
    default:
        return DeployAction::UninstallApp;
    }
}

// Parses the arguments; the text of what is wrong when they are not usable.
std::variant<Options, QString> Parse(const QStringList& arguments) {
    Options options;
    std::optional<Command> command;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument.startsWith(QStringLiteral("--"))) {
            if (argument == QStringLiteral("--")) {
                optionsEnded = true;
            } else if (argument == QStringLiteral("--json")) {
                options.json = true;
            } else if (argument == QStringLiteral("--launch")) {
                options.launch = true;
            } else if (argument == QStringLiteral("--follow")) {
                options.follow = true;
            } else if (argument == QStringLiteral("--spend-last-attempt")) {
                options.spendLastAttempt = true;
            } else if (argument == QStringLiteral("--device") ||
                       argument == QStringLiteral("--password-file") ||
                       argument == QStringLiteral("--deploy-tool")) {
                if (i + 1 >= arguments.size())
                    return QStringLiteral("%1 needs a value").arg(argument);
                const QString& value = arguments[++i];
                if (argument == QStringLiteral("--device"))
                    options.devices.append(value);
                else if (argument == QStringLiteral("--password-file"))
                    options.passwordFile = value;
                else
                    options.deployTool = value;
            } else if (argument.startsWith(QStringLiteral("--device="))) {
                options.devices.append(argument.section(QLatin1Char('='), 1));
            } else if (argument.startsWith(QStringLiteral("--deploy-tool="))) {
                options.deployTool = argument.section(QLatin1Char('='), 1);
            } else if (argument == QStringLiteral("--password")) {
                return QStringLiteral("the password is never an argument: use "
                                      "KESTRANE_DEVICE_PASSWORD or --password-file");
            } else {
                return QStringLiteral("unknown option %1").arg(argument);
            }
        } else if (!command) {
            command = CommandNamed(argument);
            if (!command)
                return QStringLiteral("unknown command \"%1\"").arg(argument);
        } else {
            options.arguments.append(argument);
        }
    }
    if (!command)
        return QStringLiteral("no command given (see --help)");
    options.command = *command;
    if (options.devices.isEmpty())
        return QStringLiteral("no device given: use --device ADDRESS");
    for (const QString& device : std::as_const(options.devices)) {
        const QString bad = InvalidAddressMessage(device);
        if (!bad.isEmpty())
            return bad;
    }
    if (const auto sandbox = SandboxCommandOf(*command)) {
        if (options.devices.size() > 1)
            return QStringLiteral("log, exit-code, get and put take one --device");
        if (options.launch)
            return QStringLiteral("--launch goes with install");
        const QString problem = SandboxArgumentProblem(
            {*sandbox, options.arguments, options.follow, options.json, false});
        if (!problem.isEmpty())
            return problem;
        return options;
    }
    if (options.follow)
        return QStringLiteral("--follow goes with log");
    const bool takesArguments = *command != Command::Info && *command != Command::Apps;
    if (!takesArguments && !options.arguments.isEmpty())
        return QStringLiteral("%1 takes no arguments")
            .arg(*command == Command::Info ? QStringLiteral("info") : QStringLiteral("apps"));
    if (takesArguments && options.arguments.isEmpty())
        return *command == Command::Install ? QStringLiteral("install needs a BAR file")
                                            : QStringLiteral("which package? Give PACKAGE");
    if (options.launch && *command != Command::Install)
        return QStringLiteral("--launch goes with install");
    return options;
}

QString PrintableJson(const QJsonObject& object) {
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Progress of the installations: bars on a terminal, redrawn in place; plain lines otherwise.
// Everything goes to standard error, so that standard output holds only results.
class Progress {
public:
    explicit Progress(bool terminal) : terminal_(terminal) {}

    void update(const QString& key, int percent) {
        if (!terminal_) {
            std::fprintf(stderr, "%s %d%%\n", qPrintable(key), percent);
            return;
        }
        if (!bars_.contains(key))
            order_.append(key);
        bars_[key] = percent;
        redraw();
    }

    // Writes text to out above the bars.
    void print(std::FILE* out, const QString& text) {
        clear();
        std::fputs(text.toLocal8Bit().constData(), out);
        std::fflush(out);
        redraw();
    }

private:
    void clear() {
        if (drawn_ > 0)
            std::fprintf(stderr, "\033[%dA\033[J", drawn_);
        drawn_ = 0;
    }
    void redraw() {
        if (!terminal_)
            return;
        clear();
        qsizetype width = 0;
        for (const QString& key : std::as_const(order_))
            width = std::max(width, key.size());
        for (const QString& key : std::as_const(order_)) {
            const int percent = bars_[key];
            const int filled = percent * 30 / 100;
            std::fprintf(stderr, "%s [%s%s] %3d%%\n", qPrintable(key.leftJustified(width)),
                         QString(filled, QLatin1Char('#')).toUtf8().constData(),
                         QString(30 - filled, QLatin1Char('.')).toUtf8().constData(), percent);
            ++drawn_;
        }
        std::fflush(stderr);
    }

    bool terminal_;
    QStringList order_;
    QMap<QString, int> bars_;
    int drawn_ = 0;
};

// Said on standard error while the bundled simulator stands in for the deploy tool.
const QString SimulatorNote = QStringLiteral(
    "kestrane-device: the bundled device simulator answers, not a real device; to reach one, give "
    "--deploy-tool DIR (the folder of BlackBerry's BarDeploy.jar) or set KESTRANE_DEPLOY_TOOL\n");

// The device's debug token for scripts: null when the device reports none of its keys (PlayBooks),
// else its status ("none", "valid", "expired", "invalid") with the date and the device's reason
// as it gave them.
const char* DebugTokenStatusName(DebugTokenState::Status status) {
    using Status = DebugTokenState::Status;
    switch (status) {
    case Status::Unknown:
        return nullptr;
    case Status::None:
        return "none";
    case Status::Valid:
        return "valid";
    case Status::Expired:
        return "expired";
    case Status::Invalid:
        return "invalid";
    }
    return nullptr;
}

// "expiration" is the device's text; "expires" the same moment in ISO 8601 (null when it is no
// date); "expiryPassed" says that a token the device calls valid is past that date by this
// computer's clock (the device's clock is behind).
QJsonValue DebugTokenJson(const DebugTokenState& token) {
    const char* status = DebugTokenStatusName(token.status);
    if (status == nullptr)
        return QJsonValue::Null;
    const QJsonValue expires = token.expiry.isValid()
                                   ? QJsonValue(token.expiry.toString(Qt::ISODate))
                                   : QJsonValue(QJsonValue::Null);
    const QJsonValue code = token.validationErrorCode
                                ? QJsonValue(static_cast<double>(*token.validationErrorCode))
                                : QJsonValue(QJsonValue::Null);
    return QJsonObject{{"status", QLatin1StringView(status)},
                       {"expiration", token.expiration},
                       {"expires", expires},
                       {"expiryPassed", token.ValidPastExpiry(QDateTime::currentDateTimeUtc())},
                       {"author", token.author},
                       {"validationError", token.validationError},
                       {"validationErrorCode", code}};
}

// One device's work and how it ended.
struct DeviceTask {
    QString address;
    int exitCode = 0;
    QString message;
    bool done = false;
};

class Session {
public:
    Session(Options options, QString password, QList<InstallRun::Item> bars, DeviceContext context,
            DeployToolFound tool)
        : options_(std::move(options)), password_(std::move(password)), bars_(std::move(bars)),
          context_(std::move(context)), tool_(std::move(tool)), progress_(IsTerminal(stderr)),
          commands_(std::make_shared<ProcessConsoleRunner>()) {
        if (const QByteArray limit = qgetenv("KESTRANE_DEVICE_SILENCE_MS"); !limit.isEmpty()) {
            commands_.silenceLimits().device = std::chrono::milliseconds(limit.toLongLong());
            commands_.silenceLimits().installation = commands_.silenceLimits().device;
        }
        // What earlier runs learned of each device's failed password attempts counts here too.
        auto attempts = std::make_shared<LoginAttempts>();
        attempts->setAdvice(QStringLiteral("Check the password; to send it anyway, give "
                                           "--spend-last-attempt."));
        if (options_.spendLastAttempt)
            attempts->allowEveryLastAttempt();
        commands_.setLoginAttempts(std::move(attempts));
        // info and apps send each device one command: a command host would only add its own
        // start to it (see the command host's section of README.md).
        if (options_.command == Command::Info || options_.command == Command::Apps)
            commands_.setOneProcessPerCommand();
        for (const QString& address : std::as_const(options_.devices)) {
            auto task = std::make_unique<DeviceTask>();
            task->address = RemoveSpaces(address);
            tasks_.push_back(std::move(task));
        }
    }

    // Runs every device's work; the exit code of the first device that failed, in order.
    int run() {
        for (int i = 0; i < ParallelDevices; ++i)
            startNext();
        sayDeployTool();
        if (running_ > 0)
            QCoreApplication::exec();
        if (tasks_.size() > 1) {
            QString summary;
            for (const auto& task : tasks_) {
                const QString result =
                    task->exitCode == 0 ? QStringLiteral("ok") : QStringLiteral("failed");
                summary +=
                    options_.json
                        ? PrintableJson({{"device", task->address},
                                         {"what", "summary"},
                                         {"result", result},
                                         {"exitCode", task->exitCode},
                                         {"message", task->message}}) +
                              QLatin1Char('\n')
                        : Columns({{task->address, task->exitCode == 0
                                                       ? result
                                                       : QStringLiteral("%1 (exit code %2): %3")
                                                             .arg(result)
                                                             .arg(task->exitCode)
                                                             .arg(task->message)}});
            }
            progress_.print(stdout, summary);
        }
        for (const auto& task : tasks_)
            if (task->exitCode != 0)
                return task->exitCode;
        return 0;
    }

private:
    // Says on standard error which tool answers: the bundled simulator at once; a real tool with
    // its version, asked with "-version" beside the device commands so that it costs no time.
    void sayDeployTool() {
        if (tool_.simulator) {
            progress_.print(stderr, SimulatorNote);
            return;
        }
        const QString where = QStringLiteral("kestrane-device: deploy tool: %1 (%2)")
                                  .arg(QDir::toNativeSeparators(tool_.folder), tool_.source);
        if (context_.javaBinDir.isEmpty()) {
            progress_.print(stderr, where + QLatin1Char('\n'));
            return;
        }
        DeployInvocation invocation;
        invocation.javaOptions = {QStringLiteral("-Djava.security.properties=") +
                                  DeploySecurityPath(context_.tool.appDir)};
        invocation.toolArguments = {QStringLiteral("-jar"), DeployToolJarPath(context_.tool),
                                    QStringLiteral("-version")};
        ++running_;
        commands_.run(invocation, context_.javaBinDir, deviceSettings(),
                      [this, where](const CommandResult& result) {
                          const QString version = DeployToolVersion(result.output);
                          progress_.print(stderr,
                                          where +
                                              (version.isEmpty()
                                                   ? QStringLiteral(", version unknown")
                                                   : QStringLiteral(", version ") + version) +
                                              QLatin1Char('\n'));
                          if (--running_ == 0)
                              QCoreApplication::quit();
                      });
    }

    StartDeviceCommand starter() {
        return [this](const DeployInvocation& invocation,
                      const DeviceCommandRunner::Settings& settings,
                      DeviceCommandRunner::Continuation whenDone) {
            return commands_.run(invocation, context_.javaBinDir, settings, std::move(whenDone));
        };
    }

    void startNext() {
        if (next_ >= tasks_.size())
            return;
        DeviceTask& task = *tasks_[next_++];
        ++running_;
        const CommandCheck check = CheckBeforeDeviceCommand(context_, task.address);
        if (!check.ready()) {
            // Reported from the event loop, as every other ending.
            QTimer::singleShot(
                0, [this, &task, check] { fail(task, DeviceExitCode(check.kind), check.message); });
            return;
        }
        switch (options_.command) {
        case Command::Info:
            runInfo(task);
            break;
        case Command::Apps:
        case Command::Status:
        case Command::Launch:
        case Command::Terminate:
        case Command::Uninstall:
            runListing(task);
            break;
        case Command::Install:
            runInstall(task);
            break;
        case Command::Log:
        case Command::ExitCode:
        case Command::Get:
        case Command::Put:
            // Run by RunSandbox, never by a session.
            break;
        }
    }

    void finish(DeviceTask& task) {
        task.done = true;
        --running_;
        startNext();
        if (running_ == 0)
            QCoreApplication::quit();
    }

    void fail(DeviceTask& task, int exitCode, const QString& message) {
        task.exitCode = exitCode;
        task.message = message;
        progress_.print(
            stderr,
            QStringLiteral("kestrane-device: %1: %2\n").arg(task.address, message.trimmed()));
        finish(task);
    }

    DeviceCommandRunner::Settings deviceSettings() {
        DeviceCommandRunner::Settings settings;
        settings.silenceLimit = commands_.silenceLimits().device;
        return settings;
    }

    DeployInvocation invocation(const DeviceTask& task, DeployAction action) const {
        return DeployCommand(context_.tool, action, task.address, password_);
    }

    void runInfo(DeviceTask& task) {
        commands_.run(invocation(task, DeployAction::ListDeviceInfo), context_.javaBinDir,
                      deviceSettings(), [this, &task](const CommandResult& result) {
                          const ConnectOutcome outcome = ReadConnectOutcome(context_, result);
                          if (!outcome.verdict.succeeded)
                              return fail(task, DeviceExitCode(outcome.verdict.kind),
                                          outcome.verdict.errorText);
                          printInfo(task, outcome.info);
                          finish(task);
                      });
    }

    void printInfo(const DeviceTask& task, const DeviceInfo& info) {
        const std::pair<const char*, const QString&> values[] = {
            {"name", info.deviceName},
            {"modelNumber", info.modelNumber},
            {"hardwareId", info.hardwareId},
            {"imei", info.imei},
            {"serialNumber", info.serialNumber},
            {"pin", info.pin},
            {"os", info.os},
            {"version", info.version},
            {"airVersion", info.airVersion},
            {"flashVersion", info.flashVersion},
            {"modelKey", info.modelKey},
        };
        if (options_.json) {
            QJsonObject object{{"address", task.address},
                               {"deployTool", QDir::toNativeSeparators(tool_.folder)},
                               {"simulator", tool_.simulator}};
            for (const auto& [key, value] : values)
                object.insert(QLatin1StringView(key), value);
            object.insert(QStringLiteral("debugToken"), DebugTokenJson(info.debugToken));
            progress_.print(stdout, PrintableJson(object) + QLatin1Char('\n'));
            return;
        }
        static const char* const labels[] = {
            "Device name", "Model number", "Hardware ID", "IMEI",          "Serial number", "PIN",
            "OS",          "Version",      "AIR version", "Flash version", "Model key"};
        QList<QStringList> rows{{QStringLiteral("Address"), task.address}};
        for (size_t i = 0; i < std::size(values); ++i)
            rows.append({QString::fromLatin1(labels[i]), values[i].second});
        // PlayBooks report no debug token: no line rather than a guess.
        const QString token = DebugTokenStateText(info.debugToken);
        if (!token.isEmpty())
            rows.append({QStringLiteral("Debug token"), token});
        const QString details = DebugTokenDetails(info.debugToken);
        if (!details.isEmpty())
            rows.append({QStringLiteral("Token details"), details});
        progress_.print(stdout,
                        Columns(rows) + (tasks_.size() > 1 ? QStringLiteral("\n") : QString()));
    }

    void runListing(DeviceTask& task) {
        commands_.run(invocation(task, DeployAction::ListInstalledApps), context_.javaBinDir,
                      deviceSettings(), [this, &task](const CommandResult& result) {
                          const AppListing listing = ReadAppListing(context_, result);
                          if (!listing.verdict.succeeded)
                              return fail(task, DeviceExitCode(listing.verdict.kind),
                                          listing.verdict.errorText);
                          if (options_.command == Command::Apps) {
                              printApps(task, listing.apps);
                              return finish(task);
                          }
                          runActions(task, listing.apps);
                      });
    }

    void printApps(const DeviceTask& task, const QList<InstalledApp>& apps) {
        const bool several = tasks_.size() > 1;
        QString text;
        QList<QStringList> rows;
        if (!options_.json) {
            rows.append({QStringLiteral("NAME"), QStringLiteral("VERSION"),
                         QStringLiteral("PACKAGE"), QStringLiteral("ID")});
            if (several)
                rows.last().prepend(QStringLiteral("DEVICE"));
        }
        for (const InstalledApp& app : apps) {
            if (options_.json) {
                text += PrintableJson({{"device", task.address},
                                       {"name", app.appName},
                                       {"version", app.version},
                                       {"package", app.packageName},
                                       {"id", app.packageId}}) +
                        QLatin1Char('\n');
                continue;
            }
            rows.append({app.appName, app.version, app.packageName, app.packageId});
            if (several)
                rows.last().prepend(task.address);
        }
        progress_.print(stdout, options_.json ? text : Columns(rows));
    }

    // The packages named on the command line as the listing gives them; the first one the device
    // does not have ends the device's work as bad input, before any action runs.
    void runActions(DeviceTask& task, const QList<InstalledApp>& apps) {
        QList<AppActionQueue::Turn> turns;
        for (const QString& wanted : std::as_const(options_.arguments)) {
            const auto found = std::find_if(apps.begin(), apps.end(), [&](const auto& app) {
                return wanted == app.packageName ||
                       wanted == app.packageName + QLatin1Char('.') + app.packageId;
            });
            if (found == apps.end())
                return fail(
                    task, 1,
                    QStringLiteral("no package \"%1\" is installed on the device").arg(wanted));
            turns.append({found->appName, found->packageName, found->packageId});
        }
        AppActionQueue::Callbacks callbacks;
        auto firstFailure = std::make_shared<FailureKind>(FailureKind::None);
        auto lines = std::make_shared<QList<QStringList>>();
        callbacks.turnDone = [this, &task, firstFailure,
                              lines](qsizetype, const AppActionQueue::TurnResult& done) {
            if (!done.verdict.succeeded && *firstFailure == FailureKind::None) {
                *firstFailure = done.verdict.kind;
                task.message = done.verdict.errorText;
            }
            lines->append({done.status.toLower(),
                           done.verdict.succeeded ? QString() : done.verdict.errorText});
        };
        const QList<AppActionQueue::Turn> named = turns;
        callbacks.ended = [this, &task, firstFailure, lines, named](const QString&,
                                                                    const QString&) {
            printResults(task, named, *lines,
                         [](const AppActionQueue::Turn& turn) { return turn.packageName; });
            task.exitCode = DeviceExitCode(*firstFailure);
            finish(task);
        };
        AppActionQueue::Start(starter(), context_, {task.address, password_},
                              ActionOf(options_.command), turns, commands_.silenceLimits().device,
                              std::move(callbacks));
    }

    // extras: further JSON fields of each item's line, by index (none when shorter).
    template <class Item, class Name>
    void printResults(const DeviceTask& task, const QList<Item>& items,
                      const QList<QStringList>& results, Name name,
                      const QList<QJsonObject>& extras = {}) {
        QString text;
        QList<QStringList> rows;
        for (qsizetype i = 0; i < results.size(); ++i) {
            // An item the run never reached has no result.
            if (results[i].isEmpty())
                continue;
            if (options_.json) {
                QJsonObject line{{"device", task.address},
                                 {"what", name(items[i])},
                                 {"result", results[i].value(0)},
                                 {"message", results[i].value(1)}};
                const QJsonObject extra = extras.value(i);
                for (auto field = extra.begin(); field != extra.end(); ++field)
                    line.insert(field.key(), field.value());
                text += PrintableJson(line) + QLatin1Char('\n');
            } else
                rows.append(
                    {task.address, name(items[i]), results[i].value(0), results[i].value(1)});
        }
        progress_.print(stdout, options_.json ? text : Columns(rows));
    }

    void runInstall(DeviceTask& task) {
        InstallRun::Callbacks callbacks;
        auto firstFailure = std::make_shared<FailureKind>(FailureKind::None);
        // One result per BAR, in the order given (debug tokens are installed first).
        auto lines = std::make_shared<QList<QStringList>>(bars_.size());
        const auto key = [this, &task](int index) {
            return task.address + QLatin1Char(' ') + QFileInfo(bars_[index].barPath).fileName();
        };
        callbacks.started = [this, key](int index, ConsoleJob*) {
            progress_.update(key(index), 0);
        };
        callbacks.progressed = [this, key](int index, int percent, const QString&) {
            progress_.update(key(index), percent);
        };
        // A debug token, or a BAR installed without --launch, comes without a launch's answer.
        callbacks.finished = [&task, firstFailure,
                              lines](int index, bool succeeded, const QString&,
                                     const CommandVerdict& failure,
                                     const std::optional<LaunchOutcome>& launch) {
            const auto failed = [&](FailureKind kind, const QString& message) {
                if (*firstFailure == FailureKind::None) {
                    *firstFailure = kind;
                    task.message = message;
                }
            };
            if (!succeeded) {
                failed(failure.kind, failure.errorText);
                (*lines)[index] = QStringList({QStringLiteral("failed"), failure.errorText});
            } else if (!launch) {
                (*lines)[index] = QStringList({QStringLiteral("installed"), QString()});
            } else if (launch->launched) {
                (*lines)[index] =
                    QStringList({QStringLiteral("launched"), QStringLiteral("PID ") + launch->pid});
            } else {
                // Installed, but what was asked for does not run: the device said no.
                const QString reason = QStringLiteral("not launched: ") + launch->reason;
                failed(FailureKind::DeviceRefused, reason);
                (*lines)[index] = QStringList({QStringLiteral("installed"), reason});
            }
        };
        // A failed BAR does not keep the others from being installed.
        callbacks.decide = [](int, const CommandVerdict&) { return InstallRun::Decision::Ignore; };
        // An installation the device's list does not show ends as a refusal; one that could not
        // be checked is said once, without calling it failed.
        auto extras = std::make_shared<QList<QJsonObject>>(bars_.size());
        auto notChecked = std::make_shared<QString>();
        callbacks.confirmed = [&task, firstFailure, lines, extras,
                               notChecked](int index, const InstallConfirmation& confirmation) {
            using State = InstallConfirmation::State;
            QJsonObject& extra = (*extras)[index];
            switch (confirmation.state) {
            case State::Confirmed:
                extra.insert(QStringLiteral("confirmed"), true);
                return;
            case State::NotChecked:
                extra.insert(QStringLiteral("confirmed"), QJsonValue::Null);
                *notChecked = confirmation.reason;
                return;
            case State::OtherVersion:
            case State::NotListed:
                break;
            }
            const QString status = InstallConfirmationStatus(confirmation);
            extra.insert(QStringLiteral("confirmed"), false);
            extra.insert(QStringLiteral("listedVersion"),
                         confirmation.state == State::OtherVersion
                             ? QJsonValue(confirmation.listedVersion)
                             : QJsonValue::Null);
            // What the launch said stays, after what the list says.
            const QString earlier = (*lines)[index][1];
            (*lines)[index][1] =
                earlier.isEmpty() ? status : QStringLiteral("%1 (%2)").arg(status, earlier);
            if (*firstFailure == FailureKind::None) {
                *firstFailure = FailureKind::NoResult;
                task.message = status;
            }
        };
        callbacks.ended = [this, &task, firstFailure, lines, extras, notChecked](bool,
                                                                                 const QString&) {
            printResults(
                task, bars_, *lines,
                [](const InstallRun::Item& item) { return QFileInfo(item.barPath).fileName(); },
                *extras);
            if (!notChecked->isEmpty())
                progress_.print(stderr, QStringLiteral("kestrane-device: %1: the installations "
                                                       "were not confirmed: the device's list of "
                                                       "applications could not be read (%2)\n")
                                            .arg(task.address, *notChecked));
            task.exitCode = DeviceExitCode(*firstFailure);
            finish(task);
        };
        InstallRun::Options options;
        options.launch = options_.launch;
        options.silenceLimit = commands_.silenceLimits().installation;
        options.listingSilenceLimit = commands_.silenceLimits().device;
        InstallRun::Start(starter(), context_, {task.address, password_}, bars_, options,
                          std::move(callbacks));
    }

    Options options_;
    QString password_;
    QList<InstallRun::Item> bars_;
    DeviceContext context_;
    DeployToolFound tool_;
    Progress progress_;
    DeviceCommandRunner commands_;
    std::vector<std::unique_ptr<DeviceTask>> tasks_;
    size_t next_ = 0;
    int running_ = 0;
};

// The BAR files as the install list reads them: a file that is not there or cannot be read is
// named in plain words ("gone.bar: no such file"), one that is not a readable BAR with the
// archive's message.
std::variant<QList<InstallRun::Item>, QString> ReadBars(const QStringList& paths) {
    QList<InstallRun::Item> items;
    TZipArchive archive("ZipArchive1");
    for (const QString& path : paths) {
        const std::string unreadable = UnreadableFileReason(QFile::encodeName(path).toStdString());
        if (!unreadable.empty())
            return QStringLiteral("%1: %2").arg(path, QString::fromStdString(unreadable));
        try {
            const BarInfo info = ReadBarInfo(archive, QFile::encodeName(path).toStdString());
            items.append(
                InstallItemFor(BarDisplayName(info), QFileInfo(path).absoluteFilePath(), info));
        } catch (const std::exception& error) {
            return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(error.what()));
        }
    }
    return items;
}

// The deploy tool as the window finds it, or the folder given with --deploy-tool; the text of
// what is wrong with that folder when it cannot run the tool. The places passed over on the way
// are warned about.
std::variant<DeployToolFound, QString> LookUpDeployTool(const Options& options,
                                                        const QString& appDir) {
    if (!options.deployTool.isEmpty()) {
        const QStringList missing = MissingDeployToolJars(options.deployTool);
        if (!missing.isEmpty())
            return QFileInfo(options.deployTool).isDir()
                       ? QStringLiteral("--deploy-tool %1 cannot run the deploy tool: it lacks %2")
                             .arg(options.deployTool, missing.join(QStringLiteral(", ")))
                       : QStringLiteral("--deploy-tool %1: no such folder").arg(options.deployTool);
        DeployToolFound found;
        found.folder = QDir(options.deployTool).absolutePath();
        found.source = QStringLiteral("--deploy-tool");
        return found;
    }
    DeployToolFound found =
        FindDeployTool(DeployToolPlaces::ForUser(ChosenDeployToolFolder(), appDir));
    for (const QString& place : std::as_const(found.passedOver))
        Say(QStringLiteral("warning: passed over %1").arg(place));
    return found;
}

// The password and where it came from: kept is set when the desktop keyring gave it.
std::variant<QString, QString> Password(const Options& options, std::optional<KeptPassword>* kept) {
    if (qEnvironmentVariableIsSet("KESTRANE_DEVICE_PASSWORD"))
        return std::variant<QString, QString>(std::in_place_index<0>,
                                              qEnvironmentVariable("KESTRANE_DEVICE_PASSWORD"));
    if (!options.passwordFile.isEmpty()) {
        QString error;
        if (const std::optional<QString> line = FirstLineOf(options.passwordFile, &error))
            return std::variant<QString, QString>(std::in_place_index<0>, *line);
        return std::variant<QString, QString>(
            std::in_place_index<1>, QStringLiteral("%1: %2").arg(options.passwordFile, error));
    }
    if (options.devices.size() == 1) {
        *kept = KeptPasswordFor(RemoveSpaces(options.devices.constFirst()));
        if (*kept)
            return std::variant<QString, QString>(std::in_place_index<0>, (*kept)->password);
    }
    if (IsTerminal(stdin)) {
        if (const std::optional<QString> typed = AskPassword(QStringLiteral("Device password: ")))
            return std::variant<QString, QString>(std::in_place_index<0>, *typed);
    }
    return std::variant<QString, QString>(
        std::in_place_index<1>,
        QStringLiteral("no device password: set KESTRANE_DEVICE_PASSWORD or use --password-file "
                       "(or run it on a terminal to be asked, or let the window remember it)"));
}

} // namespace
} // namespace kestrane::cli

int main(int argc, char** argv) {
    using namespace kestrane;
    using namespace kestrane::cli;
    std::setlocale(LC_ALL, "");
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(HelpText, stdout);
        return 0;
    }
    if (IsDiscoverCommand(arguments))
        return RunDiscover(arguments, ExecutableFolder());
    if (IsForgetPasswordCommand(arguments))
        return RunForgetPassword(arguments);
    auto parsed = Parse(arguments);
    if (auto* error = std::get_if<QString>(&parsed))
        return BadInput(*error);
    Options options = std::get<Options>(std::move(parsed));
    QList<InstallRun::Item> bars;
    if (options.command == Command::Install) {
        auto read = ReadBars(options.arguments);
        if (auto* error = std::get_if<QString>(&read))
            return BadInput(*error);
        bars = std::get<QList<InstallRun::Item>>(std::move(read));
    }
    const QString appDir = ExecutableFolder();
    auto tool = LookUpDeployTool(options, appDir);
    if (auto* error = std::get_if<QString>(&tool)) {
        Say(*error);
        return 6;
    }
    DeployToolFound found = std::get<DeployToolFound>(std::move(tool));
    std::optional<KeptPassword> kept;
    auto password = Password(options, &kept);
    if (password.index() == 1)
        return BadInput(std::get<1>(password));
    // A kept password the device refuses during this run is removed from the keyring at once.
    const std::optional<LoginAttempts::Count> attemptsBefore =
        kept ? LoginAttempts().count(kept->address) : std::nullopt;
    const auto forgetRefused = [&](int code) {
        if (kept)
            ForgetRefusedPassword(*kept, attemptsBefore);
        return code;
    };

    // The manifests' private folder (and the argument files in it) go also when this is killed;
    // those of runs killed with their command reaper go now.
    SetTempDirectoryCreatedHook(CommandReaper::removeAtEnd);
    RemovePrivateFoldersOfEndedRuns();
    // Kestrane's own TLS settings (AppDir/lib) go to Java whatever tool answers.
    DeviceContext context{{appDir, DeployToolHome(), found.folder}, {}};
    try {
        context.javaBinDir = DiscoverJavaBinDir(*MakeJvmFolderRegistryView());
    } catch (const std::exception&) {
        // An unreadable runtime entry counts as no runtime: the check says so.
    }
    if (const auto sandbox = SandboxCommandOf(options.command)) {
        if (found.simulator)
            std::fputs(qPrintable(SimulatorNote), stderr);
        return forgetRefused(RunSandbox(
            {*sandbox, options.arguments, options.follow, options.json, options.spendLastAttempt},
            context, RemoveSpaces(options.devices.constFirst()), std::get<0>(password)));
    }
    try {
        Session session(std::move(options), std::get<0>(password), std::move(bars),
                        std::move(context), std::move(found));
        return forgetRefused(session.run());
    } catch (const std::exception& error) {
        Say(QString::fromLocal8Bit(error.what()));
        return 6;
    }
}

#pragma once

#include <QString>
#include <QStringList>

namespace kestrane {

// The deploy tool's actions, one per device operation.
enum class DeployAction {
    ListDeviceInfo,
    ListInstalledApps,
    InstallApp,
    IsAppRunning,
    LaunchApp,
    TerminateApp,
    UninstallApp,
    // Installs a BAR and launches it in the same run: "-installApp -launchApp". The tool takes
    // the package name and id from the BAR's manifest and refuses one without "Package-Id".
    InstallAndLaunchApp,
    // Installs a debug token (a BAR whose Package-Type is "debug-token"): "-installDebugToken".
    InstallDebugToken,
    // An application's sandbox: "-getFile PATH SAVEAS" (SAVEAS "-" prints the file),
    // "-putFile HOSTFILE PATH", and "-printExitCode" (the code in logs/devmode_exitcode.txt).
    GetFile,
    PutFile,
    PrintExitCode,
};

// The action's options on the tool's command line: {"-listDeviceInfo"}, ...,
// {"-installApp", "-launchApp"}.
QStringList DeployActionOptions(DeployAction action);

// The same options as one text, joined by blanks ("-installApp -launchApp"), for messages.
QString DeployActionOption(DeployAction action);

// The message those handlers show when no Java runtime was found (javaBinDir empty); an empty text
// when there is one.
QString JavaRuntimeMissingMessage(const QString& javaBinDir);

// Empty when the address field's text, through RemoveSpaces, is a device address: four groups of
// one to three digits, each from 0 to 255, separated by dots. Otherwise the message that says so.
QString InvalidAddressMessage(const QString& addressField);

// The files the commands name, below the program's folder.
QString DeployToolPath(const QString& appDir);
QString DeploySecurityPath(const QString& appDir);

// A value as one /bin/sh word: unchanged when it consists only of the characters
// A-Z a-z 0-9 . _ / : @ % + = , - ; otherwise in single quotes (an embedded ' written as '\'').
// An empty value becomes '' so that it stays an argument of its own.
QString ShellQuote(const QString& value);

// Where the deploy tool is and where it keeps its login data.
struct DeployTool {
    // The program folder: the tool is lib/BarDeploy.jar below it, its TLS settings
    // lib/deploy-tls.security.
    QString appDir{};
    // The tool's home (Java's user.home), where it keeps .deployData; empty for its default.
    QString home{};
    // The folder of BarDeploy.jar when it is not AppDir/lib (a real tool found elsewhere); the
    // TLS settings stay Kestrane's own.
    QString folder{};
};

// The deploy tool's jar: in tool.folder, or below the program folder.
QString DeployToolJarPath(const DeployTool& tool);

// One run of the deploy tool, started as
//   java -Djava.security.properties=<AppDir>/lib/deploy-tls.security [-Duser.home=<home>]
//        -Xmx512M @<argument file>
// with the tool's arguments in the argument file:
//   -jar <DeployToolJarPath> <action> -device <address> -password <password> [arguments]
// so that the password never stands on a command line that a process list shows.
struct DeployInvocation {
    // The device address as the tool receives it.
    QString device;
    // The tool's home (DeployTool::home), where its login data for the device is kept.
    QString toolHome;
    QStringList javaOptions;
    QStringList toolArguments;
    // The program folder (DeployTool::appDir), whose lib/ holds the command host.
    QString appDir{};
};

// The invocation of action on the device: the address is the address field's text through
// RemoveSpaces, the password the password field's text through TrimControls; arguments are the
// action's own (InstallArguments, PackageArguments, DebugTokenArguments). They follow the
// password, except a debug token's file, which follows its option as the tool's usage writes it:
//   -installDebugToken <token.bar> -device <address> -password <password>
// and a file transfer's two paths (SandboxFileArguments), which the tool reads straight after
// its option:
//   -getFile <path> <saveas> -device <address> -password <password> -package-name ...
// The tool passes a fetched file through Java's default character set, which alters bytes that
// set does not have; gets and -printExitCode run with -Dfile.encoding=ISO-8859-1, which maps
// every byte to itself.
DeployInvocation DeployCommand(const DeployTool& tool, DeployAction action,
                               const QString& addressField, const QString& passwordField,
                               const QStringList& arguments = {});

// The installation's own argument (also of install and launch): the BAR file's path.
QStringList InstallArguments(const QString& barPath);

// The debug token installation's own argument: the token's BAR file.
QStringList DebugTokenArguments(const QString& tokenPath);

// The application actions' own arguments: -package-name <name> -package-id <id>.
QStringList PackageArguments(const QString& packageName, const QString& packageId);

// A file transfer's arguments: its two paths (PATH SAVEAS for a get, HOSTFILE PATH for a put),
// then the package as PackageArguments gives it.
QStringList SandboxFileArguments(const QString& first, const QString& second,
                                 const QString& packageName, const QString& packageId);

// The /bin/sh command that starts invocation with its tool arguments read from argumentFile;
// every word is quoted for the shell as ShellQuote does.
QString LauncherCommand(const DeployInvocation& invocation, const QString& argumentFile);

} // namespace kestrane

#pragma once

#include <QString>

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
};

// The action's option on the tool's command line ("-listDeviceInfo", ...).
QString DeployActionOption(DeployAction action);

// Connect, Refresh and Install refuse to run without a Java runtime; the application actions,
// reachable only after a successful Connect, do not check again.
bool ActionChecksJavaRuntime(DeployAction action);

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

// A file path as one /bin/sh word in the tool's usual form: in double quotes when it consists of
// the plain characters only (the quotes then protect nothing but keep the familiar command text),
// otherwise single-quoted as ShellQuote does.
QString ShellQuotePath(const QString& path);

// The common part of every deploy command, up to and including the blank after the password:
//   java -Djava.security.properties=<AppDir>/lib/deploy-tls.security -Xmx512M
//        -jar "<AppDir>/lib/BarDeploy.jar" <action> -device <address> -password <password>
// (one line). The address is the address field's text through RemoveSpaces, the password the
// password field's text through TrimControls; every value is quoted for /bin/sh as needed, so
// nothing typed is ever run by the shell.
QString DeployCommandHead(const QString& appDir, DeployAction action, const QString& addressField,
                          const QString& passwordField);

// The arguments the installation appends to the head: the BAR file's path (ShellQuotePath).
QString InstallArguments(const QString& barPath);

// The arguments the application actions append to the head (which ends in a blank, so there are
// two blanks before "-package-name"): " -package-name <name> -package-id <id>".
QString PackageArguments(const QString& packageName, const QString& packageId);

} // namespace kestrane

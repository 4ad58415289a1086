#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kestrane {

// The command host (lib/CommandHost.jar): one Java runtime that runs the deploy tool's commands one
// after another. It reads one argument file path per line on its standard input and answers on its
// standard output in frames: a tag byte, a four-byte big-endian length, that many bytes.
struct CommandHostFrame {
    enum Tag : char {
        // Ready for commands; the payload is the protocol version.
        Ready = 'R',
        // It cannot run commands in this runtime (no exit trap); the payload says why. It ends.
        Refused = 'N',
        // What the running command wrote to its standard output or standard error.
        Out = 'O',
        Err = 'E',
        // The command has ended; the payload is its exit code, four big-endian bytes.
        Exit = 'X',
    };
    char tag = 0;
    QByteArray payload;

    // The exit code of an Exit frame.
    int exitCode() const;
};

// Cuts the host's standard output into frames, whatever pieces it arrives in.
class CommandHostFrameReader {
public:
    void append(const QByteArray& bytes) { pending_.append(bytes); }
    // Takes the next complete frame; false when none is complete yet or the stream is broken.
    bool next(CommandHostFrame& frame);
    // The stream cannot be frames of the host (an unknown tag or an impossible length).
    bool broken() const { return broken_; }

private:
    QByteArray pending_;
    bool broken_ = false;
};

// What the host writes first on its standard error: the bytes before it are the Java runtime's
// start notices ("Picked up JAVA_TOOL_OPTIONS: ..."), which a run of its own would write at the
// start of its standard error; what follows it until the host is ready is the host's own.
inline constexpr char CommandHostStartMark[] = "\0kestrane.commandhost\0";
inline constexpr qsizetype CommandHostStartMarkSize = sizeof(CommandHostStartMark) - 1;

// The command host's jar beside the deploy tool Kestrane ships: AppDir/lib/CommandHost.jar.
QString CommandHostJarPath(const QString& appDir);

// The Java arguments that start the host: the exit trap allowed (first, so that options given
// between it and the rest can overrule it), the host's jar on the boot class path, its main
// class. From the boot class path the exit trap is installed without the Java runtime loading and
// parsing its security policy first (which it does for a security manager of any other class
// loader, and which the trap never asks), a good part of the host's own start.
QStringList CommandHostArguments(const QString& appDir);

} // namespace kestrane

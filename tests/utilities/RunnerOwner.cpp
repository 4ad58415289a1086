// A program that owns a console runner and one long command, for the test that kills it: it
// prints the command's process group (the shell's pid) and then waits to be killed.

#include "ConsoleRunner.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace kestrane;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ProcessConsoleRunner runner("UTF-8");
    // A foreground and a background process, as the deploy tool under java would be.
    ConsoleJob* job = runner.RunConsoleCommandLive(
        QStringLiteral("echo $$; sleep 600 & sleep 600"), QDir::tempPath(), &application);
    QObject::connect(job, &ConsoleJob::lineReceived, [](const QString& line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    });
    return application.exec();
}

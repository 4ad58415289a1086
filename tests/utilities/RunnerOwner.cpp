// A program that owns a console runner and one long command, for the test that kills it: it makes
// a private folder to be removed at its end, with a deploy tool argument file in it (holding a
// password), prints the folder and then the command's process group (the shell's pid), and waits
// to be killed.

#include "ArgumentFile.h"
#include "CommandReaper.h"
#include "ConsoleRunner.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kestrane;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::string folder = QDir::tempPath().toStdString() + "/runner-owner-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr)
        return 1;
    CommandReaper::removeAtEnd(folder + "/");
    const ArgumentFile arguments(QString::fromStdString(folder),
                                 JavaArgumentFileText({"-password", "secret"}));
    std::printf("%s\n", folder.c_str());
    std::fflush(stdout);
    ProcessConsoleRunner runner("UTF-8");
    // A foreground and a background process, as the deploy tool under java would be.
    ConsoleJob* job = runner.RunConsoleCommandLive(QStringLiteral("echo $$; sleep 600 & sleep 600"),
                                                   QDir::tempPath(), &application);
    QObject::connect(job, &ConsoleJob::lineReceived, [](const QString& line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    });
    return application.exec();
}

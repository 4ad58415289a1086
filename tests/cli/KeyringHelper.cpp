// The keyring as the command-line tests see it: keyring-helper store PIN PASSWORD | read PIN.
// read prints the kept password, or "not kept"; exit 1 when the keyring does not answer.

#include "PasswordKeyring.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv) {
    using namespace kestrane;
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const std::shared_ptr<PasswordKeyring> keyring = MakeDesktopKeyring();
    KeyringAnswer answer;
    if (arguments.size() == 3 && arguments[0] == QLatin1String("store"))
        answer = WaitForKeyring(
            [&](PasswordKeyring::Done done) { keyring->write(arguments[1], arguments[2], done); });
    else if (arguments.size() == 2 && arguments[0] == QLatin1String("read"))
        answer =
            WaitForKeyring([&](PasswordKeyring::Done done) { keyring->read(arguments[1], done); });
    else {
        std::fputs("usage: keyring-helper store PIN PASSWORD | read PIN\n", stderr);
        return 2;
    }
    if (answer.status == KeyringAnswer::Status::Failed) {
        std::fprintf(stderr, "keyring-helper: %s\n", qPrintable(answer.error));
        return 1;
    }
    if (arguments[0] == QLatin1String("read"))
        std::puts(answer.done() ? qPrintable(answer.password) : "not kept");
    return 0;
}

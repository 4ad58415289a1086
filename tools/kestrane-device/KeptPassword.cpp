#include "KeptPassword.h"

#include "CommandWord.h"
#include "DeployCommand.h"
#include "PasswordKeyring.h"
#include "RememberedDevices.h"
#include "Settings.h"
#include "TextUtils.h"

#include <cstdio>

namespace kestrane::cli {

namespace {

void Say(const QString& text) {
    std::fprintf(stderr, "kestrane-device: %s\n", qPrintable(text));
}

} // namespace

std::optional<KeptPassword> KeptPasswordFor(const QString& address) {
    QSettings settings = KestraneSettings();
    const std::optional<RememberedDevice> device = RememberedDeviceByAddress(settings, address);
    if (!device)
        return std::nullopt;
    const std::shared_ptr<PasswordKeyring> keyring = MakeDesktopKeyring();
    const KeyringAnswer answer =
        WaitForKeyring([&](PasswordKeyring::Done done) { keyring->read(device->pin, done); });
    if (!answer.done())
        return std::nullopt;
    Say(QStringLiteral("the password of %1 comes from the desktop keyring")
            .arg(RememberedDeviceText(*device)));
    return KeptPassword{device->address, device->pin, answer.password};
}

void ForgetRefusedPassword(const KeptPassword& kept,
                           const std::optional<LoginAttempts::Count>& before) {
    const std::optional<LoginAttempts::Count> after = LoginAttempts().count(kept.address);
    if (!after || after == before)
        return;
    const std::shared_ptr<PasswordKeyring> keyring = MakeDesktopKeyring();
    const KeyringAnswer answer =
        WaitForKeyring([&](PasswordKeyring::Done done) { keyring->remove(kept.pin, done); });
    if (answer.done())
        Say(QStringLiteral("the device refused the password kept in the desktop keyring: it is "
                           "removed from the keyring"));
    else
        Say(QStringLiteral("the device refused the password kept in the desktop keyring, which "
                           "could not remove it: %1")
                .arg(answer.error));
}

bool IsForgetPasswordCommand(const QStringList& arguments) {
    return CommandWord(arguments) == QLatin1String("forget-password");
}

int RunForgetPassword(const QStringList& arguments) {
    QStringList devices;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("forget-password"))
            continue;
        if (argument == QLatin1String("--device")) {
            if (i + 1 >= arguments.size()) {
                Say(QStringLiteral("--device needs a value"));
                return 1;
            }
            devices.append(arguments[++i]);
        } else if (argument.startsWith(QLatin1String("--device="))) {
            devices.append(argument.section(QLatin1Char('='), 1));
        } else {
            Say(QStringLiteral("forget-password takes one --device ADDRESS, not %1").arg(argument));
            return 1;
        }
    }
    if (devices.size() != 1) {
        Say(QStringLiteral("forget-password takes one --device ADDRESS"));
        return 1;
    }
    const QString bad = InvalidAddressMessage(devices.constFirst());
    if (!bad.isEmpty()) {
        Say(bad);
        return 1;
    }
    const QString address = RemoveSpaces(devices.constFirst());
    QSettings settings = KestraneSettings();
    const std::optional<RememberedDevice> device = RememberedDeviceByAddress(settings, address);
    if (!device) {
        std::printf("No password is kept for %s: no device is remembered at that address.\n",
                    qPrintable(address));
        return 0;
    }
    const std::shared_ptr<PasswordKeyring> keyring = MakeDesktopKeyring();
    const KeyringAnswer kept =
        WaitForKeyring([&](PasswordKeyring::Done done) { keyring->read(device->pin, done); });
    if (kept.status == KeyringAnswer::Status::Failed) {
        Say(NoKeyringReason(kept.error));
        return 1;
    }
    if (kept.status == KeyringAnswer::Status::NotFound) {
        std::printf("No password is kept for %s (%s).\n", qPrintable(RememberedDeviceText(*device)),
                    qPrintable(address));
        return 0;
    }
    const KeyringAnswer removed =
        WaitForKeyring([&](PasswordKeyring::Done done) { keyring->remove(device->pin, done); });
    if (!removed.done()) {
        Say(QStringLiteral("the desktop keyring did not remove the password: %1")
                .arg(removed.error));
        return 1;
    }
    std::printf("Forgot the password of %s (%s).\n", qPrintable(RememberedDeviceText(*device)),
                qPrintable(address));
    return 0;
}

} // namespace kestrane::cli

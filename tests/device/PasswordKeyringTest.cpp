// The desktop keyring through QtKeychain, in a private D-Bus session (tests/support/
// keyring-session.sh): KeyringPresent.* against a real Secret Service (gnome-keyring-daemon),
// KeyringAbsent.* on a session bus with no keyring service.

#include "PasswordKeyring.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using Status = KeyringAnswer::Status;

class Keyring : public ::testing::Test {
protected:
    KeyringAnswer read(const QString& pin) {
        return WaitForKeyring([&](auto done) { keyring_->read(pin, done); });
    }
    KeyringAnswer write(const QString& pin, const QString& password) {
        return WaitForKeyring([&](auto done) { keyring_->write(pin, password, done); });
    }
    KeyringAnswer remove(const QString& pin) {
        return WaitForKeyring([&](auto done) { keyring_->remove(pin, done); });
    }
    KeyringAnswer probe() {
        return WaitForKeyring([&](auto done) { keyring_->probe(done); });
    }

    // Every file below Kestrane's own folders (settings, state) that holds text.
    static QStringList KestraneFilesHolding(const QByteArray& text) {
        QStringList holding;
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_STATE_HOME"}) {
            QDirIterator files(qEnvironmentVariable(variable), QDir::Files | QDir::Hidden,
                               QDirIterator::Subdirectories);
            while (files.hasNext()) {
                QFile file(files.next());
                if (file.open(QIODevice::ReadOnly) && file.readAll().contains(text))
                    holding << file.fileName();
            }
        }
        return holding;
    }

    std::shared_ptr<PasswordKeyring> keyring_ = MakeDesktopKeyring();
};

using KeyringPresent = Keyring;
using KeyringAbsent = Keyring;

// Kept under the PIN whatever its spelling, one device's password apart from another's, gone
// once removed; removing what is not kept is no failure.
TEST_F(KeyringPresent, KeepsEachDevicesPasswordUnderItsPin) {
    ASSERT_EQ(probe().status, Status::Done) << qPrintable(probe().error);
    EXPECT_EQ(read(QStringLiteral("2A7F3C9E")).status, Status::NotFound);

    ASSERT_TRUE(write(QStringLiteral("0x2a7f3c9e"), QStringLiteral("z30 pass word")).done());
    ASSERT_TRUE(write(QStringLiteral("50A3E1B7"), QStringLiteral("q10-secret")).done());
    const KeyringAnswer z30 = read(QStringLiteral("2A7F3C9E"));
    EXPECT_EQ(z30.status, Status::Done);
    EXPECT_EQ(z30.password, QStringLiteral("z30 pass word"));
    EXPECT_EQ(read(QStringLiteral("50a3e1b7")).password, QStringLiteral("q10-secret"));

    // A new password replaces the old one.
    ASSERT_TRUE(write(QStringLiteral("2A7F3C9E"), QStringLiteral("änderung")).done());
    EXPECT_EQ(read(QStringLiteral("2A7F3C9E")).password, QStringLiteral("änderung"));

    EXPECT_TRUE(remove(QStringLiteral("2A7F3C9E")).done());
    EXPECT_EQ(read(QStringLiteral("2A7F3C9E")).status, Status::NotFound);
    EXPECT_EQ(read(QStringLiteral("50A3E1B7")).password, QStringLiteral("q10-secret"));
    EXPECT_TRUE(remove(QStringLiteral("2A7F3C9E")).done());

    // Something that is no PIN is never a key.
    EXPECT_EQ(read(QStringLiteral("keyring-probe")).status, Status::NotFound);
    EXPECT_EQ(write(QStringLiteral("..."), QStringLiteral("x")).status, Status::Failed);

    EXPECT_EQ(KestraneFilesHolding("q10-secret"), QStringList());
}

// No service: every call fails with the reason, and no password lands anywhere else.
TEST_F(KeyringAbsent, SaysWhyAndKeepsNothing) {
    const KeyringAnswer probed = probe();
    EXPECT_EQ(probed.status, Status::Failed);
    EXPECT_FALSE(probed.error.isEmpty());
    EXPECT_TRUE(NoKeyringReason(probed.error).contains(probed.error));

    EXPECT_EQ(write(QStringLiteral("2A7F3C9E"), QStringLiteral("z30-secret")).status,
              Status::Failed);
    EXPECT_EQ(read(QStringLiteral("2A7F3C9E")).status, Status::Failed);
    EXPECT_EQ(remove(QStringLiteral("2A7F3C9E")).status, Status::Failed);
    EXPECT_EQ(KestraneFilesHolding("z30-secret"), QStringList());
}

} // namespace
} // namespace kestrane

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

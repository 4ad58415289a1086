// Devices remembered by PIN with their last address, in a settings file of the test's own.

#include "RememberedDevices.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrane {
namespace {

TEST(RememberedDevices, KeptByPinWhateverItsSpellingNeverWithoutOne) {
    const std::pair<const char*, const char*> pins[] = {
        {"2A7F3C9E", "2A7F3C9E"},
        {"0x2a7f3c9e", "2A7F3C9E"},
        {" 50a3e1b7\n", "50A3E1B7"},
        {"1", "00000001"},
        {"...", ""},
        {"", ""},
        {"2A7F3C9E0", ""},
        {"0xZZ", ""},
    };
    for (const auto& [given, normalized] : pins)
        EXPECT_EQ(NormalizedPin(QString::fromLatin1(given)), QString::fromLatin1(normalized))
            << given;

    QTemporaryDir folder;
    QSettings settings(folder.filePath(QStringLiteral("kestrane.ini")), QSettings::IniFormat);
    RememberDevice(settings, {QStringLiteral("0x2a7f3c9e"), QStringLiteral("192.168.1.20"),
                              QStringLiteral("BlackBerry Z30")});
    RememberDevice(settings, {QStringLiteral("..."), QStringLiteral("192.168.1.21"), {}});
    // A later address replaces the earlier one.
    RememberDevice(settings, {QStringLiteral("2A7F3C9E"), QStringLiteral("192.168.1.34"),
                              QStringLiteral("BlackBerry Z30")});
    settings.sync();

    QSettings reread(folder.filePath(QStringLiteral("kestrane.ini")), QSettings::IniFormat);
    const std::optional<RememberedDevice> z30 =
        RememberedDeviceByPin(reread, QStringLiteral("2a7f3c9e"));
    ASSERT_TRUE(z30.has_value());
    EXPECT_EQ(z30->address, QStringLiteral("192.168.1.34"));
    EXPECT_EQ(z30->model, QStringLiteral("BlackBerry Z30"));
    EXPECT_FALSE(RememberedDeviceByPin(reread, QStringLiteral("50A3E1B7")).has_value());
    EXPECT_EQ(reread.allKeys(), QStringList{QStringLiteral("devices/2A7F3C9E")});
}

// Phones on USB all take the same address: the one connected last owns it, and forgetting a
// device takes its entry and the last connected address with it, nothing else.
TEST(RememberedDevices, AnAddressIsOneDevicesAndForgettingTakesOnlyThatDevice) {
    QTemporaryDir folder;
    QSettings settings(folder.filePath(QStringLiteral("kestrane.ini")), QSettings::IniFormat);
    const RememberedDevice z30{QStringLiteral("2A7F3C9E"), QStringLiteral("169.254.0.1"),
                               QStringLiteral("BlackBerry Z30")};
    const RememberedDevice q10{QStringLiteral("50A3E1B7"), QStringLiteral("169.254.0.1"),
                               QStringLiteral("BlackBerry Q10")};
    const RememberedDevice wifi{QStringLiteral("11112222"), QStringLiteral("192.168.1.34"), {}};
    RememberDevice(settings, z30);
    RememberDevice(settings, wifi);
    ASSERT_TRUE(RememberedDeviceByAddress(settings, QStringLiteral("169.254.0  .1  ")));
    EXPECT_EQ(RememberedDeviceByAddress(settings, QStringLiteral("169.254.0  .1  "))->pin, z30.pin);

    RememberDevice(settings, q10);
    EXPECT_FALSE(RememberedDeviceByPin(settings, z30.pin).has_value());
    EXPECT_EQ(RememberedDeviceByAddress(settings, QStringLiteral("169.254.0.1"))->pin, q10.pin);
    EXPECT_EQ(RememberedDeviceText(*RememberedDeviceByPin(settings, q10.pin)),
              QStringLiteral("BlackBerry Q10, PIN 50A3E1B7"));
    EXPECT_EQ(RememberedDeviceText(wifi), QStringLiteral("PIN 11112222"));
    EXPECT_FALSE(RememberedDeviceByAddress(settings, QStringLiteral("169.254.0.2")).has_value());
    EXPECT_FALSE(RememberedDeviceByAddress(settings, QString()).has_value());

    settings.setValue(QStringLiteral("device/lastAddress"), QStringLiteral("169.254.0.1"));
    ForgetRememberedDevice(settings, q10);
    EXPECT_FALSE(RememberedDeviceByAddress(settings, QStringLiteral("169.254.0.1")).has_value());
    EXPECT_EQ(settings.allKeys(), QStringList{QStringLiteral("devices/11112222")});
    // The last address stays when it is another device's.
    settings.setValue(QStringLiteral("device/lastAddress"), QStringLiteral("169.254.0.1"));
    ForgetRememberedDevice(settings, wifi);
    EXPECT_EQ(settings.allKeys(), QStringList{QStringLiteral("device/lastAddress")});
}

} // namespace
} // namespace kestrane

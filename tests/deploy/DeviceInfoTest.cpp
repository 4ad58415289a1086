#include "DeviceInfo.h"

#include <gtest/gtest.h>

#include <ostream>

namespace kestrane {

bool operator==(const DeviceInfo& a, const DeviceInfo& b) {
    return a.connected == b.connected && a.deviceName == b.deviceName &&
           a.modelNumber == b.modelNumber && a.hardwareId == b.hardwareId && a.imei == b.imei &&
           a.serialNumber == b.serialNumber && a.pin == b.pin && a.os == b.os &&
           a.version == b.version && a.airVersion == b.airVersion &&
           a.flashVersion == b.flashVersion && a.modelKey == b.modelKey;
}

void PrintTo(const DeviceInfo& i, std::ostream* out) {
    *out << "{connected " << i.connected << ", name [" << i.deviceName.toStdString()
         << "], number [" << i.modelNumber.toStdString() << "], hwid ["
         << i.hardwareId.toStdString() << "], imei [" << i.imei.toStdString() << "], serial ["
         << i.serialNumber.toStdString() << "], pin [" << i.pin.toStdString() << "], os ["
         << i.os.toStdString() << "], version [" << i.version.toStdString() << "], air ["
         << i.airVersion.toStdString() << "], flash [" << i.flashVersion.toStdString()
         << "], model key [" << i.modelKey.toStdString() << "]}";
}

} // namespace kestrane

using namespace kestrane;

namespace {

DeviceInfo connectedWith(void (*fill)(DeviceInfo&)) {
    DeviceInfo info;
    info.connected = true;
    fill(info);
    return info;
}

struct ReadingCase {
    const char* what;
    QString output;
    DeviceInfo expected;
};

TEST(ReadDeviceInfo, ReadsEachKeyByItsRules) {
    const QString a100(100, QLatin1Char('a'));
    const QString e80(80, QChar(0x00e9));
    const ReadingCase cases[] = {
        {"worked example",
         "Info: Sending request: DEVICE_INFO\r\nmodelfullname::Example Phone 10\r\n"
         "modelname:: example10\r\nmodelnumber:: MN-0001\r\ndevicepin::0x1a2b3c4d\r\n"
         "device_os::Example OS\r\n",
         connectedWith([](DeviceInfo& i) {
             i.deviceName = "Example Phone 10";
             i.modelKey = "example10";
             i.modelNumber = " MN-0001";
             i.pin = "1A2B3C4D";
             i.os = "Example OS";
         })},
        {"every other key, anywhere in a line",
         "hardwareid::0x8c00240a\nxx IMEI::3530 yy\ndeviceserialnumber::5c1f\n"
         "scmbundle::10.3.3.2205\nair_version::3.5.0.26\nflash_version::11.1.121.92",
         connectedWith([](DeviceInfo& i) {
             i.hardwareId = "0x8c00240a";
             i.imei = "3530 yy";
             i.serialNumber = "5c1f";
             i.version = "10.3.3.2205";
             i.airVersion = "3.5.0.26";
             i.flashVersion = "11.1.121.92";
         })},
        {"three lines without a key connect, values stay \"...\"", "a\rb\nc",
         connectedWith([](DeviceInfo&) {})},
        {"the same key twice: the last line wins",
         "x\nmodelnumber::first\nmodelnumber::second\ndevicepin::0xaaaa",
         connectedWith([](DeviceInfo& i) {
             i.modelNumber = "second";
             i.pin = "AAAA";
         })},
        {"one line feeds every key it holds", "x\ny\nmodelnumber::A device_os::B",
         connectedWith([](DeviceInfo& i) {
             i.modelNumber = "A device_os::B";
             i.os = "A device_os::B";
         })},
        {"values cut at 80 and 30 UTF-16 units",
         "x\nmodelfullname::" + a100 + "\ndevice_os::" + a100 + "\nIMEI::" + e80 + "\n",
         connectedWith([](DeviceInfo& i) {
             i.deviceName = QString(80, QLatin1Char('a'));
             i.os = QString(30, QLatin1Char('a'));
             i.imei = QString(80, QChar(0x00e9));
         })},
        {"a key without \"::\" reads from the line's second character",
         "x\ny\nmodelfullname:Single\ndevicepin:abcdefghijk", connectedWith([](DeviceInfo& i) {
             i.deviceName = "odelfullname:Single";
             i.pin = "EVICEPIN";
         })},
        {"PIN: after the first 0x, ASCII letters only upper-cased, short PIN whole",
         "x\ny\ndevicepin::0x\u00e4b1",
         connectedWith([](DeviceInfo& i) { i.pin = QString(QChar(0x00e4)) + "B1"; })},
        {"model name trimmed, other values keep their blanks",
         "x\nmodelname:: \t Z30  \nmodelfullname:: BlackBerry Z30 ",
         connectedWith([](DeviceInfo& i) {
             i.modelKey = "Z30";
             i.deviceName = " BlackBerry Z30 ";
         })},
    };
    for (const ReadingCase& c : cases)
        EXPECT_EQ(ReadDeviceInfo(c.output), c.expected) << c.what;
}

TEST(ReadDeviceInfo, FewerThanThreeLinesDoNotConnect) {
    const QString outputs[] = {"", "Error: Cannot connect", "a\r\nmodelname::Z30\r\n", "a\n\n"};
    for (const QString& output : outputs)
        EXPECT_FALSE(ReadDeviceInfo(output).connected) << output.toStdString();
    EXPECT_TRUE(ReadDeviceInfo("a\n\n\n").connected) << "empty lines count";
}

TEST(ReadDeviceInfo, PlayBookRuleNeedsNoDeviceNameAndTheExactOsName) {
    struct PlayBookCase {
        QString lines;
        QString deviceName;
        QString modelKey;
    };
    const QString head = "Info: Sending request: DEVICE_INFO\nInfo: Action: List Device Info\n";
    const PlayBookCase cases[] = {
        {"device_os::BlackBerry PlayBook OS", "BlackBerry PlayBook", "playbook"},
        {"modelname::PB\ndevice_os::BlackBerry PlayBook OS", "BlackBerry PlayBook", "playbook"},
        {"modelfullname::...\ndevice_os::BlackBerry PlayBook OS", "BlackBerry PlayBook",
         "playbook"},
        {"modelfullname::Tab\ndevice_os::BlackBerry PlayBook OS", "Tab", ""},
        {"device_os::BlackBerry PlayBook OS ", "...", ""},
        {"device_os::BlackBerry Playbook OS", "...", ""},
        {"device_os:: BlackBerry PlayBook OS", "...", ""},
    };
    for (const PlayBookCase& c : cases) {
        const DeviceInfo info = ReadDeviceInfo(head + c.lines);
        EXPECT_EQ(info.deviceName, c.deviceName) << c.lines.toStdString();
        EXPECT_EQ(info.modelKey, c.modelKey) << c.lines.toStdString();
    }
}

TEST(ReadDeviceInfo, PicturePath) {
    EXPECT_EQ(ModelPicturePath("/opt/k", "Z30"), "/opt/k/lib/blackberry-Z30.jpg");
    EXPECT_EQ(ModelPicturePath("/opt/k", ""), "/opt/k/lib/blackberry-.jpg");
}

} // namespace

// The debug token's state and the main screen's text for it; the ten values are read as before.
TEST(ReadDeviceInfo, DebugTokenState) {
    using Status = DebugTokenState::Status;
    struct Case {
        const char* name;
        const char* lines;
        Status status;
        const char* text;
    };
    const Case cases[] = {
        {"playbook_without_keys", "debug_token_author::Me\ndevice_os::BlackBerry PlayBook OS\n",
         Status::Unknown, ""},
        {"expiration_alone_says_nothing", "debug_token_expiration::2031-06-30\n", Status::Unknown,
         ""},
        {"none", "debug_token_installed::false\ndebug_token_valid::false\n", Status::None,
         "No debug token"},
        {"valid", "debug_token_installed::true\ndebug_token_valid::true\n"
                  "debug_token_expiration::2031-06-30\n",
         Status::Valid, "Debug token valid until 2031-06-30"},
        {"valid_without_date", "debug_token_installed::true\n", Status::Valid,
         "Debug token valid"},
        {"expired", "debug_token_installed::true\ndebug_token_valid::false\n"
                    "debug_token_expiration::2024-01-31\n"
                    "debug_token_validation_error::Debug token has expired\n",
         Status::Expired, "Debug token expired on 2024-01-31"},
        {"invalid_with_reason", "debug_token_installed::true\ndebug_token_valid::false\n"
                                "debug_token_expiration::2031-06-30\n"
                                "debug_token_validation_error::Device PIN not in token\n",
         Status::Invalid, "Debug token invalid: Device PIN not in token"},
        {"invalid_without_reason", "debug_token_installed::true\ndebug_token_valid::false\n",
         Status::Invalid, "Debug token invalid"},
        {"last_line_wins", "debug_token_installed::false\ndebug_token_installed::TRUE\n"
                           "debug_token_valid::true\n",
         Status::Valid, "Debug token valid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceInfo info =
            ReadDeviceInfo(QStringLiteral("Info: Sending request: DEVICE_INFO\n@devmode\n") +
                           QString::fromUtf8(c.lines));
        EXPECT_EQ(info.debugToken.status, c.status);
        EXPECT_EQ(DebugTokenText(info.debugToken), QString::fromUtf8(c.text));
    }
}

#include "DeviceInfo.h"
#include "DeviceProperties.h"
#include "TextUtils.h"

#include <QFile>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
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
             i.modelNumber = "MN-0001";
             i.pin = "1A2B3C4D";
             i.os = "Example OS";
         })},
        {"every other key; a key inside a line is no property",
         "hardwareid::0x8c00240a\nxx IMEI::3530 yy\nIMEI::3530\ndeviceserialnumber::5c1f\n"
         "scmbundle::10.3.3.2205\nair_version::3.5.0.26\nflash_version::11.1.121.92",
         connectedWith([](DeviceInfo& i) {
             i.hardwareId = "0x8c00240a";
             i.imei = "3530";
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
        {"a line is one property, the rest of it its value", "x\ny\nmodelnumber::A device_os::B",
         connectedWith([](DeviceInfo& i) { i.modelNumber = "A device_os::B"; })},
        {"values cut at 80 and 30 UTF-16 units",
         "x\nmodelfullname::" + a100 + "\ndevice_os::" + a100 + "\nIMEI::" + e80 + "\n",
         connectedWith([](DeviceInfo& i) {
             i.deviceName = QString(80, QLatin1Char('a'));
             i.os = QString(30, QLatin1Char('a'));
             i.imei = QString(80, QChar(0x00e9));
         })},
        {"a key with neither \"::\" nor a type is no property",
         "x\ny\nmodelfullname:Single\ndevicepin:abcdefghijk", connectedWith([](DeviceInfo&) {})},
        {"typed and marked lines, and a PIN without \"0x\"",
         "x\n[n]modelfullname::Marked\nmodelnumber:s:Typed\ndevicepin::abcdef12",
         connectedWith([](DeviceInfo& i) {
             i.deviceName = "Marked";
             i.modelNumber = "Typed";
             i.pin = "ABCDEF12";
         })},
        {"PIN: after the first 0x, ASCII letters only upper-cased, short PIN whole",
         "x\ny\ndevicepin::0x\u00e4b1",
         connectedWith([](DeviceInfo& i) { i.pin = QString(QChar(0x00e4)) + "B1"; })},
        {"blanks around values are not part of them",
         "x\nmodelname:: \t Z30  \nmodelfullname:: BlackBerry Z30 ",
         connectedWith([](DeviceInfo& i) {
             i.modelKey = "Z30";
             i.deviceName = "BlackBerry Z30";
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
        {"device_os:: BlackBerry PlayBook OS ", "BlackBerry PlayBook", "playbook"},
        {"device_os::BlackBerry Playbook OS", "...", ""},
        {"device_os::BlackBerry PlayBook OS X", "...", ""},
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

namespace {

QString DeviceAnswer(const char* name) {
    QFile file(QStringLiteral(KESTRANE_DEVICE_ANSWERS_DIR "/") + QLatin1StringView(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << file.fileName().toStdString();
    return QString::fromUtf8(file.readAll());
}

const QDateTime kToday(QDate(2026, 12, 11), QTime(12, 0), QTimeZone::utc());

// A Passport-like answer: the real shape, no debug token installed.
const char* const kNoTokenAnswer = "Info: Sending request: DEVICE_INFO\n"
                                   "Info: Action: List Device Info\n"
                                   "[n]@deviceproperties\n"
                                   "modelfullname::BlackBerry Passport\n"
                                   "devicepin::0x2c4e8a15\n"
                                   "[n]@devmode\n"
                                   "[n]debug_token_author::\n"
                                   "[n]debug_token_expiration::\n"
                                   "[n]debug_token_installed:b:false\n"
                                   "[n]debug_token_valid:b:false\n"
                                   "[n]debug_token_validation_error::\n"
                                   "[n]debug_token_validation_error_code:n:0\n"
                                   "@versions\n"
                                   "scmbundle::10.2.1.3247\n";

} // namespace

// What real devices send: their identity and their debug token, read from the verbatim answers.
TEST(ReadDeviceInfo, VerbatimAnswersOfRealDevices) {
    using Status = DebugTokenState::Status;
    struct Case {
        const char* name;
        QString output;
        DeviceInfo identity;
        Status status;
        const char* text;
        const char* details;
    };
    const Case cases[] = {
        {"z30_valid_token_past_its_printed_date", DeviceAnswer("z30-listDeviceInfo.txt"),
         connectedWith([](DeviceInfo& i) {
             i.deviceName = "BlackBerry Z30";
             i.modelKey = "Z30";
             i.modelNumber = "STA100-2";
             i.hardwareId = "0x8d00240a";
             i.imei = "123456789023454";
             i.serialNumber = "0000000000073126680364";
             i.pin = "22233333";
             i.os = "BlackBerry 10";
             i.version = "10.2.1.2141";
             i.airVersion = "3.5.0.230";
             i.flashVersion = "11.1.121.199";
         }),
         Status::Valid, "Debug token valid past 2014-05-29",
         "The device's clock is behind: it keeps the token valid past its expiry date of "
         "2014-05-29. Issued to XyXyXyXyXy. Expiry as the device gives it: Thu May 29 19:25:34 "
         "GMT+0200 2014."},
        {"playbook_expired_token", DeviceAnswer("playbook-listDeviceInfo.txt"),
         connectedWith([](DeviceInfo& i) {
             i.deviceName = "BlackBerry PlayBook";
             i.modelKey = "playbook";
             i.hardwareId = "0x06001a06";
             i.serialNumber = "0000000000134339091771";
             i.pin = "12234565";
             i.os = "BlackBerry PlayBook OS";
             i.version = "2.1.0.1917";
             i.airVersion = "3.1.0.80";
             i.flashVersion = "11.1.121.80";
         }),
         Status::Expired, "Debug token expired",
         "The device says: debug token has expired (code 3)."},
        {"passport_like_without_token", QString::fromLatin1(kNoTokenAnswer),
         connectedWith([](DeviceInfo& i) {
             i.deviceName = "BlackBerry Passport";
             i.pin = "2C4E8A15";
             i.version = "10.2.1.3247";
         }),
         Status::None, "No debug token", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceInfo info = ReadDeviceInfo(c.output);
        EXPECT_EQ(info, c.identity);
        EXPECT_EQ(info.debugToken.status, c.status);
        EXPECT_EQ(DebugTokenText(info.debugToken, kToday), QString::fromUtf8(c.text));
        EXPECT_EQ(DebugTokenDetails(info.debugToken, kToday), QString::fromUtf8(c.details));
    }
    const DebugTokenState z30 = ReadDeviceInfo(DeviceAnswer("z30-listDeviceInfo.txt")).debugToken;
    EXPECT_EQ(z30.expiry, QDateTime(QDate(2014, 5, 29), QTime(17, 25, 34), QTimeZone::utc()));
    EXPECT_EQ(z30.validationErrorCode, 0);
    EXPECT_EQ(DebugTokenText(z30, QDateTime(QDate(2014, 5, 1), QTime(0, 0), QTimeZone::utc())),
              "Debug token valid until 2014-05-29")
        << "before its date the token is simply valid";
}

TEST(DeviceProperties, LinesAsDevicesWriteThem) {
    struct Case {
        const char* line;
        bool property;
        const char* key;
        char type;
        const char* value;
    };
    const Case cases[] = {
        {"defaultTheme::black", true, "defaultTheme", 0, "black"},
        {"[n]debug_token_valid:b:true", true, "debug_token_valid", 'b', "true"},
        {"[n]debug_token_validation_error_code:n:0", true, "debug_token_validation_error_code", 'n',
         "0"},
        {"[n]debug_token_author::", true, "debug_token_author", 0, ""},
        {"build_id::  683354", true, "build_id", 0, "683354"},
        {"vendorid::?", true, "vendorid", 0, "?"},
        {"modelfullname::Phone::X\r", true, "modelfullname", 0, "Phone::X"},
        {"[n]@deviceproperties", false, "", 0, ""},
        {"@versions", false, "", 0, ""},
        {"Build Branch: BB10_2_1_EMR_1", false, "", 0, ""},
        {"Info: Sending request: DEVICE_INFO", false, "", 0, ""},
        {"Error: Cannot connect: Connection to https://1.2.3.4:443 refused.", false, "", 0, ""},
        {"::value without a key", false, "", 0, ""},
        {"key:bb:two letters", false, "", 0, ""},
        {"[a very long marker]key::v", false, "", 0, ""},
        {"", false, "", 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const std::optional<DeviceProperty> p = DeviceProperties::ParseLine(c.line);
        ASSERT_EQ(p.has_value(), c.property);
        if (!p)
            continue;
        EXPECT_EQ(p->key, c.key);
        EXPECT_EQ(p->type, c.type ? QChar(QLatin1Char(c.type)) : QChar());
        EXPECT_EQ(p->value, c.value);
    }
}

TEST(DeviceProperties, SectionsRepeatAndTheLastValueWins) {
    const DeviceProperties properties = DeviceProperties::Read(SplitLines(
        DeviceAnswer("z30-listDeviceInfo.txt") + "\n[n]debug_token_valid:b:FALSE\nodd:n:x\n"));
    const auto pin = std::find_if(properties.all().begin(), properties.all().end(),
                                  [](const DeviceProperty& p) { return p.key == "devicepin"; });
    ASSERT_NE(pin, properties.all().end());
    EXPECT_EQ(pin->section, "deviceproperties") << "the second, repeated section";
    EXPECT_EQ(properties.value(QLatin1StringView("hostname")), "Drone");
    EXPECT_EQ(properties.value(QLatin1StringView("build_id")), "668631");
    EXPECT_EQ(properties.value(QLatin1StringView("Build Branch")), std::nullopt);
    EXPECT_EQ(properties.flag(QLatin1StringView("debug_token_valid")), false);
    EXPECT_EQ(properties.flag(QLatin1StringView("dev_mode_enabled")), true);
    EXPECT_EQ(properties.flag(QLatin1StringView("defaultTheme")), std::nullopt);
    EXPECT_EQ(properties.number(QLatin1StringView("debug_token_validation_error_code")), 0);
    EXPECT_EQ(properties.number(QLatin1StringView("odd")), std::nullopt);
}

TEST(DeviceProperties, DatesAsDevicesPrintThem) {
    const QTimeZone utc = QTimeZone::utc();
    struct Case {
        const char* text;
        QDateTime expected; // invalid: no date
    };
    const Case cases[] = {
        {"Thu May 29 19:25:34 GMT+0200 2014", QDateTime({2014, 5, 29}, {17, 25, 34}, utc)},
        {"Thu May 29 19:25:34 GMT+02:00 2014", QDateTime({2014, 5, 29}, {17, 25, 34}, utc)},
        {"Thu May 29 19:25:34 CEST 2014", QDateTime({2014, 5, 29}, {17, 25, 34}, utc)},
        {"Fri Jan 02 01:00:00 GMT-0530 2015", QDateTime({2015, 1, 2}, {6, 30}, utc)},
        {"Sun Jun 01 08:00:00 UTC 2031", QDateTime({2031, 6, 1}, {8, 0}, utc)},
        {"Sun Jun 01 08:00:00 XYZT 2031", QDateTime({2031, 6, 1}, {8, 0}, utc)},
        {"2031-06-30", QDateTime({2031, 6, 30}, {23, 59, 59}, utc)},
        {"2031-06-30T10:00:00Z", QDateTime({2031, 6, 30}, {10, 0}, utc)},
        {"Thu Foo 29 19:25:34 GMT 2014", {}},
        {"Thu Feb 30 19:25:34 GMT 2014", {}},
        {"Thu May 29 25:25:34 GMT 2014", {}},
        {"Thu May 29 23:30:00 GMT200 201014", {}}, // a fuzzer's finding: no ISO text of it
        {"Thu May 29 23:30:00 GMT -2014", {}},
        {"10d", {}},
        {"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QDateTime parsed = ParseDeviceDate(QString::fromLatin1(c.text));
        EXPECT_EQ(parsed.isValid(), c.expected.isValid());
        if (c.expected.isValid()) {
            EXPECT_EQ(parsed, c.expected);
        }
    }
    EXPECT_EQ(ParseDeviceDate("Thu May 29 23:30:00 GMT+0200 2014").date(), QDate(2014, 5, 29))
        << "the date as printed, in the device's zone";
}

// The debug token's state and the main screen's text for it, from either form of line.
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
        {"none_typed", "[n]debug_token_installed:b:false\n[n]debug_token_valid:b:false\n",
         Status::None, "No debug token"},
        {"valid",
         "debug_token_installed::true\ndebug_token_valid::true\n"
         "debug_token_expiration::2031-06-30\n",
         Status::Valid, "Debug token valid until 2031-06-30"},
        {"valid_typed_java_date",
         "[n]debug_token_installed:b:true\n[n]debug_token_valid:b:true\n"
         "[n]debug_token_expiration::Mon Jun 30 12:00:00 GMT+0200 2031\n",
         Status::Valid, "Debug token valid until 2031-06-30"},
        {"valid_past_its_date_the_device_decides",
         "[n]debug_token_installed:b:true\n[n]debug_token_valid:b:true\n"
         "[n]debug_token_expiration::2024-01-31\n",
         Status::Valid, "Debug token valid past 2024-01-31"},
        {"valid_with_an_unreadable_date",
         "debug_token_installed::true\ndebug_token_expiration::soon\n", Status::Valid,
         "Debug token valid until soon"},
        {"valid_without_date", "debug_token_installed::true\n", Status::Valid, "Debug token valid"},
        {"expired",
         "debug_token_installed::true\ndebug_token_valid::false\n"
         "debug_token_expiration::2024-01-31\n"
         "debug_token_validation_error::Debug token has expired\n",
         Status::Expired, "Debug token expired on 2024-01-31"},
        {"invalid_with_reason",
         "[n]debug_token_installed:b:true\n[n]debug_token_valid:b:false\n"
         "[n]debug_token_expiration::2031-06-30\n"
         "[n]debug_token_validation_error::Device PIN not in token\n",
         Status::Invalid, "Debug token invalid: Device PIN not in token"},
        {"invalid_without_reason", "debug_token_installed::true\ndebug_token_valid::false\n",
         Status::Invalid, "Debug token invalid"},
        {"last_line_wins",
         "debug_token_installed::false\ndebug_token_installed::TRUE\n"
         "debug_token_valid::true\n",
         Status::Valid, "Debug token valid"},
        {"installed_with_a_word_that_is_no_flag", "[n]debug_token_installed:b:maybe\n",
         Status::None, "No debug token"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DeviceInfo info =
            ReadDeviceInfo(QStringLiteral("Info: Sending request: DEVICE_INFO\n@devmode\n") +
                           QString::fromUtf8(c.lines));
        EXPECT_EQ(info.debugToken.status, c.status);
        EXPECT_EQ(DebugTokenText(info.debugToken, kToday), QString::fromUtf8(c.text));
    }
    // The command line has room for the whole sentence.
    const DebugTokenState behind =
        ReadDeviceInfo(DeviceAnswer("z30-listDeviceInfo.txt")).debugToken;
    EXPECT_EQ(DebugTokenStateText(behind, kToday),
              "valid (the device's clock is behind its expiry date of 2014-05-29)");
}

// Discovery: reading devices' answers, the order of the addresses probed, and a scan of fake
// devices on loopback that behave as devices and as the hosts that are none.

#include "Discovery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace kestrane {
namespace {

QByteArray Answer(const QByteArray& fields) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<RimTabletResponse>"
           "<DeviceCharacteristics>" +
           fields + "</DeviceCharacteristics></RimTabletResponse>";
}

const QByteArray Z30Fields =
    "<BbPin>572732211</BbPin><SystemMachine>BlackBerry_Z30</SystemMachine>"
    "<OsType>BlackBerry 10</OsType><PlatformVersion>10.3.3.2205</PlatformVersion>"
    "<ModelName>Z30</ModelName><MinSupportedProtocolVersion>1</MinSupportedProtocolVersion>"
    "<MaxSupportedProtocolVersion>4</MaxSupportedProtocolVersion>"
    "<DeveloperModeEnabled>1</DeveloperModeEnabled><OobeCompleted>1</OobeCompleted>";

struct AnswerCase {
    const char* name;
    QByteArray body;
    bool device;
    QString pin = {}, model = {}, osType = {}, osVersion = {};
    std::optional<bool> developmentMode = {}, setupFinished = {};
};

TEST(DiscoveryAnswer, ReadsDevicesAndRejectsEverythingElse) {
    const std::vector<AnswerCase> cases = {
        {"Z30", Answer(Z30Fields), true, "22233333", "BlackBerry Z30", "BlackBerry 10",
         "10.3.3.2205", true, true},
        {"fields in another order, blanks around values",
         Answer("<OobeCompleted>0</OobeCompleted><DeveloperModeEnabled>0</DeveloperModeEnabled>"
                "<PlatformVersion> 10.3.2.2876 </PlatformVersion><ModelName>Q20</ModelName>"
                "<BbPin>\n740424151\n</BbPin><OsType>BlackBerry 10</OsType>"),
         true, "2C21F9D7", "BlackBerry Q20", "BlackBerry 10", "10.3.2.2876", false, false},
        {"PlayBook without model fields",
         Answer("<BbPin>1352917431</BbPin><OsType>BlackBerry PlayBook OS</OsType>"
                "<PlatformVersion>2.1.0.1917</PlatformVersion>"
                "<DeveloperModeEnabled>1</DeveloperModeEnabled>"),
         true, "50A3E1B7", "BlackBerry PlayBook", "BlackBerry PlayBook OS", "2.1.0.1917", true,
         std::nullopt},
        {"only the PIN", Answer("<BbPin>1</BbPin>"), true, "00000001", "", "", "", std::nullopt,
         std::nullopt},
        {"no PIN", Answer("<ModelName>Z30</ModelName>"), false},
        {"PIN over 32 bits", Answer("<BbPin>4294967296</BbPin>"), false},
        {"PIN in hex", Answer("<BbPin>0x2A7F3C9E</BbPin>"), false},
        {"cut off", Answer(Z30Fields).chopped(20), false},
        {"tags that do not match",
         "<RimTabletResponse><DeviceCharacteristics><BbPin>1</Pin>"
         "</DeviceCharacteristics></RimTabletResponse>",
         false},
        {"another root",
         "<Response><DeviceCharacteristics><BbPin>1</BbPin>"
         "</DeviceCharacteristics></Response>",
         false},
        {"no DeviceCharacteristics", "<RimTabletResponse><BbPin>1</BbPin></RimTabletResponse>",
         false},
        {"HTML error page",
         "<!DOCTYPE html><html><head><title>404 Not Found</title></head>"
         "<body><h1>Not Found</h1></body></html>",
         false},
        {"empty", "", false},
        {"oversized",
         Answer(Z30Fields + "<Padding>" + QByteArray(DiscoveryAnswerLimit, 'x') + "</Padding>"),
         false},
    };
    for (const AnswerCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DiscoveredDevice> device = ReadDiscoveryAnswer(c.body);
        ASSERT_EQ(device.has_value(), c.device);
        if (!device)
            continue;
        EXPECT_EQ(device->pin, c.pin);
        EXPECT_EQ(device->model(), c.model);
        EXPECT_EQ(device->osType, c.osType);
        EXPECT_EQ(device->osVersion, c.osVersion);
        EXPECT_EQ(device->developmentMode, c.developmentMode);
        EXPECT_EQ(device->setupFinished, c.setupFinished);
    }
}

TEST(DiscoveryAnswer, ReadsTheHttpResponseAsItArrives) {
    using State = DiscoveryResponse::State;
    const QByteArray body = Answer(Z30Fields);
    const QByteArray withLength = "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                                  QByteArray::number(body.size()) + "\r\n\r\n" + body;
    struct Case {
        const char* name;
        QByteArray received;
        bool closed;
        State state;
        QByteArray body;
    };
    const std::vector<Case> cases = {
        {"nothing yet", "", false, State::Incomplete, {}},
        {"part of the status line", "HTTP/1", false, State::Incomplete, {}},
        {"head not complete", "HTTP/1.0 200 OK\r\nContent-Len", false, State::Incomplete, {}},
        {"complete by its length, still open", withLength, false, State::Complete, body},
        {"short of its length", withLength.chopped(1), false, State::Incomplete, {}},
        {"short of its length, closed", withLength.chopped(1), true, State::Rejected, {}},
        {"no length: ends when closed", "HTTP/1.0 200 OK\r\n\r\n" + body, true, State::Complete,
         body},
        {"no length, still open", "HTTP/1.0 200 OK\r\n\r\n" + body, false, State::Incomplete, {}},
        {"not found", "HTTP/1.1 404 Not Found\r\n\r\n<html></html>", true, State::Rejected, {}},
        {"redirect", "HTTP/1.1 302 Found\r\nLocation: /login\r\n\r\n", true, State::Rejected, {}},
        {"no HTTP", "SSH-2.0-OpenSSH_9.2\r\n", false, State::Rejected, {}},
        {"chunked",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\n",
         false,
         State::Rejected,
         {}},
        {"announces too much",
         "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(DiscoveryAnswerLimit + 1) +
             "\r\n\r\n",
         false,
         State::Rejected,
         {}},
        {"sends too much",
         "HTTP/1.0 200 OK\r\n\r\n" + QByteArray(DiscoveryAnswerLimit, 'x'),
         false,
         State::Rejected,
         {}},
        {"closed before the head ended", "HTTP/1.0 200 OK\r\n", true, State::Rejected, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DiscoveryResponse response = ReadDiscoveryResponse(c.received, c.closed);
        EXPECT_EQ(int(response.state), int(c.state));
        EXPECT_EQ(response.body, c.body);
    }
}

quint32 Ip(const char* text) {
    return QHostAddress(QString::fromLatin1(text)).toIPv4Address();
}

QStringList Texts(const QList<quint32>& addresses) {
    QStringList texts;
    for (quint32 address : addresses)
        texts.append(Ipv4Text(address));
    return texts;
}

TEST(DiscoveryCandidates, MostLikelyFirstEachOnce) {
    struct Case {
        const char* name;
        QList<Ipv4Network> local;
        // The first addresses, then how many in all.
        QStringList first;
        qsizetype count;
    };
    const std::vector<Case> cases = {
        {"no networks", {}, {}, 0},
        {"USB link: neighbours, 169.254.0.1, then the /24 around from its start",
         {{Ip("169.254.10.2"), 16}},
         {"169.254.10.1", "169.254.10.3", "169.254.0.1", "169.254.10.0", "169.254.10.4"},
         // 169.254.10.0-255 less the computer's own, plus 169.254.0.1
         256 - 1 + 1},
        {"the default USB address: its neighbour below is the device's default",
         {{Ip("169.254.0.2"), 16}},
         {"169.254.0.1", "169.254.0.3", "169.254.0.4"},
         // 169.254.0.0 is link-local's own network address: never probed
         256 - 1 - 1},
        {"USB link at the edge of its /24",
         {{Ip("169.254.3.0"), 16}, {Ip("169.254.4.255"), 16}},
         {"169.254.3.1", "169.254.0.1", "169.254.4.254", "169.254.3.2"},
         // both /24s less the two own addresses, plus 169.254.0.1
         512 - 2 + 1},
        {"Wi-Fi /24 whole, without the computer and its network's own addresses",
         {{Ip("192.168.1.23"), 24}},
         {"192.168.1.1", "192.168.1.2", "192.168.1.3"},
         253},
        {"a /22 whole", {{Ip("10.20.5.9"), 22}}, {"10.20.4.1", "10.20.4.2"}, 1021},
        {"a /16 only its /24", {{Ip("172.20.7.9"), 16}}, {"172.20.7.0", "172.20.7.1"}, 255},
        {"a /8 only its /24", {{Ip("10.1.2.3"), 8}}, {"10.1.2.0"}, 255},
        {"a /30", {{Ip("192.168.9.1"), 30}}, {"192.168.9.2"}, 1},
        {"USB first, then the Wi-Fi network; own addresses skipped in both",
         {{Ip("192.168.1.5"), 24}, {Ip("169.254.0.2"), 16}},
         {"169.254.0.1", "169.254.0.3", "192.168.1.1", "192.168.1.2", "192.168.1.3", "192.168.1.4",
          "192.168.1.6"},
         253 + 254},
        {"two addresses in one network: probed once",
         {{Ip("192.168.1.5"), 24}, {Ip("192.168.1.6"), 24}},
         {"192.168.1.1", "192.168.1.2", "192.168.1.3", "192.168.1.4", "192.168.1.7"},
         252},
        {"public and loopback networks are not scanned",
         {{Ip("203.0.113.7"), 24}, {Ip("127.0.0.1"), 8}, {Ip("172.32.0.5"), 24}},
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QStringList candidates = Texts(DiscoveryCandidates(c.local));
        EXPECT_EQ(candidates.mid(0, c.first.size()), c.first);
        EXPECT_EQ(candidates.size(), c.count);
        EXPECT_EQ(QSet<QString>(candidates.begin(), candidates.end()).size(), candidates.size());
        for (const Ipv4Network& local : c.local)
            EXPECT_FALSE(candidates.contains(Ipv4Text(local.address)));
    }
}

TEST(DiscoveryNetworks, ParsedAsGivenUpToASlash16) {
    struct Case {
        const char* text;
        bool valid;
        QString first = {}, last = {};
        qsizetype hosts = 0;
    };
    const std::vector<Case> cases = {
        {"192.168.1.0/24", true, "192.168.1.1", "192.168.1.254", 254},
        {"192.168.1.77/24", true, "192.168.1.1", "192.168.1.254", 254},
        {"127.0.0.0/28", true, "127.0.0.1", "127.0.0.14", 14},
        {"10.0.0.0/16", true, "10.0.0.1", "10.0.255.254", 65534},
        {"10.0.0.4/31", true, "10.0.0.4", "10.0.0.5", 2},
        {"10.0.0.4/32", true, "10.0.0.4", "10.0.0.4", 1},
        {"10.0.0.4", true, "10.0.0.4", "10.0.0.4", 1},
        {"10.0.0.0/15", false},
        {"0.0.0.0/0", false},
        {"10.0.0.0/33", false},
        {"10.0.0.0/x", false},
        {"10.1/24", false},
        {"printer.local/24", false},
        {"256.1.1.1/24", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        QString error;
        const std::optional<Ipv4Network> network =
            ParseNetwork(QString::fromLatin1(c.text), &error);
        ASSERT_EQ(network.has_value(), c.valid) << error.toStdString();
        if (!network) {
            EXPECT_TRUE(error.contains(QString::fromLatin1(c.text)));
            continue;
        }
        const QStringList hosts = Texts(NetworkHosts(*network));
        EXPECT_EQ(hosts.size(), c.hosts);
        EXPECT_EQ(hosts.first(), c.first);
        EXPECT_EQ(hosts.last(), c.last);
    }
}

// A fake host on one loopback address: a device, or one of the hosts that are none.
class FakeHost : public QObject {
public:
    enum class Kind { Device, Silent, Closes, Huge };

    FakeHost(Kind kind, const QString& address, quint16 port) : kind_(kind) {
        listening_ = server_.listen(QHostAddress(address), port);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection())
                serve(socket);
        });
    }
    bool listening() const { return listening_; }
    quint16 port() const { return server_.serverPort(); }
    QByteArray request() const { return request_; }

private:
    void serve(QTcpSocket* socket) {
        if (kind_ == Kind::Closes) {
            socket->close();
            socket->deleteLater();
            return;
        }
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            request_ += socket->readAll();
            if (!request_.contains("\r\n\r\n") || kind_ == Kind::Silent)
                return;
            if (kind_ == Kind::Device) {
                const QByteArray body = Answer(Z30Fields);
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\n\r\n" + body);
                socket->disconnectFromHost();
            } else {
                // Without an end: the probe must stop reading at its limit.
                socket->write("HTTP/1.0 200 OK\r\n\r\n" + Answer(QByteArray(1 << 20, 'x')));
            }
        });
    }

    Kind kind_;
    QTcpServer server_;
    bool listening_ = false;
    QByteArray request_;
};

TEST(DiscoveryScan, FindsTheDeviceAndEndsDespiteHostsThatAreNone) {
    // 127.0.0.1 takes a free port; the other fake hosts listen on the same port at their own
    // loopback addresses. 127.0.0.5 and .6 have nothing listening: refused.
    std::vector<std::unique_ptr<FakeHost>> hosts;
    hosts.push_back(std::make_unique<FakeHost>(FakeHost::Kind::Silent, "127.0.0.1", 0));
    ASSERT_TRUE(hosts[0]->listening());
    const quint16 port = hosts[0]->port();
    hosts.push_back(std::make_unique<FakeHost>(FakeHost::Kind::Device, "127.0.0.2", port));
    hosts.push_back(std::make_unique<FakeHost>(FakeHost::Kind::Closes, "127.0.0.3", port));
    hosts.push_back(std::make_unique<FakeHost>(FakeHost::Kind::Huge, "127.0.0.4", port));
    for (const auto& host : hosts)
        ASSERT_TRUE(host->listening()) << "another program holds port " << port;

    QString error;
    DiscoverySettings settings;
    settings.port = port;
    settings.parallel = 3;
    DiscoveryScan scan(NetworkHosts(*ParseNetwork(QStringLiteral("127.0.0.0/29"), &error)),
                       settings);
    QList<DiscoveredDevice> found;
    QObject::connect(&scan, &DiscoveryScan::found,
                     [&found](const DiscoveredDevice& device) { found.append(device); });
    QObject::connect(&scan, &DiscoveryScan::finished, qApp, &QCoreApplication::quit);
    // A scan that hangs fails here instead of holding the test run.
    QTimer::singleShot(30000, qApp, &QCoreApplication::quit);
    QElapsedTimer clock;
    clock.start();
    scan.start();
    QCoreApplication::exec();

    ASSERT_TRUE(scan.isFinished());
    // Two rounds of the answer timeout at most; the bound is wide for a busy machine.
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(scan.done(), 6);
    EXPECT_LE(scan.peakOpen(), 3);
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0].address, QStringLiteral("127.0.0.2"));
    EXPECT_EQ(found[0].pin, QStringLiteral("22233333"));
    EXPECT_EQ(found[0].via, DiscoveryVia::Network);
    EXPECT_EQ(scan.devices().size(), 1);
    const QByteArray request = hosts[1]->request();
    EXPECT_TRUE(request.startsWith("GET /cgi-bin/discovery.cgi HTTP/1.")) << request.constData();
    EXPECT_TRUE(request.contains("\r\nUser-Agent: QNXWebClient/1.0\r\n"));
}

TEST(DiscoveryScan, CancelEndsOpenProbesAtOnce) {
    FakeHost silent(FakeHost::Kind::Silent, QStringLiteral("127.0.0.1"), 0);
    ASSERT_TRUE(silent.listening());
    DiscoverySettings settings;
    settings.port = silent.port();
    settings.answerTimeoutMs = 60000;
    DiscoveryScan scan({Ip("127.0.0.1")}, settings);
    QObject::connect(&scan, &DiscoveryScan::finished, qApp, &QCoreApplication::quit);
    QTimer::singleShot(200, &scan, &DiscoveryScan::cancel);
    QTimer::singleShot(30000, qApp, &QCoreApplication::quit);
    scan.start();
    QCoreApplication::exec();
    EXPECT_TRUE(scan.isFinished());
    EXPECT_TRUE(scan.devices().isEmpty());
}

} // namespace
} // namespace kestrane

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

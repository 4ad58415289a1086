// The phone noticed end to end: a network interface of the test's own (a dummy or tap link, made
// with ip(8), which needs root or CAP_NET_ADMIN) is given a link-local address while the window
// runs with the system's interface watcher; the address field takes the neighbour address.
// Skipped, with the reason, where such a link cannot be made. Nothing is probed: the scan is
// replaced by a recorder, so no packet leaves the machine.

#include "PhoneNoticer.h"
#include "TextUtils.h"
#include "WindowTestSupport.h"

#include <QHostAddress>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

// Runs ip(8) with arguments; the text of what went wrong, empty when it worked.
QString Ip(const QStringList& arguments) {
    QProcess ip;
    ip.setProcessChannelMode(QProcess::MergedChannels);
    ip.start(QStringLiteral("ip"), arguments);
    if (!ip.waitForStarted(5000))
        return QStringLiteral("ip(8) cannot be started: %1").arg(ip.errorString());
    ip.waitForFinished(10000);
    if (ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0)
        return {};
    return QStringLiteral("ip %1: %2")
        .arg(arguments.join(u' '), QString::fromLocal8Bit(ip.readAll()).trimmed());
}

// A link of the test's own, removed when it goes.
class TestLink {
public:
    TestLink() : name_(QStringLiteral("kst%1").arg(::getpid())) {}
    ~TestLink() {
        if (made_)
            Ip({QStringLiteral("link"), QStringLiteral("delete"), name_});
    }

    // A dummy link, else a tap link; the reasons neither could be made, empty when one was.
    QString make() {
        QString dummy = Ip({QStringLiteral("link"), QStringLiteral("add"), name_,
                            QStringLiteral("type"), QStringLiteral("dummy")});
        if (dummy.isEmpty())
            return made_ = true, QString();
        QString tap = Ip({QStringLiteral("tuntap"), QStringLiteral("add"), QStringLiteral("dev"),
                          name_, QStringLiteral("mode"), QStringLiteral("tap")});
        if (tap.isEmpty())
            return made_ = true, QString();
        return dummy + QStringLiteral("; ") + tap;
    }
    const QString& name() const { return name_; }

private:
    QString name_;
    bool made_ = false;
};

} // namespace

class PlugEndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { PrepareWindowSuite(); }
    void init() { scope_.begin(); }
    void cleanup() { QVERIFY2(scope_.end().isEmpty(), qPrintable(scope_.end())); }

    void aLinkLocalAddressOnANewLinkFillsTheAddressField();

private:
    WindowTestScope scope_;
};

void PlugEndToEndTest::aLinkLocalAddressOnANewLinkFillsTheAddressField() {
    if (::geteuid() != 0)
        QSKIP("needs root (or CAP_NET_ADMIN) to make a network link of its own");
    TestLink link;
    const QString problem = link.make();
    if (!problem.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no link can be made here: ") + problem));

    WindowWorld world;
    Services services = world.services();
    services.interfaceWatcher = MakeSystemInterfaceWatcher();
    auto window = std::make_unique<ProbeWindow>(services);
    QList<QList<quint32>> probes;
    window->phoneNoticer().setProber([&probes](const QList<quint32>& addresses, QObject*,
                                               PhoneNoticer::Found) { probes.append(addresses); });
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(RemoveSpaces(window->edtIP->maskedText()), QStringLiteral("169.254.0.1"));

    QCOMPARE(Ip({QStringLiteral("link"), QStringLiteral("set"), link.name(), QStringLiteral("up")}),
             QString());
    QCOMPARE(Ip({QStringLiteral("address"), QStringLiteral("add"),
                 QStringLiteral("169.254.77.2/16"), QStringLiteral("dev"), link.name()}),
             QString());
    QTRY_COMPARE_WITH_TIMEOUT(RemoveSpaces(window->edtIP->maskedText()),
                              QStringLiteral("169.254.77.1"), 10000);
    QVERIFY(!probes.isEmpty());
    QCOMPARE(probes.constLast().constFirst(),
             QHostAddress(QStringLiteral("169.254.77.1")).toIPv4Address());
}

QTEST_MAIN(PlugEndToEndTest)
#include "PlugEndToEndTest.moc"

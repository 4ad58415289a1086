// The About box's links clicked headless: each hands its address to the desktop, and the two
// labels show the addresses their clicks open.

#include "SupportLinks.h"
#include "Fonts.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QtTest>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

// Keeps the addresses handed to the desktop instead of opening them.
class RecordingDesktop : public DesktopOpener {
public:
    void Open(const QString& address) override { opened.append(address); }
    QStringList opened;
};

} // namespace

class SupportLinksTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareWindowSuite(); }
    void init() { scope_.begin(); }
    void cleanup() {
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void clickOpensTheAddress_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("address");
        QTest::newRow("support e-mail") << "Label10"
                                        << "mailto:support@kestrane.example";
        QTest::newRow("web site") << "Label11"
                                  << "http://kestrane.example";
        QTest::newRow("donation") << "ImgDonate" << DonationAddress();
    }

    void clickOpensTheAddress() {
        QFETCH(QString, control);
        QFETCH(QString, address);
        const auto desktop = std::make_shared<RecordingDesktop>();
        WindowWorld world;
        Services services = world.services();
        services.desktop = desktop;
        TfrmBB10 window(services);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        auto* link = window.findChild<QWidget*>(control);
        QVERIFY(link != nullptr);
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(desktop->opened, QStringList{address});
    }

    void labelsShowTheOpenedAddresses() {
        const auto desktop = std::make_shared<RecordingDesktop>();
        WindowWorld world;
        Services services = world.services();
        services.desktop = desktop;
        TfrmBB10 window(services);
        window.Label10Click();
        window.Label11Click();
        QCOMPARE(desktop->opened, (QStringList{QStringLiteral("mailto:") + window.Label10->text(),
                                               window.Label11->text()}));
    }

private:
    WindowTestScope scope_;
};

QTEST_MAIN(SupportLinksTest)
#include "SupportLinksTest.moc"

// How the window looks with the fonts installed here: every caption fits its control, nothing
// is cut by the panel it lies on or runs into a neighbour. Also writes a picture of each screen
// (build/screenshots/) for a person to look at.

#include "Fonts.h"
#include "ListColumns.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QtTest>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

// The window's place of a control, and the part of it its panels leave to be seen. (The
// window's own border cuts the screens' right and bottom edges by design.)
QRect PlaceInWindow(const QWidget* control, const QWidget* window) {
    return QRect(control->mapTo(window, QPoint(0, 0)), control->size());
}

QRect SeenPart(const QWidget* control, const QWidget* window) {
    QRect seen = PlaceInWindow(control, window);
    for (const QWidget* panel = control->parentWidget(); panel != nullptr && panel != window;
         panel = panel->parentWidget()) {
        seen &= PlaceInWindow(panel, window);
    }
    return seen;
}

// More than the one-pixel overlap the design has between the edit fields and their buttons.
bool RunsInto(const QRect& one, const QRect& other) {
    const QRect shared = one & other;
    return shared.width() > 1 && shared.height() > 1;
}

QString Caption(const QWidget* control) {
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        text = label->text();
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        text = button->text();
    } else if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
        text = frame->title();
    }
    return text.remove(QLatin1Char('&'));
}

// Room a caption needs inside its control beyond the text itself.
int CaptionMargin(const QWidget* control) {
    if (qobject_cast<const QGroupBox*>(control) != nullptr) {
        return 16; // the frame's corner before the caption and a little after
    }
    if (qobject_cast<const QAbstractButton*>(control) != nullptr) {
        return 4;
    }
    return 0;
}

// Controls that lie behind others by design: the card, the pictures and the bars' backgrounds.
bool IsBackground(const QWidget* control) {
    return qobject_cast<const RoundedShape*>(control) != nullptr ||
           (qobject_cast<const Picture*>(control) != nullptr &&
            qobject_cast<const ClickablePicture*>(control) == nullptr);
}

bool IsControl(const QWidget* widget) {
    return widget->isVisible() && !widget->objectName().isEmpty() && !IsBackground(widget) &&
           (qobject_cast<const QLabel*>(widget) != nullptr ||
            qobject_cast<const QAbstractButton*>(widget) != nullptr ||
            qobject_cast<const QLineEdit*>(widget) != nullptr ||
            qobject_cast<const QGroupBox*>(widget) != nullptr ||
            qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
            qobject_cast<const ClickablePicture*>(widget) != nullptr);
}

struct Screen {
    QString name;
    bool collapsed;
};

std::unique_ptr<ProbeWindow> ShowScreen(const QString& screen, bool collapsed) {
    auto window = MakeWindow();
    UnlockAsConnected(*window);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        qFatal("window not shown");
    }
    window->screens->setCurrentWidget(window->findChild<QWidget*>(screen));
    if (collapsed) {
        window->SpeedButton2Click();
    }
    return window;
}

void AddSampleRows(TfrmBB10& window) {
    window.edtIP->setAddressText(QStringLiteral("169.254.0.1"));
    window.edtPwd->setText(QStringLiteral("password"));
    const QStringList bars[] = {
        {"Weather Radar", "2.4.1.120", "4823114", "Cascades", "/bars/radar.bar", "Done"},
        {"Podcasts", "10.3.0.7", "12088346", "Native", "/bars/podcasts.bar",
         "Installing ... (64%)"},
        {"Sketchpad", "1.0.0.3", "391554", "AIR", "/bars/sketch.bar", ""},
    };
    for (const QStringList& row : bars) {
        window.lstBarFile->addTopLevelItem(new QTreeWidgetItem(row));
    }
    const QStringList apps[] = {
        {"Browser", "10.3.3.2205", "sys.browser", "Running", "gYABgJYFHAzbeFMPCCpYWBtHAm0"},
        {"Podcasts", "10.3.0.7", "com.example.podcasts", "", "testRDbV9kMyyO7QQgU5CjDBa6c"},
        {"Weather Radar", "2.4.1.120", "com.example.radar", "Stop", "testsW2bhW7Ql8HfMazLaf7JqQA"},
    };
    for (const QStringList& row : apps) {
        auto* item = new QTreeWidgetItem(row);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(AppColumn::Name, row[0] == "Podcasts" ? Qt::Checked : Qt::Unchecked);
        window.lstApps->addTopLevelItem(item);
    }
}

} // namespace

class WindowLookTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareWindowSuite(); }
    void init() { scope_.begin(); }
    void cleanup() {
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    void captionsFitAndNothingOverlaps_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<bool>("collapsed");
        QTest::newRow("main screen") << "pMain" << false;
        QTest::newRow("main screen, connection panel collapsed") << "pMain" << true;
        QTest::newRow("install screen") << "pInstall" << false;
        QTest::newRow("manage screen") << "pManage" << false;
    }

    void captionsFitAndNothingOverlaps() {
        QFETCH(QString, screen);
        QFETCH(bool, collapsed);
        auto window = ShowScreen(screen, collapsed);
        const QList<QWidget*> all = window->screens->currentWidget()->findChildren<QWidget*>();
        QList<QWidget*> controls;
        for (QWidget* widget : all) {
            if (IsControl(widget) && !SeenPart(widget, window.get()).isEmpty()) {
                controls.append(widget);
            }
        }
        QVERIFY(!controls.isEmpty());
        for (QWidget* control : controls) {
            const QString name = control->objectName();
            const int needed =
                control->fontMetrics().horizontalAdvance(Caption(control)) + CaptionMargin(control);
            QVERIFY2(needed <= control->width(), qPrintable(name + " cuts its caption"));
            QVERIFY2(SeenPart(control, window.get()) == PlaceInWindow(control, window.get()),
                     qPrintable(name + " is cut by the panel it lies on"));
            for (QWidget* other : controls) {
                if (other != control && other->parentWidget() == control->parentWidget()) {
                    QVERIFY2(!RunsInto(control->geometry(), other->geometry()),
                             qPrintable(name + " runs into " + other->objectName()));
                }
            }
        }
    }

    void pictures() {
        auto window = ShowScreen("pMain", false);
        QCOMPARE(window->imgModel->picture().size(), QSize(235, 350));
        QCOMPARE(window->ImgDonate->picture().size(), QSize(122, 47));
        QCOMPARE(window->Image1->picture().size(), QSize(660, 60));
        QCOMPARE(window->Image2->picture().size(), QSize(660, 60));
        QCOMPARE(window->Image3->picture().size(), QSize(660, 60));
        QVERIFY(!window->windowIcon().isNull());
        QCOMPARE(window->windowIcon().availableSizes().size(), 7);
    }

    // Pictures of every screen for a person to look at.
    void grabScreens() {
        const QDir folder(QStringLiteral(KESTRANE_SCREENSHOT_DIR));
        QVERIFY(folder.mkpath(QStringLiteral(".")));
        const Screen screens[] = {
            {"pMain", false}, {"pMain", true}, {"pInstall", false}, {"pManage", false}};
        for (const Screen& screen : screens) {
            auto window = ShowScreen(screen.name, screen.collapsed);
            AddSampleRows(*window);
            if (screen.collapsed) {
                window->imgModel->setPicture(
                    QPixmap(QStringLiteral(KESTRANE_MODEL_DIR "/blackberry-Z30.jpg")));
                // A value too long for its label, to see it cut short.
                window->lbDevName->setText(
                    QStringLiteral("BlackBerry Z30 STA100-2 Developer Edition (dark grey, 2014)"));
            }
            const QPixmap shot = window->grab();
            QCOMPARE(shot.size(), QSize(657, 428));
            const QString file = QStringLiteral("window-%1%2.png")
                                     .arg(screen.name, screen.collapsed ? "-collapsed" : "");
            QVERIFY(shot.save(folder.filePath(file)));
        }
    }

private:
    WindowTestScope scope_;
};

QTEST_MAIN(WindowLookTest)
#include "WindowLookTest.moc"

// The archive component's dialogs as the window shows them: each kind answered through the
// message box seam, most of them reached through a real extraction by the window's ZipArchive1.

#include "Fonts.h"
#include "MessageBox.h"
#include "WindowTestSupport.h"
#include "ZipBuilder.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fstream>

using namespace kestrane;
using namespace kestrane::testing;

namespace {

const std::string Content = "Application-Name: Prompted\n";

// An entry data.txt holding Content.
ziptest::Entry DataEntry() {
    ziptest::Entry entry;
    entry.name = "data.txt";
    entry.data = Content;
    return entry;
}

std::string WriteArchive(const QTemporaryDir& folder, const ziptest::Entry& entry) {
    const std::string path = folder.filePath(QStringLiteral("app.bar")).toStdString();
    ziptest::Archive archive;
    archive.entries.push_back(entry);
    std::ofstream(path, std::ios::binary) << ziptest::Build(archive);
    return path;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class ArchivePromptsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { PrepareWindowSuite(); }
    void init() {
        scope_.begin();
        QVERIFY(folder_.isValid());
        window_ = MakeWindow();
        QVERIFY(QDir(folder_.path()).mkpath(QStringLiteral("out")));
        window_->ZipArchive1.BaseDir = folder_.filePath(QStringLiteral("out/")).toStdString();
    }
    void cleanup() {
        window_->ZipArchive1.CloseArchive();
        window_.reset();
        QDir(folder_.filePath(QStringLiteral("out"))).removeRecursively();
        const QString left = scope_.end();
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    // A damaged entry: Abort, Retry and Ignore; Retry tries again, Ignore goes on without it.
    void failedEntry() {
        ziptest::Entry entry = DataEntry();
        entry.crc = 0x12345678;
        Open(entry);
        MessageBox::setNextAnswer(MessageBox::Retry);
        MessageBox::setNextAnswer(MessageBox::Ignore);

        window_->ZipArchive1.ExtractFiles("data.txt", ZAAnyFileAttributes, "");
        const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
        QCOMPARE(boxes.size(), 2);
        for (const MessageBox::Box& box : boxes) {
            QCOMPARE(box.kind, MessageBox::Kind::Confirmation);
            QCOMPARE(box.buttons, MessageBox::Abort | MessageBox::Retry | MessageBox::Ignore);
            QVERIFY2(box.text.startsWith(QStringLiteral("ZipArchive1: ")), qPrintable(box.text));
            QVERIFY(box.text.endsWith(
                QStringLiteral(". File processing error, possibly disk is full")));
        }
        QVERIFY(!QFile::exists(OutPath()));
    }

    // The box for a name too long: Abort and Ignore; a box closed otherwise counts as no button.
    void nameTooLong_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("result");
        QTest::newRow("Ignore") << int(MessageBox::Ignore) << int(ZAButton::Ignore);
        QTest::newRow("closed") << int(MessageBox::NoButton) << int(ZAButton::None);
    }
    void nameTooLong() {
        QFETCH(int, answer);
        QFETCH(int, result);
        MessageBox::setNextAnswer(MessageBox::Button(answer));
        const ZAButton given = window_->ZipArchive1.Prompts->AskAbortIgnore("Zu lang: ä.txt");
        QCOMPARE(int(given), result);
        const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].kind, MessageBox::Kind::Confirmation);
        QCOMPARE(boxes[0].text, QStringLiteral("Zu lang: ä.txt"));
        QCOMPARE(boxes[0].buttons, MessageBox::Abort | MessageBox::Ignore);
    }

    // An existing file with overwrite prompting: Yes, No, No to all and Yes to all.
    void overwrite_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<int>("modeAfter");
        QTest::newRow("Yes") << int(MessageBox::Yes) << true << int(omPrompt);
        QTest::newRow("No") << int(MessageBox::No) << false << int(omPrompt);
        QTest::newRow("No to all") << int(MessageBox::NoToAll) << false << int(omNever);
        QTest::newRow("Yes to all") << int(MessageBox::YesToAll) << true << int(omAlways);
    }
    void overwrite() {
        QFETCH(int, answer);
        QFETCH(bool, replaced);
        QFETCH(int, modeAfter);
        Open(DataEntry());
        {
            QFile existing(OutPath());
            QVERIFY(existing.open(QIODevice::WriteOnly));
            existing.write("older");
        }
        window_->ZipArchive1.Options.OverwriteMode = omPrompt;
        MessageBox::setNextAnswer(MessageBox::Button(answer));

        window_->ZipArchive1.ExtractFiles("data.txt", ZAAnyFileAttributes, "");
        const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].kind, MessageBox::Kind::Confirmation);
        QCOMPARE(boxes[0].text,
                 QStringLiteral("Overwrite file \"%1\" with \"data.txt\"").arg(OutPath()));
        QCOMPARE(boxes[0].buttons,
                 MessageBox::Yes | MessageBox::No | MessageBox::NoToAll | MessageBox::YesToAll);
        QCOMPARE(ReadFile(OutPath()), replaced ? QByteArray::fromStdString(Content) : "older");
        QCOMPARE(int(window_->ZipArchive1.Options.OverwriteMode), modeAfter);
    }

    // An encrypted entry asks for its password: a wrong one asks again, Cancel skips the entry.
    void password_data() {
        QTest::addColumn<QStringList>("typed"); // one answer per dialog; "<cancel>" cancels
        QTest::addColumn<bool>("extracted");
        QTest::newRow("right password") << QStringList{"sésame"} << true;
        QTest::newRow("wrong, then right") << QStringList{"guess", "sésame"} << true;
        QTest::newRow("cancelled") << QStringList{"<cancel>"} << false;
    }
    void password() {
        QFETCH(QStringList, typed);
        QFETCH(bool, extracted);
        ziptest::Entry entry = DataEntry();
        entry.password = "s\xc3\xa9same"; // UTF-8, as the component keeps it here
        Open(entry);
        for (const QString& text : typed) {
            if (text == "<cancel>") {
                MessageBox::setNextAnswer(MessageBox::Cancel);
            } else {
                MessageBox::setNextAnswer(MessageBox::Ok, text);
            }
        }

        window_->ZipArchive1.ExtractFiles("data.txt", ZAAnyFileAttributes, "");
        const QList<MessageBox::Box> boxes = MessageBox::takeAnsweredBoxes();
        QCOMPARE(boxes.size(), typed.size());
        for (const MessageBox::Box& box : boxes) {
            QCOMPARE(box.kind, MessageBox::Kind::Password);
            QCOMPARE(box.title, QStringLiteral("Password for \"data.txt\""));
            QCOMPARE(box.text, QStringLiteral("Enter password: "));
            QCOMPARE(box.buttons, MessageBox::Ok | MessageBox::Cancel);
        }
        QCOMPARE(QFile::exists(OutPath()), extracted);
    }

    // The dialog itself, shown for real and typed into; what it showed is checked afterwards.
    void passwordDialog() {
        struct Seen {
            QString title, label;
            QLineEdit::EchoMode echo = QLineEdit::Normal;
            bool startedEmpty = false, editFocused = false, okIsDefault = false;
            qsizetype typedLength = 0;
        } seen;
        QTimer::singleShot(0, this, [&seen] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("password"));
            seen.title = dialog->windowTitle();
            seen.label = dialog->findChild<QLabel*>()->text();
            seen.echo = edit->echoMode();
            seen.startedEmpty = edit->text().isEmpty();
            seen.editFocused = dialog->focusWidget() == edit;
            for (const QPushButton* button : dialog->findChildren<QPushButton*>()) {
                seen.okIsDefault |= button->text() == QStringLiteral("OK") && button->isDefault();
            }
            QTest::keyClicks(edit, QString(300, QLatin1Char('k')));
            seen.typedLength = edit->text().size();
            QTest::keyClick(edit, Qt::Key_Return); // the default button
        });
        QString password;
        QVERIFY(MessageBox::askPassword(window_.get(), QStringLiteral("Password for \"a.txt\""),
                                        password));
        QCOMPARE(seen.title, QStringLiteral("Password for \"a.txt\""));
        QCOMPARE(seen.label, QStringLiteral("Enter password: "));
        QCOMPARE(seen.echo, QLineEdit::Password);
        QVERIFY(seen.startedEmpty);
        QVERIFY(seen.editFocused);
        QVERIFY(seen.okIsDefault);
        QCOMPARE(seen.typedLength, 255);
        QCOMPARE(password, QString(255, QLatin1Char('k')));
    }

private:
    void Open(const ziptest::Entry& entry) {
        window_->ZipArchive1.FileName = WriteArchive(folder_, entry);
        window_->ZipArchive1.OpenArchive(0);
    }
    QString OutPath() const { return folder_.filePath(QStringLiteral("out/data.txt")); }

    QTemporaryDir folder_;
    std::unique_ptr<ProbeWindow> window_;
    WindowTestScope scope_;
};

QTEST_MAIN(ArchivePromptsTest)
#include "ArchivePromptsTest.moc"

#include "MessageBox.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <deque>
#include <memory>

namespace kestrane {
namespace {

QList<MessageBox::Box>& AnsweredBoxesOf() {
    static QList<MessageBox::Box> boxes;
    return boxes;
}

struct Answer {
    MessageBox::Button button;
    QString text;
};

std::deque<Answer>& QueuedAnswers() {
    static std::deque<Answer> answers;
    return answers;
}

// Takes the next queued answer for box, or returns false when none is queued.
bool TakeAnswer(const MessageBox::Box& box, Answer& answer) {
    if (QueuedAnswers().empty()) {
        return false;
    }
    answer = QueuedAnswers().front();
    QueuedAnswers().pop_front();
    AnsweredBoxesOf().append(box);
    return true;
}

QMessageBox::Icon IconOf(MessageBox::Kind kind) {
    switch (kind) {
    case MessageBox::Kind::Plain:
    case MessageBox::Kind::Password:
    case MessageBox::Kind::Text:
        return QMessageBox::NoIcon;
    case MessageBox::Kind::Confirmation:
        return QMessageBox::Question;
    case MessageBox::Kind::Warning:
        return QMessageBox::Warning;
    case MessageBox::Kind::Error:
    case MessageBox::Kind::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

struct ButtonLook {
    MessageBox::Button button;
    const char* caption;
    QMessageBox::ButtonRole role;
};

constexpr ButtonLook ButtonLooks[] = {
    {MessageBox::Ok, "OK", QMessageBox::AcceptRole},
    {MessageBox::Yes, "&Yes", QMessageBox::YesRole},
    {MessageBox::No, "&No", QMessageBox::NoRole},
    {MessageBox::NoToAll, "N&o to All", QMessageBox::NoRole},
    {MessageBox::YesToAll, "Yes to &All", QMessageBox::YesRole},
    {MessageBox::Abort, "&Abort", QMessageBox::RejectRole},
    {MessageBox::Retry, "&Retry", QMessageBox::AcceptRole},
    {MessageBox::Ignore, "&Ignore", QMessageBox::AcceptRole},
    {MessageBox::Cancel, "Cancel", QMessageBox::RejectRole},
};

// The answer Escape gives: the only button, or the one that declines (Cancel, No, Abort).
MessageBox::Button EscapeButtonOf(MessageBox::Buttons buttons) {
    for (const MessageBox::Button declining :
         {MessageBox::Cancel, MessageBox::No, MessageBox::Abort}) {
        if (buttons.testFlag(declining)) {
            return declining;
        }
    }
    for (const ButtonLook& look : ButtonLooks) {
        if (buttons == look.button) {
            return look.button;
        }
    }
    return MessageBox::NoButton;
}

// The boxes show() has open now, innermost last.
QList<QMessageBox*>& ShownBoxes() {
    static QList<QMessageBox*> boxes;
    return boxes;
}

MessageBox::Button ShowModal(QWidget* parent, const MessageBox::Box& box) {
    QMessageBox dialog(IconOf(box.kind), box.title, box.text, QMessageBox::NoButton, parent);
    dialog.setTextFormat(Qt::PlainText);
    if (!box.details.isEmpty())
        dialog.setDetailedText(box.details);
    QList<std::pair<QAbstractButton*, MessageBox::Button>> added;
    for (const ButtonLook& look : ButtonLooks) {
        if (box.buttons.testFlag(look.button)) {
            QPushButton* button = dialog.addButton(QString::fromLatin1(look.caption), look.role);
            added.append({button, look.button});
        }
    }
    const MessageBox::Button escape = EscapeButtonOf(box.buttons);
    for (const auto& [widget, button] : added) {
        if (button == escape) {
            dialog.setEscapeButton(widget);
        }
        if (button == box.defaultButton) {
            dialog.setDefaultButton(static_cast<QPushButton*>(widget));
        }
    }
    ShownBoxes().append(&dialog);
    dialog.exec();
    ShownBoxes().removeOne(&dialog);
    for (const auto& [widget, button] : added) {
        if (dialog.clickedButton() == widget) {
            return button;
        }
    }
    return MessageBox::NoButton;
}

// Lengths in the dialog units of the dialog's font: a quarter of its average character width
// across, an eighth of its height down.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font) : metrics_(font) {}
    int x(int units) const { return units * metrics_.averageCharWidth() / 4; }
    int y(int units) const { return units * metrics_.height() / 8; }
    QRect rect(int left, int top, int width, int height) const {
        return QRect(x(left), y(top), x(width), y(height));
    }

private:
    QFontMetrics metrics_;
};

constexpr int PasswordMaxLength = 255;

} // namespace

QDialog* MakePasswordDialog(QWidget* parent, const QString& caption) {
    auto* dialog = new QDialog(parent);
    dialog->setWindowTitle(caption);
    const DialogUnits units(dialog->font());
    dialog->setFixedSize(units.x(180), units.y(63));

    auto* label = new QLabel(QStringLiteral("Enter password: "), dialog);
    label->setTextFormat(Qt::PlainText);
    label->move(units.x(8), units.y(8));
    auto* edit = new QLineEdit(dialog);
    edit->setObjectName(QStringLiteral("password"));
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(PasswordMaxLength);
    edit->setGeometry(units.x(8), units.y(19), units.x(164), edit->sizeHint().height());
    label->setBuddy(edit);

    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setGeometry(units.rect(38, 41, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    cancel->setGeometry(units.rect(92, 41, 50, 14));
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    edit->setFocus();
    return dialog;
}

void MessageBox::dismissShown() {
    if (!ShownBoxes().isEmpty())
        ShownBoxes().last()->done(-1);
}

MessageBox::Button MessageBox::show(QWidget* parent, const Box& box) {
    Answer answer;
    if (TakeAnswer(box, answer)) {
        return answer.button;
    }
    return ShowModal(parent, box);
}

bool MessageBox::askPassword(QWidget* parent, const QString& caption, QString& password) {
    Answer answer;
    if (TakeAnswer({Kind::Password, caption, QStringLiteral("Enter password: "), Ok | Cancel},
                   answer)) {
        if (answer.button != Ok) {
            return false;
        }
        password = answer.text.left(PasswordMaxLength);
        return true;
    }
    const std::unique_ptr<QDialog> dialog(MakePasswordDialog(parent, caption));
    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        dialog->move(screen->availableGeometry().center() - dialog->rect().center());
    }
    if (dialog->exec() != QDialog::Accepted) {
        return false;
    }
    password = dialog->findChild<QLineEdit*>(QStringLiteral("password"))->text();
    return true;
}

bool MessageBox::askText(QWidget* parent, const QString& caption, const QString& label,
                         QString& text) {
    Answer answer;
    if (TakeAnswer({Kind::Text, caption, label, Ok | Cancel}, answer)) {
        if (answer.button != Ok)
            return false;
        text = answer.text;
        return true;
    }
    QInputDialog dialog(parent);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setTextValue(text);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    dialog.resize(std::max(dialog.sizeHint().width(), 420), dialog.sizeHint().height());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    text = dialog.textValue();
    return true;
}

void MessageBox::plain(QWidget* parent, const QString& text) {
    show(parent, Box{Kind::Plain, ApplicationTitle(), text, Ok});
}

void MessageBox::setNextAnswer(Button answer, const QString& text) {
    QueuedAnswers().push_back({answer, text});
}

QList<MessageBox::Box> MessageBox::takeAnsweredBoxes() {
    QList<Box> boxes;
    boxes.swap(AnsweredBoxesOf());
    return boxes;
}

int MessageBox::pendingAnswers() {
    return static_cast<int>(QueuedAnswers().size());
}

void MessageBox::reset() {
    QueuedAnswers().clear();
    AnsweredBoxesOf().clear();
}

QString ApplicationTitle() {
    return QCoreApplication::applicationName();
}

} // namespace kestrane

#include "MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <deque>

namespace kestrane {
namespace {

std::deque<MessageBox::Button>& QueuedAnswers() {
    static std::deque<MessageBox::Button> answers;
    return answers;
}

QList<MessageBox::Box>& AnsweredBoxes() {
    static QList<MessageBox::Box> boxes;
    return boxes;
}

QMessageBox::Icon IconOf(MessageBox::Kind kind) {
    switch (kind) {
    case MessageBox::Kind::Plain:
        return QMessageBox::NoIcon;
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
    {MessageBox::Abort, "&Abort", QMessageBox::RejectRole},
    {MessageBox::Ignore, "&Ignore", QMessageBox::AcceptRole},
};

MessageBox::Button ShowModal(QWidget* parent, const MessageBox::Box& box) {
    QMessageBox dialog(IconOf(box.kind), box.title, box.text, QMessageBox::NoButton, parent);
    dialog.setTextFormat(Qt::PlainText);
    QList<std::pair<QAbstractButton*, MessageBox::Button>> added;
    for (const ButtonLook& look : ButtonLooks) {
        if (box.buttons.testFlag(look.button)) {
            QPushButton* button = dialog.addButton(QString::fromLatin1(look.caption), look.role);
            added.append({button, look.button});
        }
    }
    if (added.size() == 1) {
        dialog.setEscapeButton(added.front().first);
    }
    dialog.exec();
    for (const auto& [widget, button] : added) {
        if (dialog.clickedButton() == widget) {
            return button;
        }
    }
    return MessageBox::NoButton;
}

} // namespace

MessageBox::Button MessageBox::show(QWidget* parent, const Box& box) {
    if (!QueuedAnswers().empty()) {
        const Button answer = QueuedAnswers().front();
        QueuedAnswers().pop_front();
        AnsweredBoxes().append(box);
        return answer;
    }
    return ShowModal(parent, box);
}

void MessageBox::plain(QWidget* parent, const QString& text) {
    show(parent, Box{Kind::Plain, ApplicationTitle(), text, Ok});
}

void MessageBox::setNextAnswer(Button answer) {
    QueuedAnswers().push_back(answer);
}

QList<MessageBox::Box> MessageBox::takeAnsweredBoxes() {
    QList<Box> boxes;
    boxes.swap(AnsweredBoxes());
    return boxes;
}

int MessageBox::pendingAnswers() {
    return static_cast<int>(QueuedAnswers().size());
}

void MessageBox::reset() {
    QueuedAnswers().clear();
    AnsweredBoxes().clear();
}

QString ApplicationTitle() {
    return QCoreApplication::applicationName();
}

} // namespace kestrane

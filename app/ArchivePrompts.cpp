#include "ArchivePrompts.h"

#include "MessageBox.h"

#include <QString>

namespace kestrane {
namespace {

ZAButton ToArchiveButton(MessageBox::Button button) {
    switch (button) {
    case MessageBox::Abort:
        return ZAButton::Abort;
    case MessageBox::Retry:
        return ZAButton::Retry;
    case MessageBox::Ignore:
        return ZAButton::Ignore;
    case MessageBox::Yes:
        return ZAButton::Yes;
    case MessageBox::No:
        return ZAButton::No;
    case MessageBox::YesToAll:
        return ZAButton::YesToAll;
    case MessageBox::NoToAll:
        return ZAButton::NoToAll;
    default:
        return ZAButton::None;
    }
}

ZAButton Confirm(QWidget* window, const std::string& text, MessageBox::Buttons buttons) {
    const MessageBox::Box box{MessageBox::Kind::Confirmation, ApplicationTitle(),
                              QString::fromStdString(text), buttons};
    return ToArchiveButton(MessageBox::show(window, box));
}

} // namespace

ZAButton ArchivePrompts::AskAbortRetryIgnore(const std::string& text) {
    return Confirm(window_, text, MessageBox::Abort | MessageBox::Retry | MessageBox::Ignore);
}

ZAButton ArchivePrompts::AskAbortIgnore(const std::string& text) {
    return Confirm(window_, text, MessageBox::Abort | MessageBox::Ignore);
}

ZAButton ArchivePrompts::AskOverwrite(const std::string& text) {
    return Confirm(window_, text,
                   MessageBox::Yes | MessageBox::No | MessageBox::NoToAll | MessageBox::YesToAll);
}

bool ArchivePrompts::AskPassword(const std::string& caption, std::string& password) {
    QString typed;
    if (!MessageBox::askPassword(window_, QString::fromStdString(caption), typed)) {
        return false;
    }
    password = typed.toStdString();
    return true;
}

} // namespace kestrane

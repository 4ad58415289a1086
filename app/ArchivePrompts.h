#pragma once

#include "ZAPrompts.h"

class QWidget;

namespace kestrane {

// The archive component's own dialogs as the window shows them: message boxes with the
// component's buttons and the password dialog, all through the MessageBox seam. Texts cross
// between the component and the window in UTF-8.
class ArchivePrompts : public ZAPrompts {
public:
    explicit ArchivePrompts(QWidget* window) : window_(window) {}

    ZAButton AskAbortRetryIgnore(const std::string& text) override;
    ZAButton AskAbortIgnore(const std::string& text) override;
    ZAButton AskOverwrite(const std::string& text) override;
    bool AskPassword(const std::string& caption, std::string& password) override;

private:
    QWidget* window_;
};

} // namespace kestrane

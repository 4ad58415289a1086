#pragma once

#include <string>

// Buttons of the component's own message boxes. None: the box was closed without a button.
enum class ZAButton { None, Abort, Retry, Ignore, Yes, No, YesToAll, NoToAll };

// The dialogs the archive component shows on its own when no event handler is assigned. The
// window implements them with real message boxes; tests answer them with a scripted double.
// Every call is modal: it returns when the user has answered.
class ZAPrompts {
public:
    virtual ~ZAPrompts() = default;

    // A failed entry: confirmation box with the text and the buttons Abort, Retry and Ignore.
    virtual ZAButton AskAbortRetryIgnore(const std::string& text) = 0;
    // A failed entry whose name was too long: confirmation box with Abort and Ignore.
    virtual ZAButton AskAbortIgnore(const std::string& text) = 0;
    // An existing target file: "Overwrite file "T" with "N"" with Yes, No, No to all and Yes
    // to all.
    virtual ZAButton AskOverwrite(const std::string& text) = 0;
    // The password dialog: the caption ("Password for " and the entry's name in double
    // quotes), the label "Enter password: ", an edit field masked with '*' of at most 255
    // characters starting empty, and the buttons "OK" (default) and "Cancel". Returns false on
    // Cancel; on OK the typed text is in password (UTF-8).
    virtual bool AskPassword(const std::string& caption, std::string& password) = 0;
};

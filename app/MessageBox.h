#pragma once

#include <QList>
#include <QString>

#include <utility>

class QDialog;
class QWidget;

namespace kestrane {

// Every modal message box of the program goes through here, and so does the one dialog that asks
// for a text (the password dialog), so that tests can answer a box instead of a person: a test
// queues the answers with setNextAnswer, and each box then returns the next queued answer at
// once, without showing anything, and is kept for takeAnsweredBoxes. With no answer queued the
// box is shown and waits for the user.
class MessageBox {
public:
    // The buttons a box can have; a box shows those it has in this order.
    enum Button {
        NoButton = 0,
        Ok = 0x1,        // "OK"
        Yes = 0x2,       // "&Yes"
        No = 0x4,        // "&No"
        NoToAll = 0x8,   // "N&o to All"
        YesToAll = 0x10, // "Yes to &All"
        Abort = 0x20,    // "&Abort"
        Retry = 0x40,    // "&Retry"
        Ignore = 0x80,   // "&Ignore"
        Cancel = 0x100,  // "Cancel"
    };
    Q_DECLARE_FLAGS(Buttons, Button)

    enum class Kind {
        Plain,        // no icon
        Error,        // error icon
        Warning,      // warning icon
        Critical,     // the default error display: error icon
        Confirmation, // question icon
        Password,     // the password dialog: no icon, a masked edit field
        Text,         // a question that takes a line of text: no icon, an edit field
    };

    struct Box {
        Box(Kind kind = Kind::Plain, QString title = {}, QString text = {}, Buttons buttons = Ok,
            QString details = {})
            : kind(kind), title(std::move(title)), text(std::move(text)), buttons(buttons),
              details(std::move(details)) {}
        Kind kind;
        QString title;
        QString text; // for the password dialog: the label above its edit field
        Buttons buttons;
        // Shown behind the box's "Show Details..." button; none when empty.
        QString details;
        // The button Enter presses; NoButton leaves the choice to the dialog (its first button).
        Button defaultButton = NoButton;
    };

    // A box of the given kind with the given buttons; returns the button that closed it
    // (NoButton when it was closed otherwise, e.g. with Escape and no escape button).
    static Button show(QWidget* parent, const Box& box);

    // Closes the box that show() is showing now, if any, as if it had been closed without an
    // answer (show() then returns NoButton). For a question that events have made moot.
    static void dismissShown();

    // The plain message box: the application's title, the text, no icon and one OK button.
    static void plain(QWidget* parent, const QString& text);

    // The password dialog: captioned with caption, the label "Enter password: " above an edit
    // field that shows "*" for each character and takes at most 255, starting empty, and the
    // buttons "OK" (the default) and "Cancel". True on OK, with the typed text in password;
    // false on Cancel or when the dialog was closed otherwise.
    static bool askPassword(QWidget* parent, const QString& caption, QString& password);

    // A dialog captioned with caption that asks for a line of text: label above an edit field
    // that starts with text selected, "OK" (the default) and "Cancel". True on OK, with the
    // edited line in text; false otherwise. Answered from the same queue as the boxes.
    static bool askText(QWidget* parent, const QString& caption, const QString& label,
                        QString& text);

    // The next box returns this answer without being shown. Answers queue up in order. A
    // password dialog answered Ok returns text as the typed password.
    static void setNextAnswer(Button answer, const QString& text = QString());
    // The boxes answered from the queue since the last call, oldest first.
    static QList<Box> takeAnsweredBoxes();
    // The answers still queued.
    static int pendingAnswers();
    // Forgets queued answers and answered boxes.
    static void reset();
};

Q_DECLARE_OPERATORS_FOR_FLAGS(MessageBox::Buttons)

// The password dialog as askPassword shows it, not yet shown: its edit field is the child
// QLineEdit named "password".
QDialog* MakePasswordDialog(QWidget* parent, const QString& caption);

// The application's title: the name the application object carries (the executable's name unless
// the program sets another).
QString ApplicationTitle();

} // namespace kestrane

#pragma once

#include <QList>
#include <QString>

class QWidget;

namespace kestrane {

// Every modal message box of the program goes through here, so that tests can answer a box
// instead of a person: a test queues the answers with setNextAnswer, and each box then returns
// the next queued answer at once, without showing anything, and is kept for takeAnsweredBoxes.
// With no answer queued the box is shown and waits for the user.
class MessageBox {
public:
    enum Button { NoButton = 0, Ok = 0x1, Abort = 0x2, Ignore = 0x4 };
    Q_DECLARE_FLAGS(Buttons, Button)

    enum class Kind {
        Plain,    // no icon
        Error,    // error icon
        Warning,  // warning icon
        Critical, // the default error display: error icon
    };

    struct Box {
        Kind kind = Kind::Plain;
        QString title;
        QString text;
        Buttons buttons = Ok;
    };

    // A box of the given kind with the given buttons ("OK", "&Abort", "&Ignore"); returns the
    // button that closed it (NoButton when it was closed otherwise, e.g. with Escape and no
    // escape button).
    static Button show(QWidget* parent, const Box& box);

    // The plain message box: the application's title, the text, no icon and one OK button.
    static void plain(QWidget* parent, const QString& text);

    // The next box returns this answer without being shown. Answers queue up in order.
    static void setNextAnswer(Button answer);
    // The boxes answered from the queue since the last call, oldest first.
    static QList<Box> takeAnsweredBoxes();
    // The answers still queued.
    static int pendingAnswers();
    // Forgets queued answers and answered boxes.
    static void reset();
};

Q_DECLARE_OPERATORS_FOR_FLAGS(MessageBox::Buttons)

// The application's title: the name the application object carries (the executable's name unless
// the program sets another).
QString ApplicationTitle();

} // namespace kestrane

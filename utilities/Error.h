#pragma once

#include <QString>

#include <stdexcept>

namespace kestrane {

// The exception that the program's own routines raise. Its message is what the user reads in the
// default error display, so it is written for the user. what() gives the message in UTF-8.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

} // namespace kestrane

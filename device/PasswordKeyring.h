#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace kestrane {

// Device passwords kept in the desktop's keyring (the Secret Service on Linux), each under its
// device's PIN, only when the user asks for it. Kestrane writes a password nowhere else: without
// a keyring service nothing is kept. The window and kestrane-device share it; tests give an
// in-memory one.

struct KeyringAnswer {
    enum class Status {
        Done,     // read: the password is in password; write, remove: done
        NotFound, // no password is kept under that PIN
        Failed,   // the keyring did not answer or refused: error says why
    };
    Status status = Status::Failed;
    QString password;
    QString error;

    bool done() const { return status == Status::Done; }
};

class PasswordKeyring {
public:
    using Done = std::function<void(const KeyringAnswer&)>;
    virtual ~PasswordKeyring() = default;

    // Each call answers once through done, from the event loop (never before it returns).
    // pin is a device's PIN in any form NormalizedPin() reads; an unreadable one is NotFound.
    virtual void read(const QString& pin, Done done) = 0;
    virtual void write(const QString& pin, const QString& password, Done done) = 0;
    // Removing a password that is not kept is Done too.
    virtual void remove(const QString& pin, Done done) = 0;
    // Whether a keyring service answers: Done when it does, Failed with the reason otherwise.
    virtual void probe(Done done) = 0;
};

// The desktop's keyring through QtKeychain, under the service name "kestrane". Its plain-text
// fallback (a settings file) is never used.
std::shared_ptr<PasswordKeyring> MakeDesktopKeyring();

// Runs one keyring call and waits for its answer in an event loop of its own: for command-line
// use, never in the window.
KeyringAnswer WaitForKeyring(const std::function<void(PasswordKeyring::Done)>& call);

// The sentence that says why passwords cannot be kept, from a failed probe's error.
QString NoKeyringReason(const QString& error);

} // namespace kestrane

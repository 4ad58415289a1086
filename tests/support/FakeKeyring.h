#pragma once

#include "InterfaceWatch.h"
#include "PasswordKeyring.h"
#include "RememberedDevices.h"

#include <QMap>
#include <QTimer>

namespace kestrane::doubles {

// A keyring in memory: answers from the event loop as the desktop's does; with available
// false it answers every call as a session without a keyring service does.
class InMemoryKeyring : public PasswordKeyring {
public:
    bool available = true;
    QMap<QString, QString> passwords; // by normalized PIN
    int calls = 0;

    void read(const QString& pin, Done done) override {
        answer(std::move(done), [this, pin] {
            const QString key = NormalizedPin(pin);
            return passwords.contains(key)
                       ? KeyringAnswer{KeyringAnswer::Status::Done, passwords.value(key), {}}
                       : KeyringAnswer{KeyringAnswer::Status::NotFound, {}, {}};
        });
    }
    void write(const QString& pin, const QString& password, Done done) override {
        answer(std::move(done), [this, pin, password] {
            passwords.insert(NormalizedPin(pin), password);
            return KeyringAnswer{KeyringAnswer::Status::Done, {}, {}};
        });
    }
    void remove(const QString& pin, Done done) override {
        answer(std::move(done), [this, pin] {
            passwords.remove(NormalizedPin(pin));
            return KeyringAnswer{KeyringAnswer::Status::Done, {}, {}};
        });
    }
    void probe(Done done) override {
        answer(std::move(done), [] { return KeyringAnswer{KeyringAnswer::Status::Done, {}, {}}; });
    }

private:
    template <class Act> void answer(Done done, Act act) {
        ++calls;
        // Done at once, answered later: the answer does not need the keyring to live on.
        const KeyringAnswer answer =
            available ? act()
                      : KeyringAnswer{KeyringAnswer::Status::Failed,
                                      {},
                                      QStringLiteral("The name org.freedesktop.secrets was not "
                                                     "provided by any .service files")};
        QTimer::singleShot(0, [answer, done = std::move(done)] { done(answer); });
    }
};

// Interfaces a test changes by hand: set() takes the new state and reports the change.
class FakeInterfaceWatcher : public InterfaceWatcher {
public:
    InterfaceSnapshot state;
    InterfaceSnapshot snapshot() const override { return state; }
    void set(InterfaceSnapshot now) {
        state = std::move(now);
        emit changed();
    }
};

} // namespace kestrane::doubles

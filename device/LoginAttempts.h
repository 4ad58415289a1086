#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

namespace kestrane {

// What one run of the deploy tool tells of its login to the device.
struct LoginOutcome {
    enum class Kind {
        Unknown,  // nothing: no connection, the tool's own error, no device at all
        Accepted, // the device took the password (the tool sent its request, the device answered)
        Refused,  // a wrong password: failed of limit attempts are spent
        Locked,   // too many wrong passwords: the device takes none until it is typed on it
    };
    Kind kind = Kind::Unknown;
    int failed = 0;
    int limit = 0;
    bool operator==(const LoginOutcome&) const = default;
};

// Reads the tool's output: "Authentication failed. There have been N of M failed attempts" is
// Refused (N, M); "... too many failed attempts (M)" is Locked (M, M); a request line ("Info:
// Sending request: X", which the tool writes only after a login), a device answer ("result::..."),
// the device's Development Mode refusal or the tool's report of a BAR file that is gone (both come
// after the login) is Accepted. Anything else, a login system error included, is Unknown.
LoginOutcome ReadLoginOutcome(const QString& output);

// The failed password attempts a device reported last, by its address (as the tool receives it).
// A device takes no password at all after its limit (ten) until the password is typed on the
// device itself; these counts let a front end ask before it spends the last attempt.
//
// The counts are kept in a file (normally DefaultFile(), in Kestrane's state folder), read on
// every question and replaced whole on every change, so that every run of every front end knows
// what the previous ones learned. When the file cannot be written, the counts are kept for the
// life of this object only.
class LoginAttempts {
public:
    struct Count {
        int failed = 0;
        int limit = 0;
        // One attempt is left: the next wrong password locks the device.
        bool lastAttempt() const { return limit > 0 && limit - failed == 1; }
        bool operator==(const Count&) const = default;
    };

    // file: where the counts are kept; empty keeps them in memory only.
    explicit LoginAttempts(QString file = DefaultFile());

    // <Kestrane's state folder>/login-attempts.
    static QString DefaultFile();

    // What the device at address reported last; none after a login it accepted (or never asked).
    std::optional<Count> count(const QString& address) const;
    bool lastAttemptLeft(const QString& address) const;

    // Keeps what a command to address told: a refusal's count, a lock, or (accepted) nothing any
    // more. An unknown outcome changes nothing.
    void record(const QString& address, const LoginOutcome& outcome);

    // The next command to address may be sent although it may spend the last attempt (the user
    // said so).
    void allowLastAttempt(const QString& address);
    // Every command may be sent, whatever is left (a command line's explicit choice).
    void allowEveryLastAttempt() { allowEvery_ = true; }
    // Whether a command to address may be sent now: yes unless one attempt is left and no
    // allowance was given; an allowance is used up by the command it lets through.
    bool maySend(const QString& address);

    // What a front end adds to the message of a command it did not send: how to go on.
    void setAdvice(const QString& advice) { advice_ = advice; }
    // The message of a command to address that was not sent because one attempt is left.
    QString withheldMessage(const QString& address) const;

private:
    QHash<QString, Count> load() const;
    void save(const QHash<QString, Count>& counts);

    QString file_;
    QHash<QString, Count> memory_;
    QSet<QString> allowed_;
    bool allowEvery_ = false;
    QString advice_;
};

// The question a front end asks before it sends a password to a device with one attempt left:
// it names the device, its count and what one more wrong password does.
QString LastAttemptQuestion(const QString& address, const LoginAttempts::Count& count);

} // namespace kestrane

#include "LoginAttempts.h"

#include "DeployToolHome.h"
#include "TextUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace kestrane {

LoginOutcome ReadLoginOutcome(const QString& output) {
    static const QRegularExpression refused(
        QStringLiteral("Authentication failed\\. There have been (\\d+) of (\\d+) failed"));
    static const QRegularExpression locked(
        QStringLiteral("Authentication failed\\. There have been too many failed attempts "
                       "\\((\\d+)\\)"));
    bool accepted = false;
    for (const QString& line : SplitLines(output)) {
        if (const QRegularExpressionMatch match = refused.match(line); match.hasMatch())
            return {LoginOutcome::Kind::Refused, match.captured(1).toInt(),
                    match.captured(2).toInt()};
        if (const QRegularExpressionMatch match = locked.match(line); match.hasMatch())
            return {LoginOutcome::Kind::Locked, match.captured(1).toInt(),
                    match.captured(1).toInt()};
        if (line.startsWith(QLatin1StringView("Info: Sending request:")) ||
            line.startsWith(QLatin1StringView("result::")) ||
            line.startsWith(QLatin1StringView("Error: Device is not in the Development Mode")) ||
            line.startsWith(
                QLatin1StringView("Error: File does not exist or not a file or cannot read:")))
            accepted = true;
    }
    return accepted ? LoginOutcome{LoginOutcome::Kind::Accepted} : LoginOutcome{};
}

LoginAttempts::LoginAttempts(QString file) : file_(std::move(file)) {}

QString LoginAttempts::DefaultFile() {
    return KestraneStateFolder() + QStringLiteral("/login-attempts");
}

// One line per device: "ADDRESS FAILED LIMIT". Lines that do not read so are passed over.
QHash<QString, LoginAttempts::Count> LoginAttempts::load() const {
    if (file_.isEmpty())
        return memory_;
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? memory_ : QHash<QString, Count>();
    QHash<QString, Count> counts;
    for (const QString& line : SplitLines(QString::fromUtf8(file.readAll()))) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        bool failedRead = false;
        bool limitRead = false;
        const Count count{fields.value(1).toInt(&failedRead), fields.value(2).toInt(&limitRead)};
        if (fields.size() == 3 && failedRead && limitRead && count.limit > 0)
            counts.insert(fields[0], count);
    }
    return counts;
}

void LoginAttempts::save(const QHash<QString, Count>& counts) {
    memory_ = counts;
    if (file_.isEmpty())
        return;
    QString text;
    for (auto it = counts.begin(); it != counts.end(); ++it)
        text += QStringLiteral("%1 %2 %3\n").arg(it.key()).arg(it->failed).arg(it->limit);
    QDir().mkpath(QFileInfo(file_).absolutePath());
    QSaveFile file(file_);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        // Kept in memory from now on: a file that cannot be written must not be trusted either.
        file_.clear();
}

std::optional<LoginAttempts::Count> LoginAttempts::count(const QString& address) const {
    const QHash<QString, Count> counts = load();
    const auto found = counts.find(address);
    if (found == counts.end())
        return std::nullopt;
    return *found;
}

bool LoginAttempts::lastAttemptLeft(const QString& address) const {
    const std::optional<Count> known = count(address);
    return known && known->lastAttempt();
}

void LoginAttempts::record(const QString& address, const LoginOutcome& outcome) {
    if (outcome.kind == LoginOutcome::Kind::Unknown || address.isEmpty())
        return;
    QHash<QString, Count> counts = load();
    const qsizetype before = counts.size();
    if (outcome.kind == LoginOutcome::Kind::Accepted) {
        counts.remove(address);
        if (counts.size() == before)
            return;
    } else {
        const Count count{outcome.failed, outcome.limit};
        if (counts.value(address) == count && counts.contains(address))
            return;
        counts.insert(address, count);
    }
    save(counts);
}

void LoginAttempts::allowLastAttempt(const QString& address) {
    allowed_.insert(address);
}

bool LoginAttempts::maySend(const QString& address) {
    if (allowEvery_ || !lastAttemptLeft(address))
        return true;
    return allowed_.remove(address);
}

QString LoginAttempts::withheldMessage(const QString& address) const {
    const Count known = count(address).value_or(Count{9, 10});
    QString message =
        QStringLiteral("Not sent: the device at %1 has one password attempt left (its last answer "
                       "said %2 of %3 failed attempts). One more wrong password and it refuses "
                       "every password until the password is typed on the device itself.")
            .arg(address)
            .arg(known.failed)
            .arg(known.limit);
    if (!advice_.isEmpty())
        message += QLatin1Char(' ') + advice_;
    return message;
}

QString LastAttemptQuestion(const QString& address, const LoginAttempts::Count& count) {
    return QStringLiteral("The device at %1 has one password attempt left: its last answer said "
                          "%2 of %3 failed attempts. If this password is wrong too, the device "
                          "will refuse every password until it is typed on the device itself.\n\n"
                          "Send the password?")
        .arg(address)
        .arg(count.failed)
        .arg(count.limit);
}

} // namespace kestrane

#include "PasswordKeyring.h"

#include "RememberedDevices.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace kestrane {

namespace {

const QString KeyringService = QStringLiteral("kestrane");
// Read by probe(): no password is ever kept under it (a PIN has 8 hexadecimal digits).
const QString ProbeKey = QStringLiteral("keyring-probe");

// Answers done once the job ends, then lets the job go.
void Start(QKeychain::Job* job, PasswordKeyring::Done done) {
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    QObject::connect(job, &QKeychain::Job::finished, job,
                     [done = std::move(done)](QKeychain::Job* ended) {
                         KeyringAnswer answer;
                         switch (ended->error()) {
                         case QKeychain::NoError:
                             answer.status = KeyringAnswer::Status::Done;
                             if (auto* reading = qobject_cast<QKeychain::ReadPasswordJob*>(ended))
                                 answer.password = reading->textData();
                             break;
                         case QKeychain::EntryNotFound:
                             answer.status = KeyringAnswer::Status::NotFound;
                             break;
                         default:
                             answer.status = KeyringAnswer::Status::Failed;
                             answer.error = ended->errorString();
                             break;
                         }
                         done(answer);
                     });
    job->start();
}

// An answer given without asking the keyring still comes from the event loop.
void AnswerLater(KeyringAnswer answer, PasswordKeyring::Done done) {
    QTimer::singleShot(0, [answer = std::move(answer), done = std::move(done)] { done(answer); });
}

class DesktopKeyring : public PasswordKeyring {
public:
    void read(const QString& pin, Done done) override {
        const QString key = NormalizedPin(pin);
        if (key.isEmpty())
            return AnswerLater({KeyringAnswer::Status::NotFound, {}, {}}, std::move(done));
        auto* job = new QKeychain::ReadPasswordJob(KeyringService);
        job->setKey(key);
        Start(job, std::move(done));
    }

    void write(const QString& pin, const QString& password, Done done) override {
        const QString key = NormalizedPin(pin);
        if (key.isEmpty())
            return AnswerLater(
                {KeyringAnswer::Status::Failed, {}, QStringLiteral("the device has no PIN")},
                std::move(done));
        auto* job = new QKeychain::WritePasswordJob(KeyringService);
        job->setKey(key);
        job->setTextData(password);
        Start(job, std::move(done));
    }

    void remove(const QString& pin, Done done) override {
        const QString key = NormalizedPin(pin);
        if (key.isEmpty())
            return AnswerLater({KeyringAnswer::Status::Done, {}, {}}, std::move(done));
        auto* job = new QKeychain::DeletePasswordJob(KeyringService);
        job->setKey(key);
        Start(job, [done = std::move(done)](KeyringAnswer answer) {
            if (answer.status == KeyringAnswer::Status::NotFound)
                answer.status = KeyringAnswer::Status::Done;
            done(answer);
        });
    }

    // A keyring that can look a name up answers; "not found" is such an answer.
    void probe(Done done) override {
        auto* job = new QKeychain::ReadPasswordJob(KeyringService);
        job->setKey(ProbeKey);
        Start(job, [done = std::move(done)](KeyringAnswer answer) {
            if (answer.status == KeyringAnswer::Status::NotFound)
                answer.status = KeyringAnswer::Status::Done;
            answer.password.clear();
            done(answer);
        });
    }
};

} // namespace

std::shared_ptr<PasswordKeyring> MakeDesktopKeyring() {
    return std::make_shared<DesktopKeyring>();
}

KeyringAnswer WaitForKeyring(const std::function<void(PasswordKeyring::Done)>& call) {
    QEventLoop loop;
    KeyringAnswer result;
    bool answered = false;
    call([&](const KeyringAnswer& answer) {
        result = answer;
        answered = true;
        loop.quit();
    });
    if (!answered)
        loop.exec();
    return result;
}

QString NoKeyringReason(const QString& error) {
    return QStringLiteral("No desktop keyring answers (the Secret Service%1), so Kestrane cannot "
                          "keep the password: it keeps none anywhere else.")
        .arg(error.isEmpty() ? QString() : QStringLiteral(": ") + error);
}

} // namespace kestrane

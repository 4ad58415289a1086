#include "PasswordMemory.h"

#include "Controls.h"
#include "RememberedDevices.h"
#include "Settings.h"
#include "TextUtils.h"

#include <QAction>
#include <QCheckBox>

namespace kestrane {

PasswordMemory::PasswordMemory(std::shared_ptr<PasswordKeyring> keyring, AddressEdit* address,
                               PasswordEdit* password, QCheckBox* remember, QAction* forget,
                               QObject* parent)
    : QObject(parent), keyring_(std::move(keyring)), address_(address), password_(password),
      remember_(remember), forget_(forget) {
    remember_->setChecked(false);
    // Disabled until the keyring answers.
    remember_->setEnabled(false);
    connect(address_, &QLineEdit::textChanged, this, [this] { addressChanged(); });
    call([this](PasswordKeyring::Done done) { keyring_->probe(done); },
         [this](const KeyringAnswer& answer) {
             keyringAnswers_ = answer.done();
             remember_->setEnabled(keyringAnswers_);
             remember_->setToolTip(keyringAnswers_ ? RememberTip() : NoKeyringReason(answer.error));
             if (keyringAnswers_)
                 addressChanged();
         });
}

QString PasswordMemory::RememberTip() {
    return QStringLiteral("Keep the password in the desktop keyring when Connect succeeds (under "
                          "the device's PIN); Kestrane's own files never hold it");
}

void PasswordMemory::call(const std::function<void(PasswordKeyring::Done)>& start,
                          std::function<void(const KeyringAnswer&)> then) {
    ++pending_;
    QPointer<PasswordMemory> self(this);
    start([self, then = std::move(then)](const KeyringAnswer& answer) {
        if (!self)
            return;
        --self->pending_;
        if (self->remember_ && self->address_ && self->password_)
            then(answer);
    });
}

bool PasswordMemory::filledHere() const {
    return !filled_.isEmpty() && password_->text() == filled_;
}

void PasswordMemory::takeBackFill() {
    if (filledHere()) {
        password_->clear();
        remember_->setChecked(false);
    }
    filled_.clear();
}

void PasswordMemory::addressChanged() {
    const quint64 generation = ++addressGeneration_;
    if (!keyringAnswers_)
        return;
    QSettings settings = KestraneSettings();
    const QString address = RemoveSpaces(address_->maskedText());
    std::optional<RememberedDevice> device = RememberedDeviceByAddress(settings, address);
    if (!device && pinsAt_.contains(address))
        device = RememberedDeviceByPin(settings, pinsAt_.value(address));
    if (!device) {
        takeBackFill();
        return;
    }
    call([this, pin = device->pin](PasswordKeyring::Done done) { keyring_->read(pin, done); },
         [this, generation](const KeyringAnswer& answer) {
             if (generation != addressGeneration_)
                 return;
             if (!answer.done()) {
                 takeBackFill();
                 return;
             }
             // What the user typed stays.
             if (!password_->text().isEmpty() && !filledHere())
                 return;
             password_->setText(answer.password);
             filled_ = answer.password;
             remember_->setChecked(true);
         });
}

void PasswordMemory::connected(const QString& pin, const QString& password) {
    if (!keyringAnswers_ || NormalizedPin(pin).isEmpty())
        return;
    if (remember_->isChecked()) {
        call([this, pin,
              password](PasswordKeyring::Done done) { keyring_->write(pin, password, done); },
             [this, password](const KeyringAnswer& answer) {
                 if (answer.done()) {
                     // The field now holds a kept password, as if filled from the keyring.
                     if (password_->text() == password)
                         filled_ = password;
                     remember_->setToolTip(RememberTip());
                 } else {
                     remember_->setToolTip(
                         QStringLiteral("The desktop keyring did not keep the password: %1")
                             .arg(answer.error));
                 }
             });
    } else {
        call([this, pin](PasswordKeyring::Done done) { keyring_->remove(pin, done); },
             [](const KeyringAnswer&) {});
    }
}

void PasswordMemory::deviceAt(const QString& address, const QString& pin) {
    pinsAt_.insert(RemoveSpaces(address), NormalizedPin(pin));
    // The field may show that address already (the neighbour suggested before the device
    // answered): it changes no more, so look again now.
    if (RemoveSpaces(address_->maskedText()) == RemoveSpaces(address))
        addressChanged();
}

void PasswordMemory::refused(const QString& address) {
    if (!keyringAnswers_)
        return;
    QSettings settings = KestraneSettings();
    const std::optional<RememberedDevice> device = RememberedDeviceByAddress(settings, address);
    if (!device)
        return;
    call([this, pin = device->pin](PasswordKeyring::Done done) { keyring_->remove(pin, done); },
         [this, address](const KeyringAnswer& answer) {
             // The refused password stays in the field to be corrected, but is kept no more.
             if (answer.done() && RemoveSpaces(address_->maskedText()) == address) {
                 filled_.clear();
                 remember_->setChecked(false);
             }
         });
}

void PasswordMemory::forgetThisDevice() {
    QSettings settings = KestraneSettings();
    const std::optional<RememberedDevice> device =
        RememberedDeviceByAddress(settings, RemoveSpaces(address_->maskedText()));
    if (!device)
        return;
    ForgetRememberedDevice(settings, *device);
    takeBackFill();
    if (keyringAnswers_)
        call([this, pin = device->pin](PasswordKeyring::Done done) { keyring_->remove(pin, done); },
             [](const KeyringAnswer&) {});
    updateForgetAction();
}

void PasswordMemory::updateForgetAction() {
    QSettings settings = KestraneSettings();
    const std::optional<RememberedDevice> device =
        RememberedDeviceByAddress(settings, RemoveSpaces(address_->maskedText()));
    forget_->setEnabled(device.has_value());
    forget_->setToolTip(device ? QStringLiteral("Forget %1 at %2: its address, PIN and password")
                                     .arg(RememberedDeviceText(*device), device->address)
                               : QStringLiteral("The address field names no remembered device"));
}

} // namespace kestrane

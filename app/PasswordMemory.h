#pragma once

#include "PasswordKeyring.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QCheckBox;

namespace kestrane {

class AddressEdit;
class PasswordEdit;

// The connection panel's password memory. "Remember password" (off by default) keeps the
// password of a device Connect reached in the desktop keyring, under the device's PIN; when the
// address field then names a remembered device (its address remembered with its PIN), the
// password field is filled from the keyring and the box ticked. A password the device refuses is
// removed from the keyring at once. "Forget This Device" forgets the device at the address
// field: its remembered address and PIN, and its kept password. Without a keyring service the
// box is disabled and its tooltip says why; no password is ever written anywhere else.
class PasswordMemory : public QObject {
    Q_OBJECT
public:
    PasswordMemory(std::shared_ptr<PasswordKeyring> keyring, AddressEdit* address,
                   PasswordEdit* password, QCheckBox* remember, QAction* forget,
                   QObject* parent = nullptr);

    // Connect reached the device with this PIN with password: kept when the box is ticked,
    // removed from the keyring when it is not.
    void connected(const QString& pin, const QString& password);
    // The device with this PIN answered at address (found after a plug-in): a password kept for
    // a remembered PIN fills the field there too, though the address remembered is another.
    void deviceAt(const QString& address, const QString& pin);
    // A device command to address was refused its password (or the device is locked).
    void refused(const QString& address);
    // Forgets the device at the address field (the menu's action).
    void forgetThisDevice();
    // The menu's action is enabled when the address field names a remembered device.
    void updateForgetAction();

    // The keyring answered the probe at start (the box is enabled); false also before it did.
    bool keyringAnswers() const { return keyringAnswers_; }
    // Keyring calls not answered yet.
    int pending() const { return pending_; }

    static QString RememberTip();

private:
    // Fills the password field from the keyring when the address field names a remembered
    // device; takes back a password it filled for another device.
    void addressChanged();
    void call(const std::function<void(PasswordKeyring::Done)>& start,
              std::function<void(const KeyringAnswer&)> then);
    // The password field holds what this filled in, unchanged.
    bool filledHere() const;
    void takeBackFill();

    std::shared_ptr<PasswordKeyring> keyring_;
    QPointer<AddressEdit> address_;
    QPointer<PasswordEdit> password_;
    QPointer<QCheckBox> remember_;
    QPointer<QAction> forget_;
    bool keyringAnswers_ = false;
    int pending_ = 0;
    // The password put in the field from the keyring; empty when none is there.
    QString filled_;
    // Addresses where a device answered, with its PIN.
    QHash<QString, QString> pinsAt_;
    // Counts address changes: an answer for an earlier address is dropped.
    quint64 addressGeneration_ = 0;
};

} // namespace kestrane

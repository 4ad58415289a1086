#include "PhoneNoticer.h"

#include "Controls.h"
#include "Discovery.h"
#include "RememberedDevices.h"
#include "Settings.h"

#include <QLabel>

namespace kestrane {

namespace {

void ScanForDevices(const QList<quint32>& addresses, QObject* context, PhoneNoticer::Found found) {
    QString error;
    auto* scan = new DiscoveryScan(addresses, DiscoverySettings::FromEnvironment(&error), context);
    QObject::connect(scan, &DiscoveryScan::found, context, std::move(found));
    QObject::connect(scan, &DiscoveryScan::finished, scan, &QObject::deleteLater);
    scan->start();
}

} // namespace

PhoneNoticer::PhoneNoticer(std::shared_ptr<InterfaceWatcher> watcher, AddressEdit* address,
                           QLabel* deviceLabel, QLabel* goneLabel,
                           std::function<QString()> connectedAddress, QObject* parent)
    : QObject(parent), watcher_(std::move(watcher)), address_(address), deviceLabel_(deviceLabel),
      goneLabel_(goneLabel), connectedAddress_(std::move(connectedAddress)),
      prober_(ScanForDevices), last_(watcher_->snapshot()) {
    connect(watcher_.get(), &InterfaceWatcher::changed, this, [this] { interfacesChanged(); });
    // Only the user's own edits count as typing; a field emptied again counts as untouched.
    connect(address_, &QLineEdit::textEdited, this, [this] {
        typed_ = !address_->isBlank();
        deviceLabel_->clear();
    });
    goneLabel_->hide();
}

QString PhoneNoticer::ConnectionGoneText() {
    return QStringLiteral("The device's USB connection is gone");
}

AddressFieldState PhoneNoticer::fieldState() const {
    if (typed_)
        return AddressFieldState::Typed;
    if (!foundText_.isEmpty() && address_->maskedText() == foundText_)
        return AddressFieldState::Found;
    return AddressFieldState::Untouched;
}

void PhoneNoticer::connectionMade() {
    goneLabel_->clear();
    goneLabel_->hide();
}

void PhoneNoticer::interfacesChanged() {
    if (!address_)
        return;
    const InterfaceSnapshot now = watcher_->snapshot();
    const QList<InterfaceEvent> events = InterfaceEvents(last_, now);
    last_ = now;
    if (events.isEmpty())
        return;
    const PlugSuggestion suggestion =
        SuggestFromInterfaceEvents(events, {connectedAddress_(), fieldState(), now});
    if (suggestion.connectionGone) {
        goneLabel_->setText(ConnectionGoneText());
        goneLabel_->show();
    }
    if (!suggestion.fill.isEmpty()) {
        fill(suggestion.fill);
        deviceLabel_->clear();
    }
    if (!suggestion.probe.isEmpty()) {
        // A device the new probe finds may take the field (the same phone, or another one).
        foundText_.clear();
        const quint64 generation = ++probeGeneration_;
        prober_(suggestion.probe, this, [this, generation](const DiscoveredDevice& device) {
            if (generation == probeGeneration_)
                useFoundDevice(device);
        });
    }
    if (suggestion != PlugSuggestion{})
        emit suggested(suggestion);
}

// The first device to answer takes the field; a later one (the phone's second interface) does
// not replace it.
void PhoneNoticer::useFoundDevice(const DiscoveredDevice& device) {
    if (!address_ || !connectedAddress_().isEmpty() || fieldState() != AddressFieldState::Untouched)
        return;
    emit deviceFound(device.address, device.pin);
    fill(device.address);
    foundText_ = address_->maskedText();
    QSettings settings = KestraneSettings();
    const std::optional<RememberedDevice> remembered = RememberedDeviceByPin(settings, device.pin);
    deviceLabel_->setText(RememberedDeviceText(
        remembered ? *remembered : RememberedDevice{device.pin, device.address, device.model()}));
}

void PhoneNoticer::fill(const QString& address) {
    address_->setAddressText(address);
    typed_ = false;
}

} // namespace kestrane

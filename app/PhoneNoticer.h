#pragma once

#include "DiscoveryAnswer.h"
#include "InterfaceWatch.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QLabel;

namespace kestrane {

class AddressEdit;

// Notices a phone plugged in over USB while the window is open: when a network interface appears
// or gains a link-local address and the window is not connected, the address field (unless the
// user typed in it) takes the neighbour address where the phone takes its own, and a short
// discovery of the neighbours puts the address of the device that answers there, named in
// deviceLabel ("BlackBerry Z30, PIN 2A7F3C9E", as remembered when it is). When the link the
// connected device was reached through goes away, goneLabel says so on the main screen, without
// a box; the next successful Connect takes the note away.
class PhoneNoticer : public QObject {
    Q_OBJECT
public:
    using Found = std::function<void(const DiscoveredDevice&)>;
    // Probes addresses for devices and calls found for each that answers, while context lives.
    // The window's: a DiscoveryScan with the settings of the environment.
    using Prober =
        std::function<void(const QList<quint32>& addresses, QObject* context, Found found)>;

    PhoneNoticer(std::shared_ptr<InterfaceWatcher> watcher, AddressEdit* address,
                 QLabel* deviceLabel, QLabel* goneLabel, std::function<QString()> connectedAddress,
                 QObject* parent = nullptr);

    void setProber(Prober prober) { prober_ = std::move(prober); }
    // A Connect succeeded: the note of a link gone goes.
    void connectionMade();
    AddressFieldState fieldState() const;

    static QString ConnectionGoneText();

signals:
    // A suggestion was acted on (for tests and the window's look).
    void suggested(const kestrane::PlugSuggestion& suggestion);
    // A device found after a plug-in is about to fill the field with its address.
    void deviceFound(const QString& address, const QString& pin);

private:
    void interfacesChanged();
    void useFoundDevice(const DiscoveredDevice& device);
    void fill(const QString& address);

    std::shared_ptr<InterfaceWatcher> watcher_;
    QPointer<AddressEdit> address_;
    QPointer<QLabel> deviceLabel_;
    QPointer<QLabel> goneLabel_;
    std::function<QString()> connectedAddress_;
    Prober prober_;
    InterfaceSnapshot last_;
    // The user typed in the field since this (or the window) last filled it.
    bool typed_ = false;
    // The masked text of the device found last; empty when none.
    QString foundText_;
    // Counts probes: only the latest one's devices fill the field.
    quint64 probeGeneration_ = 0;
};

} // namespace kestrane

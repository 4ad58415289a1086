#pragma once

#include "Discovery.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace kestrane {

// Find Devices: scans the addresses given for devices in Development Mode, shows them as they
// answer (model, address, OS version, PIN, and a warning for Development Mode off or the setup
// not finished), and gives back the address chosen. The scan runs in the event loop: the window
// stays usable, and Cancel (or closing the dialog) ends it at once. When nothing answers, the
// dialog says what to check, with the USB-networking advice it is given.
class FindDevicesDialog : public QDialog {
    Q_OBJECT
public:
    // addresses: the candidates to probe; simulated: devices to list without probing them (the
    // bundled simulator's); usbAdvice: UsbNetworkingAdvice() lines, shown when nothing answers.
    FindDevicesDialog(QList<quint32> addresses, DiscoverySettings settings,
                      QList<DiscoveredDevice> simulated, QStringList usbAdvice,
                      QWidget* parent = nullptr);

    // Starts the scan (also done when the dialog is first shown).
    void startScan();
    // The bundled simulator's devices are being asked for: the scan waits for addSimulated(),
    // so that their addresses are not probed.
    void waitForSimulated() { waitingForSimulated_ = true; }
    // Lists the simulator's devices (marked simulated) and starts the scan without their
    // addresses, if it waited for them.
    void addSimulated(const QList<DiscoveredDevice>& devices);
    // The address of the device chosen with Use Address (or a double click); empty otherwise.
    QString chosenAddress() const { return chosen_; }

    // For tests and the window's look: the parts of the dialog.
    QTreeWidget* list() const { return list_; }
    QLabel* status() const { return status_; }
    QPushButton* useButton() const { return use_; }
    QPushButton* cancelButton() const { return cancel_; }
    bool scanning() const;

    // The warning shown for a device ("Development Mode off", "setup not finished"); empty when
    // it can take commands. Its tooltip (AdviceFor) says what to do.
    static QString WarningFor(const DiscoveredDevice& device);
    static QString AdviceFor(const DiscoveredDevice& device);

    // Cancel, Escape, closing: ends the scan at once.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void beginScan();
    void add(const DiscoveredDevice& device);
    void scanFinished();
    void useSelected();

    QList<quint32> addresses_;
    DiscoverySettings settings_;
    DiscoveryScan* scan_ = nullptr; // made when the probing begins
    bool waitingForSimulated_ = false;
    // A remembered device was found and selected: later ones do not take the selection.
    bool knownSelected_ = false;
    QList<DiscoveredDevice> simulated_;
    QStringList usbAdvice_;
    QLabel* status_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QTreeWidget* list_ = nullptr;
    QPushButton* use_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QString chosen_;
    bool started_ = false;
};

} // namespace kestrane

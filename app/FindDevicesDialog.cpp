#include "FindDevicesDialog.h"

#include "RememberedDevices.h"
#include "Settings.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QHostAddress>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrane {

namespace {

enum Column { ModelColumn, AddressColumn, VersionColumn, PinColumn, WarningColumn };

} // namespace

FindDevicesDialog::FindDevicesDialog(QList<quint32> addresses, DiscoverySettings settings,
                                     QList<DiscoveredDevice> simulated, QStringList usbAdvice,
                                     QWidget* parent)
    : QDialog(parent), addresses_(std::move(addresses)), settings_(settings),
      simulated_(std::move(simulated)), usbAdvice_(std::move(usbAdvice)) {
    setObjectName(QStringLiteral("FindDevicesDialog"));
    setWindowTitle(tr("Find Devices"));

    status_ = new QLabel(tr("Looking for devices in Development Mode..."), this);
    status_->setObjectName(QStringLiteral("lbFindStatus"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("lstFoundDevices"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({tr("Device"), tr("Address"), tr("OS version"), tr("PIN"), QString()});
    list_->header()->setStretchLastSection(true);
    list_->setSortingEnabled(false);
    auto* buttons = new QDialogButtonBox(this);
    use_ = buttons->addButton(tr("&Use Address"), QDialogButtonBox::AcceptRole);
    use_->setEnabled(false);
    cancel_ = buttons->addButton(QDialogButtonBox::Cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    layout->addWidget(list_, 1);
    layout->addWidget(buttons);
    resize(700, 300);

    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [this] { use_->setEnabled(!list_->selectedItems().isEmpty()); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &FindDevicesDialog::useSelected);
    connect(use_, &QPushButton::clicked, this, &FindDevicesDialog::useSelected);
    connect(cancel_, &QPushButton::clicked, this, &FindDevicesDialog::reject);
}

bool FindDevicesDialog::scanning() const {
    return started_ && (scan_ ? !scan_->isFinished() : waitingForSimulated_);
}

QString FindDevicesDialog::WarningFor(const DiscoveredDevice& device) {
    QStringList warnings;
    if (device.developmentMode == false)
        warnings.append(tr("Development Mode off"));
    if (device.setupFinished == false)
        warnings.append(tr("setup not finished"));
    return warnings.join(QStringLiteral(", "));
}

QString FindDevicesDialog::AdviceFor(const DiscoveredDevice& device) {
    QStringList advice;
    if (device.developmentMode == false)
        advice.append(tr("Development Mode is off: the device takes no commands until it is "
                         "switched on in Settings > Security and Privacy > Development Mode."));
    if (device.setupFinished == false)
        advice.append(tr("The device's first-start setup is not finished: it refuses to work with "
                         "a computer until the setup is finished on the device."));
    return advice.join(QLatin1Char('\n'));
}

void FindDevicesDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    startScan();
}

void FindDevicesDialog::startScan() {
    if (started_)
        return;
    started_ = true;
    for (const DiscoveredDevice& device : std::as_const(simulated_))
        add(device);
    if (!waitingForSimulated_)
        beginScan();
}

void FindDevicesDialog::addSimulated(const QList<DiscoveredDevice>& devices) {
    simulated_ += devices;
    if (started_)
        for (const DiscoveredDevice& device : devices)
            add(device);
    const bool waited = waitingForSimulated_;
    waitingForSimulated_ = false;
    if (started_ && waited && !scan_)
        beginScan();
}

void FindDevicesDialog::beginScan() {
    // The simulator's devices stand for their addresses, as for every command: those are not
    // probed.
    for (const DiscoveredDevice& device : std::as_const(simulated_))
        addresses_.removeAll(QHostAddress(device.address).toIPv4Address());
    scan_ = new DiscoveryScan(addresses_, settings_, this);
    connect(scan_, &DiscoveryScan::found, this, &FindDevicesDialog::add);
    connect(scan_, &DiscoveryScan::progress, this, [this](qsizetype done, qsizetype total) {
        progress_->setRange(0, int(total));
        progress_->setValue(int(done));
    });
    connect(scan_, &DiscoveryScan::finished, this, &FindDevicesDialog::scanFinished);
    scan_->start();
}

void FindDevicesDialog::add(const DiscoveredDevice& device) {
    QString model = device.model();
    if (device.simulated)
        model += tr(" (simulated)");
    // A device seen before is known by its PIN; one whose address changed (Wi-Fi) says where it
    // was, and is the one suggested.
    std::optional<RememberedDevice> known;
    if (!device.simulated) {
        QSettings settings = KestraneSettings();
        known = RememberedDeviceByPin(settings, device.pin);
        if (known && known->address != device.address)
            model += tr(" (was at %1)").arg(known->address);
        RememberDevice(settings, {device.pin, device.address, device.model()});
    }
    auto* item = new QTreeWidgetItem(
        {model, device.address, device.osVersion, device.pin, WarningFor(device)});
    if (!item->text(WarningColumn).isEmpty()) {
        item->setForeground(WarningColumn, QColor(0xC0, 0x00, 0x00));
        item->setToolTip(WarningColumn, AdviceFor(device));
    }
    list_->addTopLevelItem(item);
    for (int column = ModelColumn; column < WarningColumn; ++column)
        list_->resizeColumnToContents(column);
    if (list_->topLevelItemCount() == 1 || (known && !knownSelected_)) {
        list_->setCurrentItem(item);
        knownSelected_ = knownSelected_ || known.has_value();
    }
}

void FindDevicesDialog::scanFinished() {
    progress_->hide();
    cancel_->setText(tr("Close"));
    const int found = list_->topLevelItemCount();
    if (found > 0) {
        status_->setText(
            found == 1 ? tr("1 device found. Choose it to fill in its address.")
                       : tr("%1 devices found. Choose one to fill in its address.").arg(found));
        return;
    }
    QString text = tr("No device answered (%1 addresses asked). Check that the device is "
                      "switched on and unlocked, in Development Mode (Settings > Security and "
                      "Privacy > Development Mode) and connected: over USB with USB networking "
                      "on, or over Wi-Fi in the same network as this computer. A device in "
                      "another network is found by typing its address.")
                       .arg(addresses_.size());
    for (const QString& advice : std::as_const(usbAdvice_))
        text += QStringLiteral("\n\n") + advice;
    status_->setText(text);
}

void FindDevicesDialog::useSelected() {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty())
        return;
    chosen_ = selected.first()->text(AddressColumn);
    waitingForSimulated_ = false;
    if (scan_)
        scan_->cancel();
    accept();
}

void FindDevicesDialog::reject() {
    // Cancel ends every probe at once: nothing keeps running behind a closed dialog.
    waitingForSimulated_ = false;
    if (scan_)
        scan_->cancel();
    QDialog::reject();
}

} // namespace kestrane

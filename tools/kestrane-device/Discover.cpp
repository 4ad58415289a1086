// kestrane-device discover: the devices that answer discovery probes, on USB and the local
// network or on the networks given, with the bundled simulator's devices while it answers.

#include "Discover.h"

#include "CommandWord.h"
#include "DeployToolLookup.h"
#include "Discovery.h"
#include "LocalAddresses.h"
#include "Output.h"
#include "RegistryView.h"
#include "RememberedDevices.h"
#include "Settings.h"
#include "Terminal.h"
#include "UsbNetworking.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <variant>

namespace kestrane::cli {

namespace {

struct DiscoverOptions {
    QList<Ipv4Network> networks;
    bool json = false;
    QString deployTool;
};

void Say(const QString& text) {
    std::fprintf(stderr, "kestrane-device: %s\n", qPrintable(text));
}

std::variant<DiscoverOptions, QString> Parse(const QStringList& arguments) {
    DiscoverOptions options;
    bool commandSeen = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        QString value;
        QString name = argument;
        if (argument.startsWith(QLatin1String("--")) && argument.contains(QLatin1Char('='))) {
            name = argument.section(QLatin1Char('='), 0, 0);
            value = argument.section(QLatin1Char('='), 1);
        } else if (TakesValue(argument)) {
            if (i + 1 >= arguments.size())
                return QStringLiteral("%1 needs a value").arg(argument);
            value = arguments[++i];
        }
        if (name == QLatin1String("--json")) {
            options.json = true;
        } else if (name == QLatin1String("--network")) {
            QString error;
            const std::optional<Ipv4Network> network = ParseNetwork(value, &error);
            if (!network)
                return error;
            options.networks.append(*network);
        } else if (name == QLatin1String("--deploy-tool")) {
            options.deployTool = value;
        } else if (name == QLatin1String("--device")) {
            return QStringLiteral("discover takes no --device: it finds the devices (give "
                                  "--network CIDR to look in a network)");
        } else if (name == QLatin1String("--password-file")) {
            // No password is needed to find devices; a script may pass one all the same.
        } else if (name.startsWith(QLatin1String("--"))) {
            return QStringLiteral("unknown option %1").arg(argument);
        } else if (!commandSeen && argument == QLatin1String("discover")) {
            commandSeen = true;
        } else {
            return QStringLiteral("discover takes no arguments (\"%1\"); give networks with "
                                  "--network CIDR")
                .arg(argument);
        }
    }
    return options;
}

// The addresses to probe: the hosts of the networks given, or the most likely addresses of the
// machine's own networks.
QList<quint32> Addresses(const DiscoverOptions& options) {
    if (options.networks.isEmpty())
        return DiscoveryCandidates(SystemLocalNetworks());
    QList<quint32> addresses;
    QSet<quint32> seen;
    for (const Ipv4Network& network : options.networks) {
        const QList<quint32> hosts = NetworkHosts(network);
        for (quint32 host : hosts)
            if (!seen.contains(host)) {
                seen.insert(host);
                addresses.append(host);
            }
    }
    return addresses;
}

// The bundled simulator's devices, asked from its jar ("-discover"), when it stands in for the
// deploy tool: its devices live on the USB link-local range, so it is asked only when the scan
// covers that range. Empty (with a warning) when it cannot be asked.
QList<DiscoveredDevice> SimulatedDevices(const DiscoverOptions& options, const QString& appDir) {
    if (!options.deployTool.isEmpty())
        return {};
    const bool coversLinkLocal =
        options.networks.isEmpty() ||
        std::any_of(options.networks.begin(), options.networks.end(),
                    [](const Ipv4Network& network) { return IsLinkLocal(network.address); });
    if (!coversLinkLocal)
        return {};
    const DeployToolFound tool =
        FindDeployTool(DeployToolPlaces::ForUser(ChosenDeployToolFolder(), appDir));
    if (!tool.simulator)
        return {};
    QString javaBinDir;
    try {
        javaBinDir = DiscoverJavaBinDir(*MakeJvmFolderRegistryView());
    } catch (const std::exception&) {
    }
    if (javaBinDir.isEmpty()) {
        Say(QStringLiteral("warning: no Java runtime: the bundled simulator's devices are not "
                           "listed"));
        return {};
    }
    QProcess simulator;
    simulator.start(QDir(javaBinDir).filePath(QStringLiteral("java")),
                    {QStringLiteral("-jar"),
                     QDir(tool.folder).filePath(QStringLiteral("BarDeploy.jar")),
                     QStringLiteral("-discover")});
    if (!simulator.waitForFinished(20000) || simulator.exitCode() != 0) {
        simulator.kill();
        simulator.waitForFinished(1000);
        Say(QStringLiteral("warning: the bundled simulator did not list its devices: %1")
                .arg(QString::fromLocal8Bit(simulator.readAllStandardError()).trimmed()));
        return {};
    }
    return ReadSimulatorDiscovery(simulator.readAllStandardOutput());
}

const char* FlagText(const std::optional<bool>& flag, const char* yes, const char* no) {
    return !flag ? "?" : *flag ? yes : no;
}

QJsonValue FlagJson(const std::optional<bool>& flag) {
    return flag ? QJsonValue(*flag) : QJsonValue(QJsonValue::Null);
}

QString ViaText(const DiscoveredDevice& device) {
    return device.via == DiscoveryVia::Usb ? QStringLiteral("usb") : QStringLiteral("network");
}

// The address each device was remembered at when that is not where it answered now; empty
// otherwise. Every device found (the simulator's aside) is remembered at its address now.
QStringList PreviousAddresses(const QList<DiscoveredDevice>& devices) {
    QSettings settings = KestraneSettings();
    QStringList previous;
    for (const DiscoveredDevice& device : devices) {
        const std::optional<RememberedDevice> known =
            device.simulated ? std::nullopt : RememberedDeviceByPin(settings, device.pin);
        previous.append(known && known->address != device.address ? known->address : QString());
        if (!device.simulated)
            RememberDevice(settings, {device.pin, device.address, device.model()});
    }
    return previous;
}

QString DevicesText(const QList<DiscoveredDevice>& devices, const QStringList& previous,
                    bool json) {
    if (json) {
        QString text;
        for (qsizetype i = 0; i < devices.size(); ++i) {
            const DiscoveredDevice& device = devices[i];
            const QJsonObject object{{"address", device.address},
                                     {"pin", device.pin},
                                     {"model", device.model()},
                                     {"osType", device.osType},
                                     {"osVersion", device.osVersion},
                                     {"developmentMode", FlagJson(device.developmentMode)},
                                     {"setupFinished", FlagJson(device.setupFinished)},
                                     {"via", ViaText(device)},
                                     {"simulated", device.simulated},
                                     {"previousAddress", previous[i].isEmpty()
                                                             ? QJsonValue(QJsonValue::Null)
                                                             : QJsonValue(previous[i])}};
            text += QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) +
                    QLatin1Char('\n');
        }
        return text;
    }
    QList<QStringList> rows{{QStringLiteral("ADDRESS"), QStringLiteral("MODEL"),
                             QStringLiteral("OS"), QStringLiteral("PIN"),
                             QStringLiteral("DEVELOPMENT MODE"), QStringLiteral("SETUP"),
                             QStringLiteral("VIA")}};
    for (const DiscoveredDevice& device : devices)
        rows.append(
            {device.address, device.model(),
             QStringLiteral("%1 %2").arg(device.osType, device.osVersion).trimmed(), device.pin,
             QString::fromLatin1(FlagText(device.developmentMode, "on", "off")),
             QString::fromLatin1(FlagText(device.setupFinished, "finished", "not finished")),
             device.simulated ? ViaText(device) + QStringLiteral(" (simulated)")
                              : ViaText(device)});
    return Columns(rows);
}

// What to check when no device answered.
QString NothingFoundText(const DiscoverOptions& options, qsizetype probed) {
    if (probed == 0 && options.networks.isEmpty())
        return QStringLiteral("this computer has no USB (169.254.x.y) or private network to look "
                              "in: connect the device over USB with USB networking on, or give "
                              "its network with --network CIDR (such as 192.168.1.0/24).");
    QString text =
        QStringLiteral("no device answered (%1 addresses probed). Check that the device is "
                       "switched on and unlocked, in Development Mode (Settings > Security and "
                       "Privacy > Development Mode) and connected: over USB, with USB networking "
                       "on; over Wi-Fi, in the same network as this computer.")
            .arg(probed);
    if (options.networks.isEmpty())
        text += QStringLiteral(" A device on Wi-Fi in another network is found with --network "
                               "CIDR (its network, such as 192.168.1.0/24).");
    return text;
}

} // namespace

bool IsDiscoverCommand(const QStringList& arguments) {
    return CommandWord(arguments) == QLatin1String("discover");
}

int RunDiscover(const QStringList& arguments, const QString& appDir) {
    auto parsed = Parse(arguments);
    if (const auto* error = std::get_if<QString>(&parsed)) {
        Say(*error);
        return 1;
    }
    const DiscoverOptions options = std::get<DiscoverOptions>(std::move(parsed));
    QString error;
    const DiscoverySettings settings = DiscoverySettings::FromEnvironment(&error);
    if (!error.isEmpty()) {
        Say(error);
        return 1;
    }
    QList<quint32> addresses = Addresses(options);

    // The simulator's devices stand for their addresses, as they do for every other command:
    // those addresses are not probed.
    QList<DiscoveredDevice> devices;
    const QList<DiscoveredDevice> simulated = SimulatedDevices(options, appDir);
    for (const DiscoveredDevice& device : simulated) {
        const quint32 address = QHostAddress(device.address).toIPv4Address();
        if (options.networks.isEmpty() || addresses.removeAll(address) > 0)
            devices.append(device);
    }
    if (!devices.isEmpty())
        Say(QStringLiteral("the bundled device simulator answers for its devices (marked "
                           "simulated); a real device is found where it answers"));

    const bool terminal = IsTerminal(stderr);
    DiscoveryScan scan(addresses, settings);
    QObject::connect(&scan, &DiscoveryScan::progress, [&](qsizetype done, qsizetype total) {
        if (terminal)
            std::fprintf(stderr, "\rkestrane-device: probing %lld of %lld addresses\033[K",
                         static_cast<long long>(done), static_cast<long long>(total));
    });
    QObject::connect(&scan, &DiscoveryScan::finished, qApp, &QCoreApplication::quit);
    scan.start();
    if (!scan.isFinished())
        QCoreApplication::exec();
    if (terminal)
        std::fputs("\r\033[K", stderr);

    // A phone on USB whose interface has no IPv4 address is not reachable: say how to fix it,
    // whatever was found elsewhere. KESTRANE_SYSFS_ROOT stands for /sys in tests.
    const QString sysfs = qEnvironmentVariable("KESTRANE_SYSFS_ROOT", QStringLiteral("/sys"));
    const QStringList advice =
        UsbNetworkingAdvice(FindPhoneUsbInterfaces(sysfs), InterfacesWithIpv4());
    devices += scan.devices();
    std::sort(devices.begin(), devices.end(), [](const auto& a, const auto& b) {
        return QHostAddress(a.address).toIPv4Address() < QHostAddress(b.address).toIPv4Address();
    });
    if (devices.isEmpty())
        Say(NothingFoundText(options, scan.total()));
    for (const QString& line : advice)
        Say(line);
    if (devices.isEmpty())
        return 5;
    const QStringList previous = PreviousAddresses(devices);
    for (qsizetype i = 0; i < devices.size(); ++i)
        if (!previous[i].isEmpty())
            Say(QStringLiteral("%1 (PIN %2) was at %3; it answers at %4 now")
                    .arg(devices[i].model(), devices[i].pin, previous[i], devices[i].address));
    std::fputs(DevicesText(devices, previous, options.json).toLocal8Bit().constData(), stdout);
    return 0;
}

} // namespace kestrane::cli

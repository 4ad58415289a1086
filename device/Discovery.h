#pragma once

#include "DiscoveryAnswer.h"
#include "LocalAddresses.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QTcpSocket;
class QTimer;

namespace kestrane {

// "192.168.1.0/24" (or a bare address, a /32); the text of what is wrong otherwise. Networks
// larger than /16 (over 65534 hosts) are refused: no one scans that many hosts for a device.
std::optional<Ipv4Network> ParseNetwork(const QString& text, QString* error);

// The network's hosts in ascending order: without its network and broadcast addresses when it
// has them (a /31 and a /32 are all hosts).
QList<quint32> NetworkHosts(const Ipv4Network& network);

QString Ipv4Text(quint32 address);
// 169.254.0.0/16, where a phone on USB networking takes its address.
bool IsLinkLocal(quint32 address);

// The addresses to probe for devices, most likely first, from the machine's own addresses and
// their prefixes (SystemLocalNetworks()):
//  1. for every local link-local address 169.254.x.y (a USB networking link), the neighbours
//     169.254.x.(y-1) and 169.254.x.(y+1), where the phone on the other end takes its address,
//     then 169.254.0.1, the phone's address unless its user changed it;
//  2. the hosts of every local network in a private range (10/8, 172.16/12, 192.168/16 and the
//     link-local 169.254/16): the whole network when its prefix is /22 or longer (at most 1022
//     hosts), otherwise only the /24 around the machine's own address.
// Loopback addresses, other public addresses and the machine's own addresses are left out;
// every address comes once.
QList<quint32> DiscoveryCandidates(const QList<Ipv4Network>& localNetworks);

struct DiscoverySettings {
    // The devices' port (80); KESTRANE_DISCOVERY_PORT moves it, for fake devices in tests.
    quint16 port = 80;
    // A host must accept the connection within this time...
    int connectTimeoutMs = 500;
    // ...and answer completely within this time from the start of its probe.
    int answerTimeoutMs = 1000;
    // At most this many probes (sockets) are open at once.
    int parallel = 128;

    // The defaults with KESTRANE_DISCOVERY_PORT applied; error set when it is no port number.
    static DiscoverySettings FromEnvironment(QString* error);
};

// A scan of candidate addresses: every address gets one HTTP probe, a bounded number at once;
// each device that answers is reported as it answers. A host that refuses, never accepts,
// accepts and stays silent, answers slowly, too much, or with anything but a device's answer
// counts as no device, and no probe outlives its timeout: the scan ends within about
// answerTimeoutMs for every `parallel` addresses, however the hosts behave.
class DiscoveryScan : public QObject {
    Q_OBJECT
public:
    DiscoveryScan(QList<quint32> addresses, DiscoverySettings settings, QObject* parent = nullptr);
    ~DiscoveryScan() override;

    // Starts probing (from the event loop). finished() comes once, also for no addresses.
    void start();
    // Stops every open probe at once; finished() follows.
    void cancel();

    qsizetype total() const { return addresses_.size(); }
    qsizetype done() const { return done_; }
    bool isFinished() const { return finished_; }
    // The most sockets open at the same time during the scan (probes running and ended ones
    // whose sockets are not deleted yet).
    int peakOpen() const { return peakOpen_; }
    const QList<DiscoveredDevice>& devices() const { return devices_; }

signals:
    void found(const kestrane::DiscoveredDevice& device);
    void progress(qsizetype done, qsizetype total);
    void finished();

private:
    struct Probe;
    void fill();
    void open(quint32 address);
    void received(Probe* probe, bool closed);
    void close(Probe* probe);
    void finishIfDone();

    QList<quint32> addresses_;
    DiscoverySettings settings_;
    qsizetype next_ = 0;
    qsizetype done_ = 0;
    int peakOpen_ = 0;
    // Probes ended whose sockets are not deleted yet.
    int closing_ = 0;
    bool started_ = false;
    bool finished_ = false;
    std::vector<std::unique_ptr<Probe>> open_;
    QList<DiscoveredDevice> devices_;
};

} // namespace kestrane

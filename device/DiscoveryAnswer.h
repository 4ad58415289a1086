#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace kestrane {

// A device in Development Mode answers "GET /cgi-bin/discovery.cgi" on port 80, without a
// password, with a small XML document: <RimTabletResponse><DeviceCharacteristics> and the
// device's PIN, name, OS and state below it, in any order.

// An answer larger than this is no device's: the probe stops reading there.
inline constexpr qsizetype DiscoveryAnswerLimit = 64 * 1024;

// How a found device is reached: through a USB network link (a link-local 169.254.x.y address,
// which a phone on USB takes) or the local network (Wi-Fi, Ethernet).
enum class DiscoveryVia { Usb, Network };

struct DiscoveredDevice {
    QString address;
    // The PIN as devices show it: 8 upper-case hexadecimal digits ("2A7F3C9E").
    QString pin;
    // SystemMachine with its "_" read as blanks ("BlackBerry Z30"); empty when not given.
    QString machine;
    // ModelName ("Z30"); empty when not given.
    QString modelName;
    // OsType ("BlackBerry 10", "BlackBerry PlayBook OS").
    QString osType;
    // PlatformVersion ("10.3.3.2205").
    QString osVersion;
    // DeveloperModeEnabled and OobeCompleted (the device's first-start setup is finished); unset
    // when the answer leaves them out.
    std::optional<bool> developmentMode;
    std::optional<bool> setupFinished;
    DiscoveryVia via = DiscoveryVia::Network;
    // True for a device of the bundled device simulator.
    bool simulated = false;

    // The name to show: the machine name, else "BlackBerry " and the model name, else the
    // PlayBook by its OS, else the OS type.
    QString model() const;
};

// Reads a discovery answer's body (the XML). nullopt for anything that is no device's answer:
// not XML, another document (an HTML error page), no DeviceCharacteristics, no readable PIN, or
// more than DiscoveryAnswerLimit bytes. Other fields may be missing: they stay empty or unset.
std::optional<DiscoveredDevice> ReadDiscoveryAnswer(const QByteArray& body);

// Where a probe's HTTP response stands, read from the bytes received so far.
struct DiscoveryResponse {
    enum class State {
        // More bytes may make it a device's answer.
        Incomplete,
        // The body is complete (its Content-Length reached, or the connection closed).
        Complete,
        // Not a device: no HTTP status line, a status other than 200, or too large.
        Rejected,
    };
    State state = State::Incomplete;
    QByteArray body;
};

// Reads an HTTP/1.x response to the discovery request. closed says the peer closed the
// connection (a body without Content-Length ends there). A response over DiscoveryAnswerLimit
// (head and body) is rejected as soon as that many bytes are seen.
DiscoveryResponse ReadDiscoveryResponse(const QByteArray& received, bool closed);

// The bundled device simulator's devices from its "-discover" output: per line an address, a
// blank and the device's answer. Lines that are no device's are passed over; each device comes
// marked simulated, reached over USB.
QList<DiscoveredDevice> ReadSimulatorDiscovery(const QByteArray& output);

// The request a probe sends to address, as public clients send it.
QByteArray DiscoveryRequest(const QString& address);

} // namespace kestrane

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace kestrane {

// Where the machine's own IPv4 addresses come from. The window holds one; tests give it fixed
// lists.
class LocalAddressSource {
public:
    virtual ~LocalAddressSource() = default;
    // The IPv4 addresses of the machine's network interfaces in dotted-decimal form, in interface
    // order. Empty when none can be read.
    virtual QStringList GetLocalIPAddresses() const = 0;
};

// Reads the addresses of the real network interfaces.
class SystemLocalAddresses : public LocalAddressSource {
public:
    QStringList GetLocalIPAddresses() const override;
};

// An IPv4 network: an address in it (host byte order) and its prefix length (0 to 32).
struct Ipv4Network {
    quint32 address = 0;
    int prefix = 32;

    friend bool operator==(const Ipv4Network&, const Ipv4Network&) = default;
};

// The machine's own IPv4 addresses with their prefix lengths, of the same interfaces as
// SystemLocalAddresses (up, not loopback), in interface order.
QList<Ipv4Network> SystemLocalNetworks();

// The device address suggested from the local addresses: the last address that contains
// "169.254." anywhere, with its last group (at most three characters after the last dot, read as
// a decimal number) lowered by one (a last group of 0 gives -1). Empty when no address matches or
// its last group is not a number.
QString SuggestDeviceAddress(const QStringList& localAddresses);

// The 15-character text of the address field (mask "999.999.999.999") after setting it to a
// dotted text: each group fills its three positions from the left, unfilled positions are
// blanks, the dots stand on the mask's dots. An empty text gives "   .   .   .   ". A group that
// does not fit three digit positions (such as "-1" or "1234") leaves its positions unfilled;
// groups after the fourth are dropped.
QString LayAddressIntoMask(const QString& dottedText);

} // namespace kestrane

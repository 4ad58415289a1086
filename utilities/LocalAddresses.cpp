#include "LocalAddresses.h"

#include <QHostAddress>
#include <QNetworkInterface>

namespace kestrane {

namespace {

const QString LinkLocalPrefix = QStringLiteral("169.254.");
constexpr int MaskGroups = 4;
constexpr int MaskGroupWidth = 3;

// A group of the address field accepts at most three positions, each a digit or unfilled.
bool fitsMaskGroup(const QString& group) {
    if (group.size() > MaskGroupWidth)
        return false;
    for (QChar c : group) {
        const bool isDigit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!isDigit && c != QLatin1Char(' '))
            return false;
    }
    return true;
}

// The IPv4 address entries of the interfaces that can lead to a device. Interfaces that are down
// and the loopback interface are left out, as resolving the machine's own name leaves them out.
QList<QNetworkAddressEntry> LocalIpv4Entries() {
    QList<QNetworkAddressEntry> found;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& networkInterface : interfaces) {
        const auto flags = networkInterface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = networkInterface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                found.append(entry);
        }
    }
    return found;
}

} // namespace

QStringList SystemLocalAddresses::GetLocalIPAddresses() const {
    QStringList addresses;
    const auto entries = LocalIpv4Entries();
    for (const QNetworkAddressEntry& entry : entries)
        addresses.append(entry.ip().toString());
    return addresses;
}

QList<Ipv4Network> SystemLocalNetworks() {
    QList<Ipv4Network> networks;
    const auto entries = LocalIpv4Entries();
    for (const QNetworkAddressEntry& entry : entries) {
        const int prefix = entry.prefixLength();
        networks.append({entry.ip().toIPv4Address(), prefix < 0 || prefix > 32 ? 32 : prefix});
    }
    return networks;
}

QString SuggestDeviceAddress(const QStringList& localAddresses) {
    QString candidate;
    for (const QString& address : localAddresses) {
        if (address.contains(LinkLocalPrefix))
            candidate = address;
    }
    const qsizetype lastDot = candidate.lastIndexOf(QLatin1Char('.'));
    if (lastDot < 0)
        return {};
    bool isNumber = false;
    const int lastGroup = candidate.mid(lastDot + 1, MaskGroupWidth).toInt(&isNumber, 10);
    // Addresses come from the system in dotted-decimal form, so this only guards against a
    // source that hands over something else: nothing is suggested then.
    if (!isNumber)
        return {};
    return candidate.left(lastDot + 1) + QString::number(lastGroup - 1);
}

QString LayAddressIntoMask(const QString& dottedText) {
    QString field = QStringLiteral("   .   .   .   ");
    const QStringList groups = dottedText.split(QLatin1Char('.'));
    for (int index = 0; index < MaskGroups && index < groups.size(); ++index) {
        // A group that does not fit three digit positions (such as "-1") leaves them unfilled,
        // so the field never shows an address other than the one that was set.
        if (fitsMaskGroup(groups[index]))
            field.replace(index * (MaskGroupWidth + 1), groups[index].size(), groups[index]);
    }
    return field;
}

} // namespace kestrane

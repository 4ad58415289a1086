// Interface changes turned into events, and events into the address field's suggestion.

#include "InterfaceWatch.h"
#include "Discovery.h"
#include "InterfaceStates.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

using testing::Iface;
using testing::Ip;

QList<quint32> Ips(std::initializer_list<const char*> addresses) {
    QList<quint32> list;
    for (const char* address : addresses)
        list.append(Ip(address));
    return list;
}

using Kind = InterfaceEvent::Kind;

TEST(InterfaceEvents, NewInterfacesAndNewLinkLocalAddressesAndInterfacesGone) {
    const InterfaceState wifi = Iface("wlan0", {"192.168.1.5"});
    struct Row {
        const char* name;
        InterfaceSnapshot before;
        InterfaceSnapshot after;
        QList<InterfaceEvent> events;
    };
    const Row rows[] = {
        {"nothing changed", {wifi}, {wifi}, {}},
        {"the phone's interface appears with its address",
         {wifi},
         {wifi, Iface("usb0", {"169.254.0.2"})},
         {{Kind::Appeared, "usb0", Ips({"169.254.0.2"})}}},
        {"the phone's interface appears without an address",
         {wifi},
         {wifi, Iface("usb0")},
         {{Kind::Appeared, "usb0", {}}}},
        {"it gains a link-local address later",
         {wifi, Iface("usb0")},
         {wifi, Iface("usb0", {"169.254.0.2"})},
         {{Kind::GainedLinkLocal, "usb0", Ips({"169.254.0.2"})}}},
        {"an address outside 169.254/16 is no link",
         {wifi, Iface("eth0")},
         {wifi, Iface("eth0", {"10.0.0.7"})},
         {}},
        {"losing an address is no event", {Iface("usb0", {"169.254.0.2"})}, {Iface("usb0")}, {}},
        {"unplugged",
         {wifi, Iface("usb0", {"169.254.0.2"})},
         {wifi},
         {{Kind::Gone, "usb0", Ips({"169.254.0.2"})}}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(InterfaceEvents(row.before, row.after), row.events) << row.name;
}

TEST(PlugSuggestion, FillsAnUntouchedFieldProbesTheNeighboursAndSaysWhenTheLinkIsGone) {
    const InterfaceState wifi = Iface("wlan0", {"192.168.1.5"});
    const InterfaceState phone = Iface("usb0", {"169.254.0.2"});
    const InterfaceState phoneSecond = Iface("usb1", {"169.254.1.2"});
    const InterfaceEvent plugged{Kind::Appeared, "usb0", Ips({"169.254.0.2"})};
    const InterfaceEvent secondPlugged{Kind::Appeared, "usb1", Ips({"169.254.1.2"})};
    const InterfaceEvent unplugged{Kind::Gone, "usb0", Ips({"169.254.0.2"})};
    using Field = AddressFieldState;
    const QList<quint32> neighbours = Ips({"169.254.0.1", "169.254.0.3"});
    struct Row {
        const char* name;
        QList<InterfaceEvent> events;
        PlugContext context;
        PlugSuggestion suggestion;
    };
    const Row rows[] = {
        {"plugged in, untouched field",
         {plugged},
         {{}, Field::Untouched, {wifi, phone}},
         {"169.254.0.1", neighbours, false}},
        {"address gained later",
         {{Kind::GainedLinkLocal, "usb0", Ips({"169.254.0.2"})}},
         {{}, Field::Untouched, {wifi, phone}},
         {"169.254.0.1", neighbours, false}},
        {"the user is typing", {plugged}, {{}, Field::Typed, {wifi, phone}}, {}},
        {"a device found already fills the field: probed, not replaced by a guess",
         {plugged},
         {{}, Field::Found, {wifi, phone}},
         {{}, neighbours, false}},
        {"connected window",
         {plugged},
         {QStringLiteral("192.168.1.20"), Field::Untouched, {wifi, phone}},
         {}},
        {"two interfaces of one phone at once: one fill, both probed, each address once",
         {plugged, secondPlugged},
         {{}, Field::Untouched, {wifi, phone, phoneSecond}},
         {"169.254.0.1", Ips({"169.254.0.1", "169.254.0.3", "169.254.1.1", "169.254.1.3"}), false}},
        {"an interface without a link-local address",
         {{Kind::Appeared, "usb0", {}}},
         {{}, Field::Untouched, {wifi, Iface("usb0")}},
         {}},
        {"the machine's own addresses are never probed",
         {plugged},
         {{}, Field::Untouched, {Iface("eth1", {"169.254.0.1"}), phone}},
         {"169.254.0.3", Ips({"169.254.0.3"}), false}},
        {"gone while connected over USB",
         {unplugged},
         {QStringLiteral("169.254.0.1"), Field::Untouched, {wifi}},
         {{}, {}, true}},
        {"one of the phone's two interfaces gone while connected: the other still links",
         {unplugged},
         {QStringLiteral("169.254.0.1"), Field::Untouched, {wifi, phoneSecond}},
         {}},
        {"gone while connected over Wi-Fi",
         {unplugged},
         {QStringLiteral("192.168.1.20"), Field::Untouched, {wifi}},
         {}},
        {"gone while not connected", {unplugged}, {{}, Field::Untouched, {wifi}}, {}},
    };
    for (const Row& row : rows) {
        const PlugSuggestion got = SuggestFromInterfaceEvents(row.events, row.context);
        EXPECT_EQ(got.fill, row.suggestion.fill) << row.name;
        EXPECT_EQ(got.probe, row.suggestion.probe) << row.name;
        EXPECT_EQ(got.connectionGone, row.suggestion.connectionGone) << row.name;
    }
}

} // namespace
} // namespace kestrane

#pragma once

// Network interfaces as tests write them: a name and its IPv4 addresses in dotted form.
#include "InterfaceWatch.h"

#include <QHostAddress>

#include <initializer_list>

namespace kestrane::testing {

inline quint32 Ip(const char* text) {
    return QHostAddress(QString::fromLatin1(text)).toIPv4Address();
}

inline InterfaceState Iface(const char* name, std::initializer_list<const char*> addresses = {}) {
    InterfaceState state{QString::fromLatin1(name), {}};
    for (const char* address : addresses)
        state.ipv4.append(Ip(address));
    return state;
}

} // namespace kestrane::testing

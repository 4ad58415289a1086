#pragma once

#include "LocalAddresses.h"

#include <utility>

namespace kestrane::doubles {

// Local addresses fixed by a test, in the order given.
class FixedLocalAddresses : public LocalAddressSource {
public:
    explicit FixedLocalAddresses(QStringList addresses = {}) : addresses_(std::move(addresses)) {}
    QStringList GetLocalIPAddresses() const override { return addresses_; }

private:
    QStringList addresses_;
};

} // namespace kestrane::doubles

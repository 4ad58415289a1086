// libFuzzer target over the readers of discovery answers (device/DiscoveryAnswer.h): whatever a
// host on the network sends to a probe, arriving in pieces, then the XML of its body, and the
// same bytes as the simulator's "-discover" output. Hostile answers must never make a reader
// crash, leak, keep more than the answer limit or take more than linear time.
#include "DiscoveryAnswer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kestrane::DiscoveryResponse;
    const QByteArray all(reinterpret_cast<const char*>(data), qsizetype(size));
    // The first byte sets the size of the pieces the answer arrives in, as a probe reads it.
    const qsizetype piece = size > 0 ? qsizetype(data[0] % 64) + 1 : 1;
    QByteArray received;
    DiscoveryResponse response;
    for (qsizetype at = 0; at < all.size(); at += piece) {
        received += all.mid(at, piece);
        response = kestrane::ReadDiscoveryResponse(received, false);
        if (response.state != DiscoveryResponse::State::Incomplete)
            break;
    }
    if (response.state == DiscoveryResponse::State::Incomplete)
        response = kestrane::ReadDiscoveryResponse(received, true);
    if (response.body.size() > kestrane::DiscoveryAnswerLimit)
        std::abort();
    if (response.state == DiscoveryResponse::State::Complete) {
        const auto device = kestrane::ReadDiscoveryAnswer(response.body);
        if (device && device->pin.size() != 8)
            std::abort();
    }
    (void)kestrane::ReadDiscoveryAnswer(all);
    (void)kestrane::ReadSimulatorDiscovery(all);
    return 0;
}

// Arbitrary bulk-in transfers (status bytes included) under the packet link: every read must
// return at most what was asked for, out of what the table sent, and fail only with the link's
// own errors.
//   input: byte 0 is the read size, then transfers as <length byte><bytes>, played back one per
//   bulk read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzTable.h"
#include "utilities/OrbiZoException.h"

using namespace Korvane::DeviceDriver::OrbiZo;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 || size > 20000) return 0;
    Korvane::Testing::FuzzTable table;

    std::string payload;  // every byte after two status bytes, an upper bound for what arrives
    std::size_t at = 1;
    while (at < size) {
        // Lengths up to 255 cover whole packets, short last packets and stray single bytes.
        const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
        Korvane::Testing::Bytes transfer(data + at + 1, data + at + 1 + length);
        table.device->queueIn(transfer);
        payload.append(transfer.begin(), transfer.end());
        at += 1 + length;
    }

    const std::uint32_t count = data[0] + 1u;
    std::size_t received = 0;
    for (int read = 0; read < 8; ++read) {
        try {
            const std::string got = table.link->read(count, 20);
            check(got.size() <= count);
            received += got.size();
        } catch (const OrbiZoException& e) {
            check(e.code == ErrorCode::LastPacketOneByte);
        }
    }
    check(received <= payload.size());
    try {
        table.link->discardInput();
    } catch (const OrbiZoException&) {
        std::abort();
    }
    return 0;
}

#pragma once

#include <cstdint>

namespace Korvane {
namespace Utilities {

// What a firmware download tells whoever keeps account of it (the service history), as plain
// calls on
// the download's own thread, in this order: aboutToChangeTable() once, after the file has
// loaded and before the first command that changes the table; then for each sector the table
// took, sectorWritten() and, once the table's sum over it equalled the file's,
// sectorConfirmed(). Nothing here reads from the table: the sum is the one the download already
// compared. An observer must not throw; it may block (a durable write) for as long as it needs.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void aboutToChangeTable() = 0;
    virtual void sectorWritten(int sector) = 0;
    // `sum`: the 32-bit byte sum over the whole sector, as the table confirmed it.
    virtual void sectorConfirmed(int sector, std::uint32_t sum) = 0;
};

}  // namespace Utilities
}  // namespace Korvane

#include <atomic>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/SimulatedTable.h"
#include "simulator/TableDescriptors.h"
#include "simulator/TimingModel.h"

namespace SimulatorTest {
namespace {

using Korvane::Simulator::SimulatedTable;
using Korvane::Simulator::TableDescriptors;

// A closed connection's reply closure can be the last owner of its table, so the table goes on
// its own reply thread. That thread cannot wait for itself: the table must go without ending
// the process. (A CTest time-out ends the test should the table never go.)
TEST(TableLifetime, LastOwnerReleasedByAReplyOnTheReplyThread) {
    auto table = SimulatedTable::create("OZ3T000077");
    // With timing, a read with nothing queued is answered after the latency timer, by the
    // reply thread.
    Korvane::Simulator::TimingModel timing;
    timing.enabled = true;
    table->setTiming(timing);
    table->plug();
    // The bus lets go; the table keeps its power and answers reads.
    Korvane::Platform::SimulatedUsbBus::instance().unplug("OZ3T000077");
    const std::weak_ptr<SimulatedTable> watch = table;
    // The closure's own owner; the test's goes as soon as the read is asked for, long before
    // the latency timer runs out.
    auto owner = std::make_shared<std::shared_ptr<SimulatedTable>>(table);
    std::atomic<bool> onAnotherThread{false};
    const std::thread::id caller = std::this_thread::get_id();
    table->bulkIn(TableDescriptors::kBulkIn, 64,
                  [owner, caller, &onAnotherThread](std::vector<std::uint8_t>) {
                      onAnotherThread = std::this_thread::get_id() != caller;
                      const std::shared_ptr<SimulatedTable> last = std::move(*owner);
                  });
    owner.reset();
    table.reset();
    while (!watch.expired()) std::this_thread::yield();
    EXPECT_TRUE(onAnotherThread) << "the read was answered at once, not on the reply thread";
}

}  // namespace
}  // namespace SimulatorTest

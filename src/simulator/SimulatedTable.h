#pragma once

// A simulated OrbiZo3 table: the USB device a SimulatedUsbBus carries, with the table's serial
// converter, its command interpreter, its application and bootloader, and a program flash that
// lasts as long as the object (across resets and unplug/replug within the process).
//
// Construction and plugging:
//   auto table = SimulatedTable::create("OZ3S000001");   // factory state: application 1.07
//   table->plug();       // power on (reset) and plug into SimulatedUsbBus::instance()
//   table->unplug();     // pull out (power lost); flash, faults and transcript stay
// The bus sees the serial number as the instance id. A table may be replugged any number of
// times; every plug() starts it like a power-on: bootloader, then the application when the
// flash holds a valid one.
//
// Everything here may be called from any thread; the bus calls the SimulatedUsbDevice
// operations from its own threads. Answers to bulk-in reads may be delivered from the table's
// own reply thread, so the last owner must not be a reply callback: keep a shared pointer to
// the table (the bus holds one while it is plugged, an open session another).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/usbhost/simulated/SimulatedUsbDevice.h"
#include "simulator/CommandInterpreter.h"
#include "simulator/Fault.h"
#include "simulator/FaultPlan.h"
#include "simulator/FlashMemory.h"
#include "simulator/SerialConverter.h"
#include "simulator/TimingModel.h"
#include "simulator/WireTranscript.h"
#include "utilities/VirtualClock.h"

namespace Korvane {
namespace Simulator {

class SimulatedTable : public Platform::SimulatedUsbDevice,
                       public std::enable_shared_from_this<SimulatedTable> {
public:
    using Clock = std::chrono::steady_clock;

    // A powered table with factory flash (bootloader and application version word 0x0107),
    // running its application, not plugged in. The serial number must not contain '#'.
    static std::shared_ptr<SimulatedTable> create(const std::string& serialNumber);
    ~SimulatedTable() override;
    SimulatedTable(const SimulatedTable&) = delete;
    SimulatedTable& operator=(const SimulatedTable&) = delete;

    const std::string& serialNumber() const { return serial; }

    void plug();
    void unplug();

    // --- State, for tests ---
    std::vector<std::uint8_t> flashContents() const;  // all 15 x 8192 bytes
    // Writes bytes into flash as they are (no erase needed), e.g. to start from a broken image.
    void setFlashContents(std::uint32_t address, const std::vector<std::uint8_t>& bytes);
    bool inBootloader() const;
    // The version word a1 reports now: the application header's, 0 without a valid one.
    std::uint16_t firmwareVersion() const;
    // Command lines accepted (checksum good) since creation.
    std::uint64_t commandCount() const;

    // --- Fault injection ---
    // Answer faults: see Fault. Several may be armed at once; on one command, the first armed
    // fault that fires decides (each fires once unless its occurrence is 0).
    void inject(const Fault& fault);
    // The first n command lines from now are answered; the table is pulled out (power lost) as
    // the next one arrives, which gets no answer.
    void unplugAfterCommands(unsigned n);
    // Power fails while the table programs `sector`: the copies into it go through until
    // `bytesProgrammed` bytes of it have been written (the copy that crosses that mark writes
    // only up to it), then the table loses power and unplugs itself. The default stops half-way
    // through the ninth 512-byte block.
    void powerLossInSector(std::uint16_t sector, std::uint32_t bytesProgrammed = 4352);
    // The next bulk-in read that carries data ends with a packet of one byte.
    void oneByteLastPacket();
    // The next n bulk-in reads (empty ones included) carry status byte 0 with bit 0 clear.
    void clearStatusBit(unsigned reads);
    // The converter stalls its latency-timer request (9) from now on, as one without it would,
    // and keeps holding short packets for the model's latency. Survives resets and replugs;
    // clearFaults ends it.
    void refuseLatencyTimer(bool refuse = true);
    // The converter takes request 9 but keeps the model's latency; every control request
    // stalls. Both survive resets and replugs; clearFaults ends them.
    void ignoreLatencyTimer(bool ignore = true);
    void stallControlRequests(bool stall = true);
    // The converter stalls bulk-out writes that start a command line with `code` (";u9...";
    // an empty code: any command line) while the table stays plugged in: the next n such writes, or
    // every one when n < 0. Nothing of a refused write reaches the table. clearFaults ends it.
    void refuseWrites(const std::string& code, int n);
    void clearFaults();
    // Opens are refused as to a user without permission for the device (until called with false).
    void refuseAccess(bool refuse);

    // --- Timing ---
    void setTiming(const TimingModel& model);
    void enableTiming(bool enabled);
    TimingModel timing() const;
    // After a reset into the application, boot break (o0) is taken for this long. Default 1 s.
    void setBootBreakWindow(std::chrono::milliseconds window);
    // While the timing model is off, every bulk-in read answered moves `clock` on by one
    // latency period of the converter, as long as a real one holds a short packet. So the
    // host's time-outs, measured on that clock, run their full length without real waiting
    // (a silent table answers every read at once). Null: no clock is moved.
    void driveClock(std::shared_ptr<Utilities::VirtualClock> clock);

    // --- Wire transcript ---
    std::vector<WireRecord> transcript() const { return wire.records(); }
    std::string transcriptText() const { return wire.text(); }
    void clearTranscript() { wire.clear(); }

    // --- SimulatedUsbDevice ---
    std::uint16_t vendorId() const override;
    std::uint16_t productId() const override;
    std::string instanceId() const override { return serial; }
    std::vector<std::uint8_t> descriptor(std::uint8_t type, std::uint8_t index,
                                         std::uint16_t languageId) override;
    bool controlRequest(const Platform::UsbSetupPacket& setup,
                        std::vector<std::uint8_t>& data) override;
    bool hasEndpoint(std::uint8_t endpoint) const override;
    Platform::UsbError bulkOut(std::uint8_t endpoint,
                               const std::vector<std::uint8_t>& data) override;
    void bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, InReply reply) override;
    void cancelIn(std::uint8_t endpoint) override;
    Platform::UsbError openFault() const override;
    void sessionOpened() override;
    void sessionClosed() override;

private:
    explicit SimulatedTable(const std::string& serialNumber);

    struct PendingRead {
        InReply reply;
        std::uint32_t maxLength = 0;
        Clock::time_point requested;
    };
    struct PowerLoss {
        bool armed = false;
        std::uint16_t sector = 0;
        std::uint32_t bytes = 0;
        std::uint32_t written = 0;
    };

    // All private helpers run with `mutex` held.
    void powerOn(Clock::time_point now);
    void powerOff(const std::string& why, Clock::time_point now);
    void takeLine(const std::string& line, Clock::time_point arrived);
    void sendReply(const std::string& code, const TableReply& reply, const Fault* fault,
                   Clock::time_point at);
    bool programHook(std::uint32_t address, std::uint32_t& length);
    void replyThread();
    bool takeDueRead(Clock::time_point now, PendingRead& read, std::vector<std::uint8_t>& bytes);

    const std::string serial;
    mutable std::mutex mutex;
    std::condition_variable wake;
    TimingModel model;
    FlashMemory flash;
    CommandInterpreter interpreter;
    SerialConverter converter;
    FaultPlan faults;
    WireTranscript wire;
    std::deque<PendingRead> reads;
    bool powered = true;
    bool accessRefused = false;
    bool unplugPending = false;
    bool stopping = false;
    long commandsBeforeUnplug = -1;
    std::string refusedWriteCode;
    int writesToRefuse = 0;
    std::uint64_t commands = 0;
    PowerLoss powerLoss;
    std::string lineBuffer;
    Clock::time_point lineFreeAt;
    std::shared_ptr<Utilities::VirtualClock> drivenClock;
    std::thread worker;
};

}  // namespace Simulator
}  // namespace Korvane

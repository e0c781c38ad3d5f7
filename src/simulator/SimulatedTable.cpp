#include "simulator/SimulatedTable.h"

#include <algorithm>

#include "platform/usbhost/simulated/SimulatedUsbBus.h"
#include "simulator/AnswerShaper.h"
#include "simulator/InitialFirmware.h"
#include "simulator/TableDescriptors.h"
#include "utilities/OrbiZo3UsbIds.h"

namespace Korvane {
namespace Simulator {

namespace {

constexpr Platform::UsbError kSuccess = 0;
constexpr Platform::UsbError kGenFailure = 31;            // ERROR_GEN_FAILURE: a stall
constexpr Platform::UsbError kInvalidParameter = 87;      // ERROR_INVALID_PARAMETER
constexpr Platform::UsbError kDeviceNotConnected = 1167;  // ERROR_DEVICE_NOT_CONNECTED
constexpr Platform::UsbError kPrivilegeNotHeld = 1314;    // ERROR_PRIVILEGE_NOT_HELD
// A line longer than any command is noise; the table forgets it.
constexpr std::size_t kMaxLine = 1100;

// Set on a table's reply thread when a reply released the last owner of the table there, so
// that the destructor ran on that very thread: the thread leaves at once, without the table.
thread_local bool replyThreadOutlivedItsTable = false;

}  // namespace

std::shared_ptr<SimulatedTable> SimulatedTable::create(const std::string& serialNumber) {
    return std::shared_ptr<SimulatedTable>(new SimulatedTable(serialNumber));
}

SimulatedTable::SimulatedTable(const std::string& serialNumber)
    : serial(serialNumber), interpreter(flash) {
    InitialFirmware::load(flash);
    interpreter.reset(Clock::now());
    interpreter.bootloader().setProgramHook([this](std::uint32_t address, std::uint32_t& length) {
        return programHook(address, length);
    });
    worker = std::thread([this] { replyThread(); });
}

SimulatedTable::~SimulatedTable() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    // A reply's closure may hold the last owner (a connection closed meanwhile); the reply
    // thread cannot wait for itself, so it is let go and leaves when the reply returns.
    if (worker.get_id() == std::this_thread::get_id()) {
        replyThreadOutlivedItsTable = true;
        worker.detach();
    } else {
        worker.join();
    }
}

void SimulatedTable::plug() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!powered) powerOn(Clock::now());
    }
    Platform::SimulatedUsbBus::instance().plug(shared_from_this());
}

void SimulatedTable::unplug() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (powered) powerOff("unplugged", Clock::now());
    }
    Platform::SimulatedUsbBus::instance().unplug(serial);
}

void SimulatedTable::powerOn(Clock::time_point now) {
    powered = true;
    converter.reset();
    lineBuffer.clear();
    interpreter.reset(now);
    wire.add(now, WireRecord::Direction::Event,
             interpreter.mode() == CommandInterpreter::Mode::Application
                 ? "power on: application " + LineFormat::hex(interpreter.firmwareVersion(), 4)
                 : std::string("power on: bootloader"));
}

void SimulatedTable::powerOff(const std::string& why, Clock::time_point now) {
    powered = false;
    converter.reset();
    lineBuffer.clear();
    reads.clear();
    wire.add(now, WireRecord::Direction::Event, why);
}

// --- State ---

std::vector<std::uint8_t> SimulatedTable::flashContents() const {
    std::lock_guard<std::mutex> lock(mutex);
    return flash.bytes();
}

void SimulatedTable::setFlashContents(std::uint32_t address,
                                      const std::vector<std::uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex);
    flash.write(address, bytes);
}

bool SimulatedTable::inBootloader() const {
    std::lock_guard<std::mutex> lock(mutex);
    return interpreter.mode() == CommandInterpreter::Mode::Bootloader;
}

std::uint16_t SimulatedTable::firmwareVersion() const {
    std::lock_guard<std::mutex> lock(mutex);
    return interpreter.firmwareVersion();
}

std::uint64_t SimulatedTable::commandCount() const {
    std::lock_guard<std::mutex> lock(mutex);
    return commands;
}

// --- Faults and timing ---

void SimulatedTable::inject(const Fault& fault) {
    std::lock_guard<std::mutex> lock(mutex);
    faults.arm(fault);
}

void SimulatedTable::unplugAfterCommands(unsigned n) {
    std::lock_guard<std::mutex> lock(mutex);
    commandsBeforeUnplug = n;
}

void SimulatedTable::powerLossInSector(std::uint16_t sector, std::uint32_t bytesProgrammed) {
    std::lock_guard<std::mutex> lock(mutex);
    powerLoss = PowerLoss{true, sector, bytesProgrammed, 0};
}

void SimulatedTable::oneByteLastPacket() {
    std::lock_guard<std::mutex> lock(mutex);
    converter.oneByteLastPacket();
}

void SimulatedTable::clearStatusBit(unsigned reads) {
    std::lock_guard<std::mutex> lock(mutex);
    converter.clearStatusBit(reads);
}

void SimulatedTable::refuseLatencyTimer(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex);
    converter.refuseLatencyTimer(refuse);
}

void SimulatedTable::ignoreLatencyTimer(bool ignore) {
    std::lock_guard<std::mutex> lock(mutex);
    converter.ignoreLatencyTimer(ignore);
}

void SimulatedTable::stallControlRequests(bool stall) {
    std::lock_guard<std::mutex> lock(mutex);
    converter.stallControlRequests(stall);
}

void SimulatedTable::clearFaults() {
    std::lock_guard<std::mutex> lock(mutex);
    faults.clear();
    converter.clearFaults();
    commandsBeforeUnplug = -1;
    powerLoss = PowerLoss();
    writesToRefuse = 0;
}

void SimulatedTable::refuseWrites(const std::string& code, int n) {
    std::lock_guard<std::mutex> lock(mutex);
    refusedWriteCode = code;
    writesToRefuse = n;
}

void SimulatedTable::refuseAccess(bool refuse) {
    std::lock_guard<std::mutex> lock(mutex);
    accessRefused = refuse;
}

Platform::UsbError SimulatedTable::openFault() const {
    std::lock_guard<std::mutex> lock(mutex);
    return accessRefused ? kPrivilegeNotHeld : kSuccess;
}

void SimulatedTable::setTiming(const TimingModel& timing) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        model = timing;
    }
    wake.notify_all();
}

void SimulatedTable::enableTiming(bool enabled) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        model.enabled = enabled;
    }
    wake.notify_all();
}

TimingModel SimulatedTable::timing() const {
    std::lock_guard<std::mutex> lock(mutex);
    return model;
}

void SimulatedTable::driveClock(std::shared_ptr<Utilities::VirtualClock> clock) {
    std::lock_guard<std::mutex> lock(mutex);
    drivenClock = std::move(clock);
}

void SimulatedTable::setBootBreakWindow(std::chrono::milliseconds window) {
    std::lock_guard<std::mutex> lock(mutex);
    interpreter.setBootBreakWindow(window);
}

bool SimulatedTable::programHook(std::uint32_t address, std::uint32_t& length) {
    if (!powerLoss.armed || address / FlashMemory::kSectorSize != powerLoss.sector) return true;
    const std::uint32_t left = powerLoss.bytes - powerLoss.written;
    if (length <= left) {
        powerLoss.written += length;
        return true;
    }
    length = left;
    powerLoss.armed = false;
    return false;
}

// --- USB device ---

std::uint16_t SimulatedTable::vendorId() const {
    return DeviceDriver::OrbiZo::kOrbiZo3VendorId;
}

std::uint16_t SimulatedTable::productId() const {
    return DeviceDriver::OrbiZo::kOrbiZo3ProductId;
}

std::vector<std::uint8_t> SimulatedTable::descriptor(std::uint8_t type, std::uint8_t index,
                                                     std::uint16_t) {
    return TableDescriptors::get(type, index, serial);
}

bool SimulatedTable::controlRequest(const Platform::UsbSetupPacket& setup,
                                    std::vector<std::uint8_t>& data) {
    std::lock_guard<std::mutex> lock(mutex);
    data.clear();
    return powered && converter.control(setup, data, model);
}

bool SimulatedTable::hasEndpoint(std::uint8_t endpoint) const {
    return endpoint == TableDescriptors::kBulkIn || endpoint == TableDescriptors::kBulkOut;
}

void SimulatedTable::sessionOpened() {
    std::lock_guard<std::mutex> lock(mutex);
    const Clock::time_point now = Clock::now();
    if (!powered) powerOn(now);
    converter.reset();
    reads.clear();
    lineBuffer.clear();
}

void SimulatedTable::sessionClosed() {
    std::lock_guard<std::mutex> lock(mutex);
    reads.clear();
}

// --- The data path ---

Platform::UsbError SimulatedTable::bulkOut(std::uint8_t endpoint,
                                           const std::vector<std::uint8_t>& data) {
    if (endpoint != TableDescriptors::kBulkOut) return kInvalidParameter;
    std::unique_lock<std::mutex> lock(mutex);
    if (!powered) return kDeviceNotConnected;
    const Clock::time_point now = Clock::now();
    const std::string bytes(data.begin(), data.end());
    if (writesToRefuse != 0 &&
        bytes.compare(0, refusedWriteCode.size() + 1, ";" + refusedWriteCode) == 0) {
        if (writesToRefuse > 0) --writesToRefuse;
        return kGenFailure;
    }
    if (!converter.configured()) {
        wire.add(now, WireRecord::Direction::Lost, bytes);
        return kSuccess;
    }
    // Each byte arrives one byte time after the one before, on a line that may still be busy
    // with the previous write.
    const auto byteTime = converter.byteTime(model);
    const Clock::time_point start = std::max(now, lineFreeAt);
    wire.add(start, WireRecord::Direction::ToTable, bytes);
    for (std::size_t i = 0; i < bytes.size() && powered; ++i) {
        const char c = bytes[i];
        if (c == ';') {
            lineBuffer = ";";
        } else if (!lineBuffer.empty() && c == '\r') {
            const std::string line = lineBuffer;
            lineBuffer.clear();
            takeLine(line, start + byteTime * static_cast<long>(i + 1));
        } else if (!lineBuffer.empty()) {
            lineBuffer += c;
            if (lineBuffer.size() > kMaxLine) lineBuffer.clear();
        }
    }
    lineFreeAt = start + byteTime * static_cast<long>(bytes.size());
    const Clock::time_point through = lineFreeAt;
    const bool unplugNow = unplugPending;
    unplugPending = false;
    lock.unlock();
    wake.notify_all();

    if (unplugNow) {
        Platform::SimulatedUsbBus::instance().unplug(serial);
        return kDeviceNotConnected;
    }
    if (byteTime.count() > 0) std::this_thread::sleep_until(through);
    return kSuccess;
}

void SimulatedTable::takeLine(const std::string& line, Clock::time_point arrived) {
    CommandLine command;
    if (!LineFormat::parseCommand(line, command)) return;  // bad checksum: no answer
    ++commands;
    if (commandsBeforeUnplug == 0) {
        commandsBeforeUnplug = -1;
        powerOff("unplugged after the commands it was allowed", arrived);
        unplugPending = true;
        return;
    }
    if (commandsBeforeUnplug > 0) --commandsBeforeUnplug;

    Fault fault;
    const bool faulted = faults.match(command.code, fault);
    TableReply reply;
    if (faulted && fault.kind == Fault::Kind::Nak) {
        reply = TableReply::nak();
    } else if (faulted && fault.kind == Fault::Kind::Busy) {
        reply = TableReply::busy();
    } else if (faulted && fault.kind == Fault::Kind::DeviceError) {
        reply = TableReply::failed(fault.errorValue, interpreter.answerLength(command.code));
    } else {
        reply = interpreter.handle(command, arrived, model);
    }
    if (reply.powerFails) {
        powerOff("power lost while programming", arrived);
        unplugPending = true;
        return;
    }
    if (!reply.event.empty()) wire.add(arrived, WireRecord::Direction::Event, reply.event);
    sendReply(command.code, reply, faulted ? &fault : nullptr, arrived);
}

void SimulatedTable::sendReply(const std::string& code, const TableReply& reply, const Fault* fault,
                               Clock::time_point at) {
    const auto byteTime = converter.byteTime(model);
    for (const AnswerShaper::Piece& piece : AnswerShaper::shape(code, reply, fault)) {
        const Clock::time_point start = at + piece.after;
        const Clock::time_point end = converter.send(piece.bytes, start, byteTime);
        wire.add(end - byteTime * static_cast<long>(piece.bytes.size()),
                 WireRecord::Direction::FromTable, piece.bytes);
    }
}

void SimulatedTable::bulkIn(std::uint8_t endpoint, std::uint32_t maxLength, InReply reply) {
    if (endpoint != TableDescriptors::kBulkIn) {
        reply({});
        return;
    }
    std::unique_lock<std::mutex> lock(mutex);
    if (!powered) return;  // a table without power never answers; the host cancels
    const Clock::time_point now = Clock::now();
    reads.push_back(PendingRead{std::move(reply), maxLength, now});
    PendingRead due;
    std::vector<std::uint8_t> bytes;
    if (reads.size() == 1 && takeDueRead(now, due, bytes)) {
        lock.unlock();
        due.reply(std::move(bytes));
        return;
    }
    lock.unlock();
    wake.notify_all();
}

void SimulatedTable::cancelIn(std::uint8_t) {
    std::lock_guard<std::mutex> lock(mutex);
    reads.clear();
}

bool SimulatedTable::takeDueRead(Clock::time_point now, PendingRead& read,
                                 std::vector<std::uint8_t>& bytes) {
    if (reads.empty() || !powered) return false;
    if (converter.replyTime(reads.front().requested, now, model) > now) return false;
    read = std::move(reads.front());
    reads.pop_front();
    bytes = converter.takePackets(now, read.maxLength);
    // Before the reply goes out, so that the host reads the clock already moved on.
    if (drivenClock && !model.enabled) drivenClock->advance(converter.latency(model));
    return true;
}

// Answers the reads that have to wait: for the latency timer, a delayed answer or the next
// piece of one. Replies go out without the lock held, since the bus may call back into us.
void SimulatedTable::replyThread() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        if (reads.empty() || !powered) {
            wake.wait(lock);
            continue;
        }
        const Clock::time_point now = Clock::now();
        PendingRead due;
        std::vector<std::uint8_t> bytes;
        if (takeDueRead(now, due, bytes)) {
            lock.unlock();
            due.reply(std::move(bytes));
            due = PendingRead{};  // its closure, too, may own the table: released unlocked
            if (replyThreadOutlivedItsTable) return;
            lock.lock();
            continue;
        }
        wake.wait_until(lock, converter.replyTime(reads.front().requested, now, model));
    }
}

}  // namespace Simulator
}  // namespace Korvane

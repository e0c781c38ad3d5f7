#pragma once

#include <cstdint>

// Every code an OrbiZoException carries: 0x0A00Gnnn, where G names the layer
// (1 USB device access, 2 device communication, 3 firmware image and download,
// 5 configuration properties, 6 service history). Several messages may share one code.
namespace Korvane { namespace DeviceDriver { namespace OrbiZo { namespace ErrorCode {

// Group 1: USB device access
constexpr std::int32_t DeviceNotOpen = 0x0A001002;
constexpr std::int32_t DeviceInUse = 0x0A001003;  // the table is held by another program
constexpr std::int32_t DeviceAccessDenied = 0x0A001004;  // the user may not open the table
constexpr std::int32_t DeviceIoControlFailed = 0x0A001005;
constexpr std::int32_t DeviceReadFailed = 0x0A001006;

// Group 2: device communication (link, line protocol, command groups, hex text)
constexpr std::int32_t ConnectionNotEstablished = 0x0A002000;
constexpr std::int32_t ConnectionLost = 0x0A002001;  // the table went away under an open link
constexpr std::int32_t ReadTimeout = 0x0A002002;
constexpr std::int32_t LastPacketOneByte = 0x0A002003;
constexpr std::int32_t StatusEmpty = 0x0A002004;
constexpr std::int32_t OddHexDigits = 0x0A002005;
constexpr std::int32_t CommunicationError = 0x0A002006;
constexpr std::int32_t RawReadTooLong = 0x0A002007;
constexpr std::int32_t WriteFailed = 0x0A002008;  // a write refused while the table is present
constexpr std::int32_t DeviceBusy = 0x0A002010;
constexpr std::int32_t InvalidCommand = 0x0A002011;
constexpr std::int32_t UnknownAcknowledge = 0x0A002012;
constexpr std::int32_t InvalidAnswerFrame = 0x0A002013;
constexpr std::int32_t ChecksumNotValid = 0x0A002014;
constexpr std::int32_t MiscUnknownError = 0x0A002029;
constexpr std::int32_t PrepareInvalidSector = 0x0A002040;
constexpr std::int32_t PrepareFailed = 0x0A002041;
constexpr std::int32_t CopyInvalidArgument = 0x0A002042;
constexpr std::int32_t CopyFailed = 0x0A002043;
constexpr std::int32_t EraseInvalidSector = 0x0A002044;
constexpr std::int32_t EraseFailed = 0x0A002045;
constexpr std::int32_t BlankCheckInvalidSector = 0x0A002046;
constexpr std::int32_t BlankCheckFailed = 0x0A002047;
constexpr std::int32_t ChecksumInvalidAddress = 0x0A00204C;
constexpr std::int32_t ChecksumFailed = 0x0A00204D;
constexpr std::int32_t WriteRamInvalidArgument = 0x0A002050;
constexpr std::int32_t WriteRamFailed = 0x0A002051;
constexpr std::int32_t WriteFlashInvalidArgument = 0x0A002052;
constexpr std::int32_t InvalidBlock = 0x0A002053;
constexpr std::int32_t UnlockFailed = 0x0A002054;
constexpr std::int32_t InfoUnknownError = 0x0A002060;
constexpr std::int32_t BufferTooSmall = 0x0A002061;
constexpr std::int32_t BufferTooBig = 0x0A002062;
constexpr std::int32_t InvalidBufferEntries = 0x0A002064;

// Group 3: firmware image and download
constexpr std::int32_t FirmwareSectorsRefused = 0x0A003081;
constexpr std::int32_t BlankCheckFailedInSector = 0x0A003082;
constexpr std::int32_t ChecksumErrorInSector = 0x0A003083;
constexpr std::int32_t NotInStandby = 0x0A003084;
constexpr std::int32_t FirmwareFileFormat = 0x0A003085;
constexpr std::int32_t FlashImageAddress = 0x0A003086;

// Group 5: configuration properties
constexpr std::int32_t PropertyReadOnly = 0x0A005101;
constexpr std::int32_t PropertyNotFound = 0x0A005102;
constexpr std::int32_t PropertiesInternal = 0x0A005103;
constexpr std::int32_t PropertyWrongType = 0x0A005104;
constexpr std::int32_t DynamicPropertyUnset = 0x0A005105;
constexpr std::int32_t PropertyCheckFailed = 0x0A005106;

// Group 6: service history (never reach an update: the recorder turns them into warnings)
constexpr std::int32_t HistoryCannotOpen = 0x0A006001;
constexpr std::int32_t HistoryReadOnly = 0x0A006002;
constexpr std::int32_t HistoryLocked = 0x0A006003;  // busy for longer than the busy timeout
constexpr std::int32_t HistoryFull = 0x0A006004;
constexpr std::int32_t HistoryDamaged = 0x0A006005;
constexpr std::int32_t HistoryNewerSchema = 0x0A006006;
constexpr std::int32_t HistoryDriverMissing = 0x0A006007;  // Qt's SQLite driver not installed
constexpr std::int32_t HistoryFailed = 0x0A006008;         // any other database failure

}}}}  // namespace Korvane::DeviceDriver::OrbiZo::ErrorCode

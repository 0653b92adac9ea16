// The parameter protocol: "p" reads, "P" writes, the bulk read after a
// handshake, the profile write, the defaults command and the "#" reports.
#include <cstdio>

#include "exec/log.h"
#include "wheel/wheel_link.h"

namespace {

int32_t SignExtend(uint32_t raw, uint8_t bytes) {
  if (bytes == 1) return static_cast<int8_t>(raw & 0xFF);
  if (bytes == 2) return static_cast<int16_t>(raw & 0xFFFF);
  return static_cast<int32_t>(raw);
}

// The parameters of the bulk read, in the order the board is asked.
const uint8_t kBulkEntries[] = {4, 8, 17, 18, 19, 20, 21, 22, 23, 26, 27, 24, 34, 28, 29, 30, 31, 32, 33, 16};
const uint8_t kAdvancedEntries[] = {35, 79, 12, 77};
// A profile carries these; desktop effects and steering stop stay. The filter
// goes last: the page shows the profile's filter, so the board must have it.
const uint8_t kProfileEntries[] = {8, 17, 18, 19, 20, 21, 22, 23, 24, 34, 30, 31, 32, 33, 77};

}  // namespace

bool WheelLink::ReadParameter(uint8_t number, uint8_t sizeIndex, int32_t* value) {
  const uint8_t size = WireSize(sizeIndex);
  DiscardStaleInput();
  const uint8_t request[3] = {'p', number, size};
  channel->Write(request, sizeof request);
  uint32_t raw = 0;
  const bool received = ReadReply(&raw, size) != 0;
  clock->SleepMs(kReadPauseMs);
  if (received && value) *value = SignExtend(raw, size);
  return received;
}

int32_t WheelLink::ReadParameter(uint8_t number, uint8_t sizeIndex) {
  int32_t value = 0;
  ReadParameter(number, sizeIndex, &value);
  return value;
}

void WheelLink::RefreshParameter(WheelParameter& entry) {
  // A missing reply keeps the value the program had rather than inventing one.
  ReadParameter(entry.number, entry.sizeIndex, &entry.value);
  Show(entry);
}

bool WheelLink::WriteParameterRaw(uint8_t number, uint8_t count, int32_t value) {
  uint8_t command[3 + 255];
  command[0] = 'P';
  command[1] = number;
  command[2] = count;
  // Big-endian, the low-order count bytes; beyond the four bytes of the value
  // the sign is carried on.
  const int64_t wide = value;
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t shift = 8u * (count - 1u - i);
    command[3 + i] = static_cast<uint8_t>(shift < 64 ? (wide >> shift) : (wide >> 63));
  }
  const bool sent = channel->Write(command, 3u + count) == 3u + count;
  NoteLinkLost("WriteParameter");
  clock->SleepMs(kWritePauseMs);
  return sent;
}

void WheelLink::WriteParameter(WheelParameter& entry) {
  WaitNotBusy();
  if (entry.number == kNotABoardParameter) return;
  WriteParameterRaw(entry.number, WireSize(entry.sizeIndex), entry.value);
}

bool WheelLink::BulkRead(uint8_t number, uint8_t sizeIndex, int32_t* value) {
  if (BulkGivenUp()) return false;
  if (ReadParameter(number, sizeIndex, value)) {
    bulkMisses_ = 0;
    return true;
  }
  // A board that answered the handshake and then fell silent would hold the
  // window for 69 time-outs (about 7 s); a few in a row mean it is gone.
  if (++bulkMisses_ >= kBulkMissesBeforeLost) {
    LogPrintf(0, "ReadAllParameters: the wheel board on COM%d stopped answering", wheelPort);
    Disconnect();
  }
  return false;
}

void WheelLink::RefreshEntries(const uint8_t* numbers, size_t count) {
  for (size_t i = 0; i < count && !BulkGivenUp(); ++i) {
    WheelParameter& entry = *parameters.Find(numbers[i]);
    // A missing reply keeps the value the program had rather than inventing one.
    BulkRead(entry.number, entry.sizeIndex, &entry.value);
    Show(entry);
  }
}

void WheelLink::ReadBulkSettings() {
  for (int n = 36; n <= 71; ++n) {
    int32_t v = parameters.mapping[n - 36];
    if (BulkRead(static_cast<uint8_t>(n), kSizeIndex1, &v)) parameters.mapping[n - 36] = static_cast<int8_t>(v);
  }
  for (int j = 0; j < kAnalogCount; ++j) {
    int32_t v = 0;
    if (BulkRead(static_cast<uint8_t>(72 + j), kSizeIndex1, &v)) parameters.analogSettings[j] = static_cast<int8_t>(v);
    BulkRead(static_cast<uint8_t>(80 + 2 * j), kSizeIndex2, &parameters.analogCurves[j].value);
  }
  int32_t marker = 0;
  if (BulkRead(25, kSizeIndex1, &marker)) parameters.externalGainMarker = static_cast<int8_t>(marker);
}

void WheelLink::ReadAllParameters() {
  bulkMisses_ = 0;
  RefreshEntries(kBulkEntries, sizeof kBulkEntries);
  RefreshEntries(kAdvancedEntries, sizeof kAdvancedEntries);
  ReadBulkSettings();
}

void WheelLink::WriteProfileParameters() {
  if (linkState != kWheelFound && linkState != kWheelReady) return;
  if (!WaitNotBusy()) return;
  StatusHold hold(*this);
  for (uint8_t n : kProfileEntries) WriteParameter(*parameters.Find(n));
}

void WheelLink::RestoreBoardDefault() {
  WaitNotBusy();
  channel->WriteByte('D');
  NoteLinkLost("RestoreBoardDefault");
  clock->SleepMs(kDefaultsPauseMs);
  // The defaults are the board's whole table: the angle, the gains and the
  // flags change as well as the motor and pin settings, and every page that
  // shows one of them must show what the board now has.
  ReadAllParameters();
}

void WheelLink::ReadBoardReport() {
  // Reports only come while the user has raised the board's debug level; at
  // level 0 a waiting byte belongs to somebody else and is left alone.
  if (parameters[kEntryDebugLevel].value <= 0) return;
  if (channel->BytesAvailable() == 0) return;
  if (channel->ReadByte() != '#') return;
  uint32_t report = 0;
  if (!ReadReply(&report, 4)) {
    LogPrintf(0, "ReadBoardReport: incomplete report");
    return;
  }
  // Arrival order r0..r3 sits least significant first; r2 r3 is big-endian.
  const uint8_t kind = report & 0xFF;
  const uint8_t small = (report >> 8) & 0xFF;
  const int16_t wide = static_cast<int16_t>(((report >> 16) & 0xFF) << 8 | (report >> 24));
  LogPrintf(0, "%s : %d : %d", ReportKindName(kind), small, wide);
}

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

void WheelLink::ReadBulkRequest(int i) {
  constexpr int kEntries = sizeof kBulkEntries;
  constexpr int kTable = kEntries + sizeof kAdvancedEntries;
  constexpr int kSettings = kTable + kMappingByteCount;
  int32_t v = 0;
  if (i < kTable) {
    WheelParameter& entry = *parameters.Find(i < kEntries ? kBulkEntries[i] : kAdvancedEntries[i - kEntries]);
    // A missing reply keeps the value the program had rather than inventing one.
    BulkRead(entry.number, entry.sizeIndex, &entry.value);
    Show(entry);
  } else if (i < kSettings) {
    v = parameters.mapping[i - kTable];
    if (BulkRead(static_cast<uint8_t>(36 + i - kTable), kSizeIndex1, &v)) parameters.mapping[i - kTable] = static_cast<int8_t>(v);
  } else if (i < kSettings + 2 * kAnalogCount) {
    const int j = (i - kSettings) / 2;
    if ((i - kSettings) % 2 != 0) {
      BulkRead(static_cast<uint8_t>(80 + 2 * j), kSizeIndex2, &parameters.analogCurves[j].value);
    } else if (BulkRead(static_cast<uint8_t>(72 + j), kSizeIndex1, &v)) {
      parameters.analogSettings[j] = static_cast<int8_t>(v);
    }
  } else if (BulkRead(25, kSizeIndex1, &v)) {
    parameters.externalGainMarker = static_cast<int8_t>(v);
  }
}

bool WheelLink::ContinueBulkRead(int budget) {
  for (; bulkCursor_ < kBulkRequests && budget > 0 && !BulkGivenUp(); ++bulkCursor_, --budget) {
    ReadBulkRequest(bulkCursor_);
  }
  return bulkCursor_ >= kBulkRequests || BulkGivenUp();
}

void WheelLink::ReadAllParameters() {
  bulkMisses_ = 0;
  for (int i = 0; i < kBulkRequests && !BulkGivenUp(); ++i) ReadBulkRequest(i);
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

void WheelLink::ReadBoardReports() {
  // Reports only come while the debug level is raised; at level 0 a waiting
  // byte belongs to somebody else and is left alone.
  if (parameters[kEntryDebugLevel].value <= 0) {
    reportParser_.Reset();
    return;
  }
  if (!channel->IsOpen()) return;
  const uint64_t start = clock->NowUs();
  const uint64_t nowMs = start / 1000;
  uint8_t bytes[256];
  BoardReport reports[sizeof bytes / 5 + 1];
  for (;;) {
    const uint32_t waiting = channel->BytesAvailable();
    if (waiting == 0) break;
    const uint32_t got = channel->Read(bytes, waiting < sizeof bytes ? waiting : static_cast<uint32_t>(sizeof bytes));
    if (got == 0) break;
    uint32_t used = 0;
    const int count = reportParser_.Feed(bytes, got, reports, static_cast<int>(sizeof reports / sizeof reports[0]),
                                         &used);
    const uint32_t garbage = reportParser_.TakeGarbage();
    for (int i = 0; i < count; ++i) reportSummary_.Add(reports[i], nowMs);
    reportSummary_.AddGarbage(garbage, nowMs);
    if (reportSink) reportSink->TakeReports(reports, count, garbage);
    if (clock->NowUs() - start >= kReportBudgetUs) break;
  }
  // A port that failed under the query is closed by now: the board is gone.
  NoteLinkLost("ReadBoardReports");
  reportSummary_.Flush(nowMs);
}

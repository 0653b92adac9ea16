// The handshake and the reply reader of the wheel board link.
#include "wheel/wheel_link.h"

#include <cstring>

#include "exec/log.h"

const char* LinkStateText(uint8_t state) {
  static const char* const kTexts[] = {"Disconnected", "Connected", "Wheel Found", "Wheel Ready",
                                       "Wheel Error"};
  return state < 5 ? kTexts[state] : "Disconnected";
}

const char* StatusCodeText(uint8_t code) {
  static const char* const kTexts[] = {"Disconnected",      "Calibrating Dir",   "Calibrating Dir",
                                       "Calibrating left",  "Calibrating right", "Searching index",
                                       "Homing",            "Calibration error", "Ready"};
  return kTexts[code < kStatusReady ? code : kStatusReady];
}

const char* ReportKindName(uint8_t kind) {
  if (kind == 0) return "Torque";
  if (kind == 1) return "Create Effect";
  return "Error";
}

bool WheelLink::StartProbe(uint32_t port) {
  probe_.pending = false;
  if (!channel->Open(port, kWheelBaud)) return false;
  linkState = kConnected;
  channel->Purge();
  const uint32_t probeLength = sizeof kProbeText - 1;
  if (channel->Write(kProbeText, probeLength) < probeLength) return false;
  probe_.pending = true;
  probe_.port = static_cast<uint8_t>(port);
  probe_.window = Deadline::After(clock->NowUs(), kProbeWindowUs);
  probe_.length = 0;
  probe_.collecting = false;
  return true;
}

WheelLink::ProbeOutcome WheelLink::PollProbe(bool wait) {
  if (!probe_.pending) return ProbeOutcome::kFailed;
  for (;;) {
    const uint64_t now = clock->NowUs();
    if (channel->BytesAvailable() != 0) {
      const char byte = static_cast<char>(channel->ReadByte());
      if (!probe_.collecting) {
        // Anything before the first "D" is line noise from the board's start.
        if (byte == 'D') {
          probe_.reply[probe_.length++] = byte;
          probe_.collecting = true;
        }
      } else {
        probe_.reply[probe_.length++] = byte;
        if (byte == 'l') {
          probe_.reply[probe_.length] = '\0';
          if (std::strcmp(probe_.reply, kProbeReply) == 0) {
            probe_.pending = false;
            wheelPort = probe_.port;
            linkState = kWheelFound;
            return ProbeOutcome::kFound;
          }
        }
        if (probe_.length >= kProbeBufferSize - 1) break;
      }
    } else if (!channel->IsOpen()) {
      break;  // the port died under the probe
    } else if (!probe_.window.Passed(now)) {
      if (!wait) return ProbeOutcome::kPending;
      // Nothing waiting: sleep until a byte comes, at most one step.
      channel->WaitForInput(probe_.window.NextStepUs(now, kPollStepUs));
    }
    if (probe_.window.Passed(now)) break;
  }
  probe_.pending = false;
  channel->Close();
  return ProbeOutcome::kFailed;
}

int WheelLink::ProbeWheel(uint32_t port) {
  if (!StartProbe(port)) return 0;
  return PollProbe(true) == ProbeOutcome::kFound ? 1 : 0;
}

void WheelLink::ContinueProbe() {
  // One long step per tick: the read of the last tick is told now.
  if (NoticeBoardRead()) return;
  if (bulkCursor_ < 0) {
    if (!probe_.pending || PollProbe(false) != ProbeOutcome::kFound) return;
    bulkMisses_ = 0;
    bulkCursor_ = 0;
  }
  if (ContinueBulkRead(kBulkRequestsPerTick)) EndBulkRead();
}

void WheelLink::EndBulkRead() {
  bulkCursor_ = -1;
  boardReadNotice_ = linkState >= kWheelFound;
  Show(LinkText::kStatusLine, LinkStateText(linkState));
}

void WheelLink::SettleBoardRead() {
  if (bulkCursor_ >= 0) {
    ContinueBulkRead(kBulkRequests);
    EndBulkRead();
  }
  NoticeBoardRead();
}

bool WheelLink::NoticeBoardRead() {
  if (!boardReadNotice_) return false;
  boardReadNotice_ = false;
  if (linkState >= kWheelFound && onBoardRead) onBoardRead(onBoardReadContext);
  return true;
}

bool WheelLink::FinishPendingProbe() {
  SettleBoardRead();
  if (!probe_.pending) return false;
  if (PollProbe(true) == ProbeOutcome::kFound) ReadNewBoard();
  return true;
}

void WheelLink::ReadNewBoard() {
  ReadAllParameters();
  if (linkState >= kWheelFound && onBoardRead) onBoardRead(onBoardReadContext);
}

int WheelLink::ChooseWheelPort(uint8_t port) {
  WaitNotBusy();
  if (port == wheelPort) return 0;
  wheelPort = port;
  // Another port is another board, maybe with other firmware.
  firmwareVersion = 0;
  if (port == 0) {
    // "None": nothing may go on talking to the old port, and the page must
    // not keep saying "Ready".
    Disconnect();
    Show(LinkText::kFirmwareVersion, "0.0");
    return 0;
  }
  const int found = ProbeWheel(port);
  if (found) ReadNewBoard();
  Show(LinkText::kStatusLine, LinkStateText(linkState));
  return found;
}

bool WheelLink::AwaitInput(uint64_t budgetUs) {
  const Deadline deadline = Deadline::After(clock->NowUs(), budgetUs);
  for (;;) {
    if (channel->BytesAvailable() != 0) return true;
    if (!channel->IsOpen()) return false;
    const uint64_t now = clock->NowUs();
    if (deadline.Passed(now)) return false;
    channel->WaitForInput(deadline.NextStepUs(now, kPollStepUs));
  }
}

int WheelLink::ReadReply(uint32_t* destination, uint32_t count) {
  uint32_t value = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (!AwaitInput(kReplyByteUs)) {
      NoteLinkLost("ReadReply");
      return 0;
    }
    value = (value << 8) | channel->ReadByte();
  }
  // The board sends least significant first.
  if (count == 2) {
    value = ((value & 0xFF) << 8) | ((value >> 8) & 0xFF);
  } else if (count == 4) {
    value = ((value & 0xFF) << 24) | ((value & 0xFF00) << 8) | ((value >> 8) & 0xFF00) |
            (value >> 24);
  }
  if (destination) *destination = value;
  return 1;
}

void WheelLink::DiscardStaleInput() {
  // A reply that came after its time-out, or the rest of a doubled reply, would
  // otherwise be taken as the answer to the next request and shift every value
  // after it. Only what is waiting now is dropped, so a board that never stops
  // sending cannot keep us here.
  uint32_t waiting = channel->BytesAvailable();
  uint8_t sink[64];
  while (waiting > 0 && channel->IsOpen()) {
    uint32_t chunk = waiting < sizeof sink ? waiting : static_cast<uint32_t>(sizeof sink);
    uint32_t got = channel->Read(sink, chunk);
    if (got == 0) break;
    waiting -= got < waiting ? got : waiting;
  }
}

void WheelLink::Disconnect() {
  channel->Close();
  linkState = kDisconnected;
  firmwareVersion = 0;  // a board that comes back may carry new firmware
  Show(LinkText::kStatusLine, LinkStateText(linkState));
  Show(LinkText::kExternalGain, "---");
}

void WheelLink::NoteLinkLost(const char* operation) {
  // The channel closes itself when the port fails; then the board is gone and
  // the status line must not keep saying "Wheel Ready".
  if (channel->IsOpen() || linkState < kWheelFound) return;
  LogPrintf(0, "%s: lost the wheel board on COM%d", operation, wheelPort);
  linkState = kDisconnected;
  firmwareVersion = 0;  // a board that comes back may carry new firmware
}

void WheelLink::Show(LinkText which, const char* text) {
  if (view) view->ShowLinkText(which, text);
}

void WheelLink::Show(const WheelParameter& entry) {
  if (view) view->ShowParameter(entry);
}

int WheelLink::WaitNotBusy() {
  // A handshake the status refresh left waiting for its reply is settled
  // first (within its 500 ms window), so a command never talks into it.
  FinishPendingProbe();
  if (!linkBusy) return 1;
  const uint32_t start = static_cast<uint32_t>(clock->NowUs() / 1000u);
  for (;;) {
    clock->SleepMs(1);
    const uint32_t now = static_cast<uint32_t>(clock->NowUs() / 1000u);
    if (now < start || now - start > kWaitNotBusyMs) return 0;
    if (!linkBusy) return 1;
  }
}

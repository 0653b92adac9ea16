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
  return kTexts[code < 8 ? code : 8];
}

const char* ReportKindName(uint8_t kind) {
  if (kind == 0) return "Torque";
  if (kind == 1) return "Create Effect";
  return "Error";
}

int WheelLink::ProbeWheel(uint32_t port) {
  if (!channel->Open(port, kWheelBaud)) return 0;
  linkState = kConnected;
  channel->Purge();
  const uint32_t probeLength = sizeof kProbeText - 1;
  if (channel->Write(kProbeText, probeLength) < probeLength) return 0;

  const Deadline window = Deadline::After(clock->NowUs(), kProbeWindowUs);
  char reply[kProbeBufferSize];
  uint32_t length = 0;
  bool collecting = false;
  for (;;) {
    const uint64_t now = clock->NowUs();
    if (channel->BytesAvailable() != 0) {
      const char byte = static_cast<char>(channel->ReadByte());
      if (!collecting) {
        // Anything before the first "D" is line noise from the board's start.
        if (byte == 'D') {
          reply[length++] = byte;
          collecting = true;
        }
      } else {
        reply[length++] = byte;
        if (byte == 'l') {
          reply[length] = '\0';
          if (std::strcmp(reply, kProbeReply) == 0) {
            wheelPort = static_cast<uint8_t>(port);
            linkState = kWheelFound;
            return 1;
          }
        }
        if (length >= kProbeBufferSize - 1) break;
      }
    } else if (!channel->IsOpen()) {
      break;  // the port died under the probe
    } else if (!window.Passed(now)) {
      // Nothing waiting: sleep until a byte comes, at most one step.
      channel->WaitForInput(window.NextStepUs(now, kPollStepUs));
    }
    if (window.Passed(now)) break;
  }
  channel->Close();
  return 0;
}

int WheelLink::ChooseWheelPort(uint8_t port) {
  WaitNotBusy();
  if (port == wheelPort) return 0;
  wheelPort = port;
  return ProbeWheel(port);
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
  if (!linkBusy) return 1;
  const uint32_t start = static_cast<uint32_t>(clock->NowUs() / 1000u);
  for (;;) {
    clock->SleepMs(1);
    const uint32_t now = static_cast<uint32_t>(clock->NowUs() / 1000u);
    if (now < start || now - start > kWaitNotBusyMs) return 0;
    if (!linkBusy) return 1;
  }
}

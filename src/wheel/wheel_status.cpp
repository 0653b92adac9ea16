// The once-a-second status refresh and the two commands that move the parameters.
#include <cstdio>

#include "wheel/wheel_link.h"

void WheelLink::RefreshStatus() {
  if (statusHold) return;
  // A board read in the last tick has its say (its profile) before it is polled.
  NoticeBoardRead();
  linkBusy = true;
  // While the debug level is up the board sends "#" reports, which a status
  // reply would be mixed with.
  if (wheelPort != 0 && parameters[kEntryDebugLevel].value == 0) {
    RefreshBoardStatus();
  } else if (wheelPort != 0 && channel->IsOpen() && linkState >= kWheelFound) {
    // The line says why it stands still.
    Show(LinkText::kStatusLine, "Reporting: not polled");
  }
  linkBusy = false;
}

void WheelLink::RefreshBoardStatus() {
  // A read spread over ticks has the line to itself; the board is polled
  // once it has been read.
  if (bulkCursor_ >= 0) return;
  clock->SleepMs(kStatusPauseMs);
  NoteLinkLost("RefreshStatus");
  if (!channel->IsOpen() || linkState < kWheelFound) {
    // A port where nothing answers would hold the window for the whole
    // reply window every second: the probe goes out now and its reply is
    // taken tick by tick (ContinueProbe), and read once it has come.
    if (!probe_.pending) StartProbe(wheelPort);
    Show(LinkText::kExternalGain, "---");
    Show(LinkText::kStatusLine, LinkStateText(linkState));
    return;
  }
  if (frameHidden) {
    Show(LinkText::kStatusLine, LinkStateText(linkState));
    return;
  }
  DiscardStaleInput();
  channel->WriteByte('S');
  if (!AwaitInput(kReplyByteUs)) {
    // Either no answer (the state text stands) or the port just died, in
    // which case the state drops to "Disconnected" first.
    NoteLinkLost("RefreshStatus");
    if (!channel->IsOpen()) Show(LinkText::kExternalGain, "---");
    Show(LinkText::kStatusLine, LinkStateText(linkState));
    return;
  }
  const uint8_t code = channel->ReadByte();
  if (code == kStatusReady) {
    linkState = kWheelReady;
    if (parameters.externalGainMarker != -1) {
      RefreshParameter(parameters[kEntryExternalGain]);
    } else {
      Show(LinkText::kExternalGain, "---");
    }
  } else if (code == kStatusCalibrationError) {
    linkState = kWheelError;
  }
  if (firmwareVersion == 0) ReadFirmwareVersion();
  Show(LinkText::kStatusLine, StatusCodeText(code));
}

void WheelLink::ReadFirmwareVersion() {
  DiscardStaleInput();
  channel->WriteByte('V');
  uint32_t version = 0;
  // No answer: it is asked again after the next status answer.
  if (!ReadReply(&version, 4)) return;
  firmwareVersion = version;
  char text[32];
  std::snprintf(text, sizeof text, "%d.%d", static_cast<int>((version >> 8) & 0xFF),
                static_cast<int>(version & 0xFF));
  Show(LinkText::kFirmwareVersion, text);
}

void WheelLink::StartCalibration() {
  WaitNotBusy();
  channel->WriteByte('r');
  NoteLinkLost("StartCalibration");
}

void WheelLink::CentreWheel() {
  WaitNotBusy();
  if (linkState != kWheelReady) return;
  channel->WriteByte('c');
  NoteLinkLost("CentreWheel");
  clock->SleepMs(kCentrePauseMs);
  RefreshParameter(parameters[kEntryOffset]);
}

// The once-a-second status refresh and the two commands that move the parameters.
#include <cstdio>

#include "wheel/wheel_link.h"

void WheelLink::RefreshStatus() {
  if (statusHold) return;
  // A board read in the last tick has its say (its profile) before it is polled.
  NoticeBoardRead();
  linkBusy = true;
  if (wheelPort != 0 && parameters[kEntryDebugLevel].value == 0) {
    clock->SleepMs(kStatusPauseMs);
    NoteLinkLost("RefreshStatus");
    if (!channel->IsOpen() || linkState < kWheelFound) {
      // A port where nothing answers would hold the window for the whole
      // reply window every second: the probe goes out now and its reply is
      // taken tick by tick (ContinueProbe), and read once it has come.
      if (!probe_.pending) StartProbe(wheelPort);
    }
    const char* stateText = LinkStateText(linkState);
    if (!channel->IsOpen() || linkState < kWheelFound) {
      Show(LinkText::kExternalGain, "---");
      Show(LinkText::kStatusLine, stateText);
    } else if (frameHidden) {
      Show(LinkText::kStatusLine, stateText);
    } else {
      DiscardStaleInput();
      channel->WriteByte('S');
      if (!AwaitInput(kReplyByteUs)) {
        // Either no answer (the state text stands) or the port just died, in
        // which case the state drops to "Disconnected" first.
        NoteLinkLost("RefreshStatus");
        if (!channel->IsOpen()) Show(LinkText::kExternalGain, "---");
        Show(LinkText::kStatusLine, LinkStateText(linkState));
      } else {
        const uint8_t code = channel->ReadByte();
        if (code == 8) {
          linkState = kWheelReady;
          if (parameters.externalGainMarker != -1) {
            RefreshParameter(parameters[kEntryExternalGain]);
          } else {
            Show(LinkText::kExternalGain, "---");
          }
        } else if (code == 7) {
          linkState = kWheelError;
        }
        if (firmwareVersion == 0) {
          DiscardStaleInput();
          channel->WriteByte('V');
          uint32_t version = 0;
          if (ReadReply(&version, 4)) {
            firmwareVersion = version;
            char text[32];
            std::snprintf(text, sizeof text, "%d.%d", static_cast<int>((version >> 8) & 0xFF),
                          static_cast<int>(version & 0xFF));
            Show(LinkText::kFirmwareVersion, text);
          }
        }
        Show(LinkText::kStatusLine, StatusCodeText(code));
      }
    }
  } else if (wheelPort != 0 && channel->IsOpen() && linkState >= kWheelFound) {
    // The board's reports would mix with the status answers: the line says
    // why it stands still.
    Show(LinkText::kStatusLine, "Reporting: not polled");
  }
  linkBusy = false;
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

// The once-a-second status refresh and the two commands that move the wheel.
#include <cstdio>

#include "app/control_panel.h"
#include "wheel/wheel_link.h"

void ControlPanel::RefreshStatus() {
  if (statusHold) return;
  linkBusy = true;
  if (wheelPort != 0 && wheel[kEntryDebugLevel].value == 0) {
    linkClock->SleepMs(kStatusPauseMs);
    NoteLinkLost("RefreshStatus");
    if (!channel->IsOpen() || linkState < kWheelFound) {
      if (ProbeWheel(wheelPort)) ReadAllParameters();
    }
    const char* stateText = LinkStateText(linkState);
    if (!channel->IsOpen() || linkState < kWheelFound) {
      SetMainText(kIdExternalGain, "---");
      SetMainText(kIdDeviceStatus, stateText);
    } else if (frameHiddenToTray && frameHiddenToTray()) {
      SetMainText(kIdDeviceStatus, stateText);
    } else {
      DiscardStaleInput();
      channel->WriteByte('S');
      if (!AwaitInput(kReplyByteUs)) {
        // Either no answer (the state text stands) or the port just died, in
        // which case the state drops to "Disconnected" first.
        NoteLinkLost("RefreshStatus");
        if (!channel->IsOpen()) SetMainText(kIdExternalGain, "---");
        SetMainText(kIdDeviceStatus, LinkStateText(linkState));
      } else {
        const uint8_t code = channel->ReadByte();
        if (code == 8) {
          linkState = kWheelReady;
          if (wheel.externalGainMarker != -1) {
            RefreshParameter(wheel[kEntryExternalGain]);
          } else {
            SetMainText(kIdExternalGain, "---");
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
            SetMainText(kIdFirmwareVersion, text);
          }
        }
        SetMainText(kIdDeviceStatus, StatusCodeText(code));
      }
    }
  }
  linkBusy = false;
  if ((flags & kFlagAutoUpdate) && !updateStarted) {
    updateStarted = true;
    if (startAutoUpdateCheck) startAutoUpdateCheck(*this);
  }
}

void ControlPanel::StartCalibration() {
  WaitNotBusy();
  channel->WriteByte('r');
  NoteLinkLost("StartCalibration");
}

void ControlPanel::CentreWheel() {
  WaitNotBusy();
  if (linkState != kWheelReady) return;
  channel->WriteByte('c');
  NoteLinkLost("CentreWheel");
  linkClock->SleepMs(kCentrePauseMs);
  RefreshParameter(wheel[kEntryOffset]);
}

#include "wheel/com_ports.h"

#include <cstdio>

#include "ui/dialog_controls.h"
#include "wheel/serial_channel.h"

void FillComPortList(DialogControls& dialog, int controlId, uint8_t currentPort, uint8_t heldPort) {
  dialog.ResetCombo(controlId);
  int selected = dialog.AddComboItem(controlId, "None", 0);
  SerialChannel probe;
  for (uint32_t n = kFirstListedPort; n <= kLastListedPort; ++n) {
    // A port held open by another program does not open (the channel is
    // exclusive) and so is not offered.
    const bool held = n == heldPort;
    if (!held && !probe.Open(n, 115200)) continue;
    char name[16];
    std::snprintf(name, sizeof name, "COM%u", n);
    const int index = dialog.AddComboItem(controlId, name, static_cast<intptr_t>(n));
    if (n == currentPort && index >= 0) selected = index;
    if (!held) probe.Close();
  }
  dialog.SelectComboItem(controlId, selected);
}

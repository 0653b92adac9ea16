#pragma once
// A ControlPanel wired to the stand-in board on a fake channel and a stepped
// clock, its main page a recording dialog.
#include <gtest/gtest.h>

#include "app/control_panel.h"
#include "fake_dialog.h"
#include "wheel_fakes.h"

struct PanelRig {
  PanelRig() {
    panel.link.channel = &port;
    panel.link.clock = &clock;
    panel.mainPageView.page = &page;
    panel.link.statusHold = false;
  }
  // Handshake on COM7; what it wrote is forgotten.
  void Connect() {
    ASSERT_EQ(panel.link.ProbeWheel(7), 1);
    port.written.clear();
  }

  FakeClock clock;
  StandinBoard board;
  FakeChannel port{clock, board};
  FakeDialog page;
  ControlPanel panel;
};

#pragma once
// The main page and the strip set up over a started runtime in a private
// folder, with the stand-in board model on a fake channel as COM7.
#include <unistd.h>

#include "app/control_panel.h"
#include "app/options.h"
#include "app/pages.h"
#include "exec_env.h"
#include "fake_dialog.h"
#include "wheel/serial_port_paths_posix.h"
#include "wheel_fakes.h"

namespace pagerig {

class PageRig : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_TRUE(Start(0, 0, 0));
    SetSerialPortDirectory(dir_.c_str());  // no port of this machine is listed
    SetStartupOptions(StartupOptions{});
    panel.link.channel = &port;
    panel.link.clock = &clock;
    panel.link.wheelPort = 7;
  }
  void TearDown() override {
    SetSerialPortDirectory(nullptr);
    panel.profiles.FreeProfiles();
    ExecEnv::TearDown();
  }
  void SetUpPages() {
    SetUpMainPage(panel, page);
    SetUpStrip(panel, strip);
    panel.link.statusHold = false;
  }

  FakeClock clock;
  StandinBoard board;
  FakeChannel port{clock, board};
  ControlPanel panel;
  FakeDialog page;
  FakeDialog strip;
};

}  // namespace pagerig

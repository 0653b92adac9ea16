#pragma once
// A ControlPanel with profiles over a started runtime in a private working
// folder, its page a recording dialog, and its board the stand-in board model
// on a fake channel and a stepped clock.
#include <string>
#include <vector>

#include "app/control_panel.h"
#include "fake_dialog.h"
#include "profiles/game_profiles.h"
#include "script_fixture.h"
#include "wheel_fakes.h"

namespace profilestest {

class ProfilesTest : public scripttest::ScriptTest {
 protected:
  ProfilesTest() {
    panel.link.channel = &port;
    panel.link.clock = &clock;
    panel.mainPageView.page = &page;
    panel.link.statusHold = false;
  }
  void TearDown() override {
    panel.profiles.FreeProfiles();
    ScriptTest::TearDown();
  }
  // Profiles with these names (process name = name + ".exe"), list shown, item 0 selected.
  void Make(const std::vector<std::string>& names) {
    for (const std::string& name : names) panel.profiles.CreateProfile(name.c_str(), (name + ".exe").c_str());
    panel.profiles.gameProfileId = 0;
    panel.profiles.FillProfileList();
  }
  // Handshake on COM7; what it wrote is forgotten.
  void Connect() {
    ASSERT_EQ(panel.link.ProbeWheel(7), 1);
    port.written.clear();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const GameProfile* p = panel.profiles.list.First(); p; p = ProfileList::Next(p)) out.push_back(p->name);
    return out;
  }

  FakeClock clock;
  StandinBoard board;
  FakeChannel port{clock, board};
  FakeDialog page;
  ControlPanel panel;
};

}  // namespace profilestest

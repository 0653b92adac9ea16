#pragma once
// A ControlPanel with profiles over a started runtime in a private working
// folder, its page a recording dialog, and its board the stand-in board model
// on a fake channel.
#include <string>
#include <vector>

#include "profiles/game_profiles.h"
#include "script_fixture.h"
#include "panel_rig.h"

namespace profilestest {

class ProfilesTest : public scripttest::ScriptTest, public PanelRig {
 protected:
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
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const GameProfile* p = panel.profiles.list.First(); p; p = ProfileList::Next(p)) out.push_back(p->name);
    return out;
  }
};

}  // namespace profilestest

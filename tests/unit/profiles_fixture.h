#pragma once
// A ControlPanel with profiles over a started runtime in a private working
// folder, its page a recording dialog that also answers message boxes, and its
// board the stand-in board model on a fake channel.
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/control_panel.h"
#include "app/dialog_controls.h"
#include "profiles/game_profiles.h"
#include "script_fixture.h"
#include "wheel_fakes.h"

namespace profilestest {

// What a page or the profile dialog was told, and scripted answers.
class AnsweringDialog : public RecordingDialog {
 public:
  struct Message {
    std::string text;
    unsigned style;
  };
  std::map<int, bool> checks;
  std::map<int, bool> enabled;
  std::map<int, std::string> fields;  // what the user typed, read by GetItemText
  std::vector<Message> messages;
  std::deque<int> answers;  // answered in turn; kAnswerNo when none is left
  std::vector<int> ends;

  void SetCheck(int id, bool checked) override { checks[id] = checked; }
  void EnableItem(int id, bool on) override { enabled[id] = on; }
  void GetItemText(int id, char* out, int size) override {
    auto it = fields.find(id);
    std::string text = it != fields.end() ? it->second : Text(id);
    if (size <= 0) return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    text.copy(out, n);
    out[n] = 0;
  }
  int ShowMessage(const char* text, unsigned style) override {
    messages.push_back({text, style});
    if (answers.empty()) return kAnswerNo;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  void EndDialog(int result) override { ends.push_back(result); }
  std::vector<std::string> ComboTexts(int id) const {
    std::vector<std::string> out;
    auto it = combos.find(id);
    if (it != combos.end()) {
      for (const Item& item : it->second) out.push_back(item.text);
    }
    return out;
  }
  int Selected(int id) const {
    auto it = selected.find(id);
    return it == selected.end() ? -2 : it->second;
  }
};

class ProfilesTest : public scripttest::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    panel.channel = &port;
    panel.linkClock = &clock;
    panel.mainPageControls = &page;
    panel.statusHold = false;
  }
  void TearDown() override {
    panel.FreeProfiles();
    ScriptTest::TearDown();
  }
  // Handshake with the stand-in board; what it wrote is forgotten.
  void Connect() {
    ASSERT_EQ(panel.ProbeWheel(7), 1);
    port.written.clear();
  }
  // Profiles with these names (process name = name + ".exe"), list shown, item 0 selected.
  void Make(const std::vector<std::string>& names) {
    for (const std::string& name : names) panel.CreateProfile(name.c_str(), (name + ".exe").c_str());
    panel.gameProfileId = 0;
    panel.FillProfileList();
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const GameProfile* p = panel.profiles.First(); p; p = ProfileList::Next(p)) out.push_back(p->name);
    return out;
  }

  FakeClock clock;
  StandinBoard board;
  FakeChannel port{clock, board};
  AnsweringDialog page;
  ControlPanel panel;
};

}  // namespace profilestest

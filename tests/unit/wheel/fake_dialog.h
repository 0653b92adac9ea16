#pragma once
// A dialog that records what the program puts into its controls and answers
// reads from that record, so tests set a check box, a slider position or a
// field's text the way a user would and read back texts, ranges, ticks and
// message boxes (answered from a script).
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/dialog_controls.h"

class FakeDialog : public DialogControls {
 public:
  struct Item {
    std::string text;
    intptr_t data;
  };
  struct Message {
    std::string text;
    unsigned style;
  };

  // Every control exists unless listed here (a dialog without that control).
  std::set<int> missing;
  std::map<int, std::vector<std::string>> texts;  // every text each control was given
  std::map<int, std::vector<Item>> combos;
  std::map<int, int> selected;
  std::map<int, int32_t> sliders;
  std::map<int, std::pair<int32_t, int32_t>> ranges;
  std::map<int, std::vector<int32_t>> ticks;
  std::map<int, bool> checks;
  std::map<int, bool> enabled;
  int enableCalls = 0;
  int comboEdits = 0;                    // items inserted or deleted in place
  std::vector<Message> messages;
  std::deque<int> answers;               // message boxes answered in turn ...
  int answer = kAnswerOk;                // ... then every one with this
  std::function<void(const Message&)> onMessage;  // runs while the box is "open"
  std::vector<int> endResults;           // EndDialog calls
  std::map<int, std::string> tips;       // each control's help line

  FakeDialog() : tag_(++NextTag()) {}

  std::string Text(int id) const {
    auto it = texts.find(id);
    return it == texts.end() || it->second.empty() ? std::string() : it->second.back();
  }
  size_t TextCount(int id) const {
    auto it = texts.find(id);
    return it == texts.end() ? 0 : it->second.size();
  }
  int Selected(int id) const {
    auto it = selected.find(id);
    return it == selected.end() ? -1 : it->second;
  }
  std::vector<std::string> ComboTexts(int id) const {
    std::vector<std::string> out;
    auto it = combos.find(id);
    if (it != combos.end()) {
      for (const Item& item : it->second) out.push_back(item.text);
    }
    return out;
  }
  // What a user's pick in a list leaves behind: the selection only.
  void Pick(int id, int index) { selected[id] = index; }

  void SetItemText(int id, const char* text) override { texts[id].push_back(text); }
  void ResetCombo(int id) override {
    combos[id].clear();
    selected.erase(id);
  }
  int AddComboItem(int id, const char* text, intptr_t data) override {
    combos[id].push_back({text, data});
    return static_cast<int>(combos[id].size()) - 1;
  }
  void SelectComboItem(int id, int index) override {
    // Like the control: an index outside the list selects nothing.
    const int count = static_cast<int>(combos[id].size());
    selected[id] = index >= 0 && index < count ? index : -1;
  }
  void SetSliderPos(int id, int32_t position) override {
    // Like the control: the position stays within the range once one is set.
    auto r = ranges.find(id);
    if (r != ranges.end()) {
      if (position < r->second.first) position = r->second.first;
      if (position > r->second.second) position = r->second.second;
    }
    sliders[id] = position;
  }

  void* Window() override { return Handle(0); }
  void* ItemWindow(int id) override { return missing.count(id) ? nullptr : Handle(id); }
  void GetItemText(int id, char* out, int size) override {
    if (size <= 0) return;
    const std::string text = Text(id);
    const size_t n = text.size() < static_cast<size_t>(size - 1) ? text.size() : size - 1;
    text.copy(out, n);
    out[n] = 0;
  }
  void SetSliderRange(int id, int32_t minimum, int32_t maximum) override {
    ranges[id] = {minimum, maximum};
  }
  void AddSliderTick(int id, int32_t position) override { ticks[id].push_back(position); }
  int32_t GetSliderPos(int id) override {
    auto it = sliders.find(id);
    return it == sliders.end() ? 0 : it->second;
  }
  void SetCheck(int id, bool checked) override { checks[id] = checked; }
  bool IsChecked(int id) override {
    auto it = checks.find(id);
    return it != checks.end() && it->second;
  }
  void EnableItem(int id, bool on) override {
    enabled[id] = on;
    ++enableCalls;
  }
  bool IsItemEnabled(int id) override {
    auto it = enabled.find(id);
    return it == enabled.end() || it->second;
  }
  int ComboCount(int id) override { return static_cast<int>(combos[id].size()); }
  int ComboSelection(int id) override { return Selected(id); }
  intptr_t ComboItemData(int id, int index) override {
    const std::vector<Item>& items = combos[id];
    return index >= 0 && index < static_cast<int>(items.size()) ? items[index].data : -1;
  }
  int InsertComboItem(int id, int index, const char* text, intptr_t data) override {
    std::vector<Item>& items = combos[id];
    if (index < 0 || index > static_cast<int>(items.size())) return -1;
    items.insert(items.begin() + index, Item{text, data});
    ++comboEdits;
    auto sel = selected.find(id);
    if (sel != selected.end() && sel->second >= index) ++sel->second;
    return index;
  }
  void DeleteComboItem(int id, int index) override {
    std::vector<Item>& items = combos[id];
    if (index < 0 || index >= static_cast<int>(items.size())) return;
    items.erase(items.begin() + index);
    ++comboEdits;
    // Like the control: removing the selected item leaves none selected.
    auto sel = selected.find(id);
    if (sel != selected.end() && sel->second == index) sel->second = -1;
    else if (sel != selected.end() && sel->second > index) --sel->second;
  }
  int ShowMessage(const char* text, unsigned style) override {
    messages.push_back({text, style});
    if (onMessage) onMessage(messages.back());
    if (answers.empty()) return answer;
    const int next = answers.front();
    answers.pop_front();
    return next;
  }
  void EndDialog(int result) override { endResults.push_back(result); }
  void SetTooltip(int id, const char* text) override { tips[id] = text; }

  // The window a control of this dialog has: distinct per dialog and per id.
  void* Handle(int id) const {
    return reinterpret_cast<void*>((static_cast<uintptr_t>(tag_) << 20) | static_cast<uintptr_t>(id + 1));
  }

 private:
  static int& NextTag() {
    static int tag = 0;
    return tag;
  }
  int tag_;
};

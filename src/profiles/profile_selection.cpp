// Creating, choosing, applying and removing game profiles: the profile list
// against the main page's combo box and the wheel parameters.
#include <cstring>

#include "app/control_panel.h"
#include "ui/dialog_controls.h"
#include "app/page_ids.h"
#include "exec/log.h"
#include "profiles/game_profiles.h"

namespace {

// The wheel parameters a profile carries, in the order they are applied.
const WheelEntry kAppliedEntries[] = {
    kEntryMaxAngle,   kEntryMainGain,  kEntryGameSpring,  kEntryGameFriction, kEntryGameDamper,
    kEntryGameInertia, kEntryConstant, kEntrySine,        kEntryForceTable,   kEntryFlags,
    kEntryFilter,     kEntryUserSpring, kEntryUserFriction, kEntryUserDamper, kEntryUserInertia,
};

// The profile's values in the same order, widened as the fields are read.
void ProfileValues(const GameProfile& p, int32_t out[15]) {
  const int32_t values[15] = {static_cast<int32_t>(p.maxAngle & 0xFFFFu),
                              p.mainGain, p.gameSpring, p.gameFriction, p.gameDamper,
                              p.gameInertia, p.constant, p.sine, p.forceTable,
                              p.optionFlags, p.filter,
                              p.userSpring, p.userFriction, p.userDamper, p.userInertia};
  memcpy(out, values, sizeof values);
}

// Combo box 1207 emptied and filled with the names in list order, each item's
// data pointing at its profile.
void ShowProfileNames(ControlPanel& panel) {
  DialogControls* page = panel.mainPageControls;
  if (!page) return;
  page->ResetCombo(IDC_PROFILE_LIST);
  for (GameProfile* p = panel.profiles.First(); p; p = ProfileList::Next(p)) {
    page->AddComboItem(IDC_PROFILE_LIST, p->name, reinterpret_cast<intptr_t>(p));
  }
}

}  // namespace

GameProfile* ControlPanel::CreateProfile(const char* name, const char* processName) {
  char cut[kProfileTextMax + 1];
  CopyProfileText(cut, name);
  if (profiles.Find(cut)) return nullptr;
  GameProfile* p = profiles.Append(cut, processName);
  if (p && mainPageControls) {
    mainPageControls->AddComboItem(IDC_PROFILE_LIST, p->name, reinterpret_cast<intptr_t>(p));
  }
  return p;
}

void ControlPanel::StoreIntoProfile(GameProfile* profile) {
  if (!profile) return;
  GameProfile& p = *profile;
  p.maxAngle = static_cast<uint32_t>(wheel[kEntryMaxAngle].value);
  int8_t* const game[] = {&p.mainGain,    &p.gameSpring, &p.gameFriction, &p.gameDamper,
                          &p.gameInertia, &p.constant,   &p.sine,         &p.forceTable};
  const WheelEntry gameEntries[] = {kEntryMainGain,    kEntryGameSpring, kEntryGameFriction,
                                    kEntryGameDamper,  kEntryGameInertia, kEntryConstant,
                                    kEntrySine,        kEntryForceTable};
  for (int i = 0; i < 8; ++i) *game[i] = static_cast<int8_t>(wheel[gameEntries[i]].value);
  p.optionFlags = static_cast<uint8_t>(wheel[kEntryFlags].value);
  p.filter = static_cast<uint8_t>(wheel[kEntryFilter].value);
  p.userSpring = static_cast<int8_t>(wheel[kEntryUserSpring].value);
  p.userFriction = static_cast<int8_t>(wheel[kEntryUserFriction].value);
  p.userDamper = static_cast<int8_t>(wheel[kEntryUserDamper].value);
  p.userInertia = static_cast<int8_t>(wheel[kEntryUserInertia].value);
}

void ControlPanel::ApplyProfile(const GameProfile* profile) {
  if (!profile) return;
  int32_t values[15];
  ProfileValues(*profile, values);
  for (int i = 0; i < 15; ++i) {
    WheelParameter& entry = wheel[kAppliedEntries[i]];
    int32_t value = values[i];
    // A hand-edited or damaged file can hold any number; the board only gets
    // what its slider could have set (a steering angle of 0 is not a setting).
    if (entry.sliderId != 0) {
      if (value < entry.minimum) value = entry.minimum;
      if (value > entry.maximum) value = entry.maximum;
    }
    entry.value = value;
    ShowParameter(entry);
  }
  if (mainPageControls) {
    const int32_t optionFlags = wheel[kEntryFlags].value;
    mainPageControls->SetCheck(IDC_INVERT, (optionFlags & 1) != 0);
    // The profile carries the manual bit too; a box that kept the old state
    // would write it back wrongly at the next click.
    mainPageControls->SetCheck(IDC_MANUAL, (optionFlags & 2) != 0);
  }
  WriteProfileParameters();
}

void ControlPanel::FillProfileList() {
  if (profiles.Count() == 0) {
    GameProfile* first = profiles.Append(kDefaultProfileName, kDefaultProfileProcess);
    // "Default" takes the board's values when they have been read. Without a
    // board the wheel values are mere placeholders (a steering angle of 0):
    // stored, they would be written to the board the first time it is there.
    if (linkState >= kWheelFound) StoreIntoProfile(first);
  }
  ShowProfileNames(*this);
  SelectProfile(gameProfileId);
}

void ControlPanel::SelectProfile(int index) {
  const int count = static_cast<int>(profiles.Count());
  if (index > count - 1) index = count - 1;
  if (index < 0) index = count > 0 ? 0 : -1;
  gameProfileId = index;
  profileItem = index;
  if (mainPageControls) mainPageControls->SelectComboItem(IDC_PROFILE_LIST, index);
  ApplyProfile(profiles.At(index));
}

void ControlPanel::RemoveProfile(int index) {
  GameProfile* p = profiles.At(index);
  if (!p) return;
  profiles.Remove(p);
  // Rebuilt rather than one item deleted: item i must stay the i-th profile.
  ShowProfileNames(*this);
  SelectProfile(index > 0 ? index - 1 : 0);
}

GameProfile* ControlPanel::CurrentProfile() const { return profiles.At(profileItem); }

// Creating, choosing, applying and removing game profiles: the profile list
// against the main page's combo box and the wheel parameters.
#include <cstring>

#include "exec/log.h"
#include "profiles/game_profiles.h"
#include "wheel/wheel_link.h"

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


}  // namespace

GameProfile* GameProfiles::CreateProfile(const char* name, const char* processName) {
  char cut[kProfileTextMax + 1];
  CopyProfileText(cut, name);
  if (list.Find(cut)) return nullptr;
  GameProfile* p = list.Append(cut, processName);
  if (p) ++changes;
  if (p && view) view->AddProfileName(*p);
  return p;
}

void GameProfiles::StoreIntoProfile(GameProfile* profile) {
  if (!profile) return;
  if (profile == CurrentProfile()) keptThroughReset_ = false;
  GameProfile& p = *profile;
  int32_t before[15];
  ProfileValues(p, before);
  p.maxAngle = static_cast<uint32_t>(link[kEntryMaxAngle].value);
  int8_t* const game[] = {&p.mainGain,    &p.gameSpring, &p.gameFriction, &p.gameDamper,
                          &p.gameInertia, &p.constant,   &p.sine,         &p.forceTable};
  const WheelEntry gameEntries[] = {kEntryMainGain,    kEntryGameSpring, kEntryGameFriction,
                                    kEntryGameDamper,  kEntryGameInertia, kEntryConstant,
                                    kEntrySine,        kEntryForceTable};
  for (int i = 0; i < 8; ++i) *game[i] = static_cast<int8_t>(link[gameEntries[i]].value);
  p.optionFlags = static_cast<uint8_t>(link[kEntryFlags].value);
  p.filter = static_cast<uint8_t>(link[kEntryFilter].value);
  p.userSpring = static_cast<int8_t>(link[kEntryUserSpring].value);
  p.userFriction = static_cast<int8_t>(link[kEntryUserFriction].value);
  p.userDamper = static_cast<int8_t>(link[kEntryUserDamper].value);
  p.userInertia = static_cast<int8_t>(link[kEntryUserInertia].value);
  int32_t after[15];
  ProfileValues(p, after);
  // Every slider step stores; only a step that changed a value counts.
  if (memcmp(before, after, sizeof before) != 0) ++changes;
}

void GameProfiles::ApplyProfile(const GameProfile* profile) {
  if (!profile) return;
  keptThroughReset_ = false;
  int32_t values[15];
  ProfileValues(*profile, values);
  for (int i = 0; i < 15; ++i) {
    WheelParameter& entry = link[kAppliedEntries[i]];
    int32_t value = values[i];
    // A hand-edited or damaged file can hold any number; the board only gets
    // what a slider could have set (a steering angle of 0 is not a setting).
    // The option flags are bits, not a range.
    if (kAppliedEntries[i] != kEntryFlags) {
      if (value < entry.minimum) value = entry.minimum;
      if (value > entry.maximum) value = entry.maximum;
    }
    entry.value = value;
    // The flags show as "Invert" and "Manual": both follow the profile, or the
    // next click would write a stale bit back.
    if (link.view) link.view->ShowParameter(entry);
  }
  link.WriteProfileParameters();
}

void GameProfiles::FillProfileList() {
  if (list.Count() == 0) {
    GameProfile* first = list.Append(kDefaultProfileName, kDefaultProfileProcess);
    // "Default" takes the board's values when they have been read. Without a
    // board the wheel values are mere placeholders (a steering angle of 0):
    // stored, they would be written to the board the first time it is there.
    if (link.linkState >= kWheelFound) {
      StoreIntoProfile(first);
    } else if (first) {
      first->madeWithoutBoard = true;
    }
    if (first) ++changes;
  }
  if (view) view->ShowProfileNames(list);
  SelectProfile(gameProfileId);
}

void GameProfiles::SelectProfile(int index) {
  const int count = static_cast<int>(list.Count());
  if (index > count - 1) index = count - 1;
  if (index < 0) index = count > 0 ? 0 : -1;
  gameProfileId = index;
  item = index;
  if (view) view->SelectProfileItem(index);
  ApplyProfile(list.At(index));
}

void GameProfiles::RemoveProfile(int index) {
  GameProfile* p = list.At(index);
  if (!p) return;
  list.Remove(p);
  ++changes;
  // Rebuilt rather than one item deleted: item i must stay the i-th profile.
  if (view) view->ShowProfileNames(list);
  SelectProfile(index > 0 ? index - 1 : 0);
}

GameProfile* GameProfiles::CurrentProfile() const { return list.At(item); }

void GameProfiles::BoardConnected() {
  // The link holds what the board has just answered: every placeholder
  // profile takes it now, the selected or not, so none is ever applied to a
  // board later (also a profile read from the file with the mark).
  GameProfile* current = CurrentProfile();
  bool currentTookBoard = false;
  for (GameProfile* p = list.First(); p; p = ProfileList::Next(p)) {
    if (!p->madeWithoutBoard) continue;
    StoreIntoProfile(p);
    p->madeWithoutBoard = false;
    ++changes;
    if (p == current) currentTookBoard = true;
  }
  // Before the list is filled there is no selection; start-up applies it then.
  if (current && !currentTookBoard) ApplyProfile(current);
}

void GameProfiles::StoreIntoSelected() {
  if (!keptThroughReset_) StoreIntoProfile(CurrentProfile());
}

#pragma once
// Game profiles: named sets of force-feedback and steering values, each tied to
// the executable file name of one game. They live in GameProfiles.ini, show in
// the main page's profile list (combo box 1207) and are chosen by the user or by
// game detection; the ControlPanel's profile operations work on them.
#include <cstddef>
#include <cstdint>

#include "exec/list.h"
#include "profiles/game_detection.h"

// Longest name or process name kept; longer texts are cut.
constexpr size_t kProfileTextMax = 63;

// The profile that always exists, and the process name it is created with.
constexpr char kDefaultProfileName[] = "Default";
constexpr char kDefaultProfileProcess[] = "NoLife.exe";
constexpr char kProfilesFile[] = "GameProfiles.ini";
constexpr char kProfilesSection[] = "GameProfiles";

// Allocated by the profile list (AllocMem) and owned by it.
struct GameProfile {
  ExecNode node;      // node.name points at name: the list is searched by it
  uint32_t maxAngle;  // 16 bits significant
  int8_t mainGain;
  int8_t gameSpring;
  int8_t gameFriction;
  int8_t gameDamper;
  int8_t gameInertia;
  int8_t constant;
  int8_t sine;
  int8_t forceTable;
  uint8_t optionFlags;  // bit 0 invert, bit 1 manual
  uint8_t filter;
  int8_t userSpring;
  int8_t userFriction;
  int8_t userDamper;
  int8_t userInertia;
  char name[kProfileTextMax + 1];
  char processName[kProfileTextMax + 1];
  GameProfile* sameHash;  // the list's name index: next profile in the same bucket
  // "Default" made before any board answered holds the new-profile values,
  // not the user's: the first board that answers gives it its own, however
  // many starts later (GameProfiles.ini carries the mark, kMarkNoBoardValues).
  bool madeWithoutBoard;
};

// An 18th value on a PROFILE line, written only for a profile that holds no
// board's values yet; older readers take the first 17 values and leave it.
constexpr int32_t kMarkNoBoardValues = 0x1;

// The profiles in load and creation order. The combo box shows them in the same
// order, so a profile's position is its item index.
class ProfileList {
 public:
  ProfileList();
  ~ProfileList();  // frees what is left while the runtime still runs
  ProfileList(const ProfileList&) = delete;
  ProfileList& operator=(const ProfileList&) = delete;

  uint32_t Count() const { return count_; }
  GameProfile* First() const;
  static GameProfile* Next(const GameProfile* profile);
  // The profile at a position, null outside the list.
  GameProfile* At(int index) const;
  // Position of a profile of this list, -1 when it is not in it.
  int IndexOf(const GameProfile* profile) const;
  // By name, without regard to case (ASCII); null when none. A hash index
  // keeps this constant-time, so loading n profiles (each checked for a
  // duplicate name) stays linear.
  GameProfile* Find(const char* name) const;

  // A new profile with the defaults of a new profile, appended; null when
  // memory runs out. Texts longer than kProfileTextMax are cut.
  GameProfile* Append(const char* name, const char* processName);
  void Remove(GameProfile* profile);  // takes it out and frees it
  void Free();                        // removes and frees every profile

 private:
  void Index(GameProfile* profile);
  void Unindex(GameProfile* profile);
  bool GrowIndex();

  ExecListHeader list_;
  uint32_t count_ = 0;
  // Buckets of the name index (AllocMem), null until the first profile or
  // when memory for it ran out; Find then walks the list.
  GameProfile** buckets_ = nullptr;
  uint32_t bucketCount_ = 0;  // a power of two
};

// Copies text into a profile field: at most kProfileTextMax bytes, cut at a line
// break or 0x1A (which no key line can carry), always terminated.
void CopyProfileText(char* field, const char* text);

// The file's key table (one key, PROFILE, all values to the line end).
struct ScriptKey;
extern const ScriptKey kProfileKeys[];
constexpr uint16_t kProfileKey = 0;
struct ScriptDocument;
// Appends the profile's PROFILE line (name, process, flags, angle, 12 gains,
// filter, and the no-board mark when it is set); false when it did not fit.
bool AddProfileLine(ScriptDocument* document, const GameProfile& profile);

class WheelLink;
class DialogControls;

// What the profile store shows on the main page: the profile list's names, in
// list order (item i is the i-th profile), and its selection. The page
// implements it; null shows nothing.
class ProfileListView {
 public:
  virtual ~ProfileListView() = default;
  virtual void ShowProfileNames(const ProfileList& list) = 0;
  virtual void AddProfileName(const GameProfile& profile) = 0;
  virtual void SelectProfileItem(int index) = 0;
};

// The game profiles of the program: the list, the one selected in the page's
// list, GameProfiles.ini, and game detection. Applying a profile writes the
// wheel link's parameters to the board.
class GameProfiles {
 public:
  explicit GameProfiles(WheelLink& link) : link(link) {}

  WheelLink& link;
  ProfileList list;
  // The item selected in the page's list (-1 until the list is filled, and
  // while it is empty), mirrored into gameProfileId for config.ini.
  int item = -1;
  int32_t gameProfileId = 0;  // GAME_PROFILE_ID
  ProfileListView* view = nullptr;
  // Counts the changes of what GameProfiles.ini holds (profiles made, removed,
  // their values or process names), so that it is written soon after one.
  uint32_t changes = 0;
  // GameProfiles.ini was there at start but could be neither read nor copied:
  // the save leaves it as it is.
  bool leaveFileAlone = false;
  // Game detection's process snapshot; null = the running system's.
  ProcessWalker walkProcesses = nullptr;
  // Runs the modal "Game Profile" dialog over the page, for a profile or empty
  // (null); null = the platform's dialog (profile_dialog.h), tests put a
  // stand-in here.
  void (*runDialog)(GameProfiles& profiles, DialogControls& page, GameProfile* profile) = nullptr;

  void LoadProfiles();   // GameProfiles.ini, when it exists
  void SaveProfiles();   // every profile, in list order
  void FreeProfiles();
  // Null when a profile of that name exists (ASCII case-insensitive) or memory ran out.
  GameProfile* CreateProfile(const char* name, const char* processName);
  void StoreIntoProfile(GameProfile* profile);
  void ApplyProfile(const GameProfile* profile);
  void FillProfileList();
  void SelectProfile(int index);
  void RemoveProfile(int index);
  GameProfile* CurrentProfile() const;
  // A board answered a handshake and was read whole: every profile made
  // without a board takes the board's values (it is never written to a
  // board); the selected one, when it was not such a profile, is applied to
  // the board, as at start-up. Then the page, the profile and the board agree.
  void BoardConnected();
  // One pass of game detection: selects the profile of the game that runs.
  void DetectGame();

  // The board was put back to its defaults: the page shows them, but the
  // selected profile keeps its own values until the user changes a setting
  // (StoreIntoProfile) or a profile is applied again.
  void BoardReset() { keptThroughReset_ = true; }
  bool KeptThroughReset() const { return keptThroughReset_; }
  // The page's values into the selected profile (the exit's store), except
  // while the page shows defaults the user has not touched since a reset.
  void StoreIntoSelected();

 private:
  bool keptThroughReset_ = false;
};

// LoadProfiles/SaveProfiles for a document of another name (tests, tools).
// Load is true when the file was there and read; Save when it was written.
bool LoadProfilesFrom(GameProfiles& profiles, const char* name);
bool SaveProfilesTo(const GameProfiles& profiles, const char* name);

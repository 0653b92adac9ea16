#pragma once
// Profiles shared as files: the same [GameProfiles] section of PROFILE lines
// that GameProfiles.ini holds, written for one profile and read back into the
// list of another installation. Paths are UTF-8 (the file dialogs give any name).
#include <cstddef>

#include "profiles/game_profiles.h"

// A profile file is small; anything bigger is not one.
constexpr size_t kProfileFileMax = 1u << 20;

// Writes one profile, replacing the file whole; false when it could not be written.
bool ExportProfile(const GameProfile& profile, const char* utf8Path);

enum class ProfileFileRead { kRead, kUnreadable, kNotProfiles, kDamaged };
// Reads every PROFILE line of the file into list (which it empties first). A
// line with a missing value or a value no slider can set makes the whole file
// damaged: nothing of it is taken. problem names the line for the message.
ProfileFileRead ReadProfileFile(const char* utf8Path, ProfileList* list, char* problem, size_t size);

// The first of "NAME (2)", "NAME (3)", ... that no profile of list has, cut so
// that it stays within kProfileTextMax.
void FreeProfileName(const ProfileList& list, const char* name, char* out);

// Adds the imported profiles to profiles. For a name that exists already,
// replace says whether the imported one takes its place (its values and
// process name) or is kept beside it under FreeProfileName. Nothing existing
// is removed. Returns how many profiles were added or replaced; the selected
// profile, when replaced, is applied to the board.
using ReplaceQuestion = bool (*)(void* context, const char* name, const char* freeName);
int AddImportedProfiles(GameProfiles& profiles, const ProfileList& imported, ReplaceQuestion replace,
                        void* context);

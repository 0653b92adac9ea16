// No dialog system here: the "Game Profile" dialog opens and closes at once,
// as if closed with its close box (native tools and tests set their own).
#include "profiles/profile_dialog.h"

void RunProfileDialog(GameProfiles&, DialogControls&, GameProfile*) {}

bool PickProgramFile(DialogControls&, char*, int) { return false; }

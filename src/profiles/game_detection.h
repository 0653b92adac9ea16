#pragma once
// Game detection: which profile's game is running, from one snapshot of the
// running processes. Process names are executable file names without a folder
// ("game.exe"), compared as Windows compares file names: without regard to
// case (exe_name_key.h), but otherwise exactly (no path, no pattern).
struct GameProfile;
class ProfileList;

// Called once per process, in snapshot order.
using ProcessVisitor = void (*)(void* context, const char* exeName);
// Walks one snapshot of the running processes; false when no snapshot could be
// taken (then visit was not called).
using ProcessWalker = bool (*)(ProcessVisitor visit, void* context);

// The running system's processes (Toolhelp on Windows, /proc elsewhere).
bool WalkProcesses(ProcessVisitor visit, void* context);

// The profile one pass selects: among the processes that carry a profile's
// process name, the last in snapshot order; for a process name that several
// profiles share, the last of them in list order. Null when none runs (or no
// snapshot could be taken). Costs one pass over the profiles and one over the
// processes, with a hash lookup per process.
GameProfile* FindRunningGame(const ProfileList& profiles, ProcessWalker walker);

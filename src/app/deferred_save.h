#pragma once
// config.ini and GameProfiles.ini are written a short while after what they
// hold last changed, not only at exit: a crash, a power cut or a PC frozen by
// a game then loses at most the last seconds. Never on every slider step: a
// drag writes once, after it stops.
#include <cstdint>

constexpr uint64_t kSaveDelayMs = 2000;   // quiet time after the last change
constexpr uint64_t kSaveRetryMs = 30000;  // after a write that failed

// One file's schedule, fed the fingerprint of what the file would hold now.
class DeferredWrite {
 public:
  // What the file holds (as read at start): nothing to write until it differs.
  void Written(uint64_t fingerprint) { seen_ = written_ = fingerprint; }
  // True when the file is to be written now: what it would hold differs from
  // what was last written and has not changed for kSaveDelayMs.
  bool Due(uint64_t fingerprint, uint64_t now);
  // The outcome of the write Due asked for; a failed one is tried again after
  // kSaveRetryMs, or after the next change.
  void Done(bool ok, uint64_t now);

 private:
  uint64_t seen_ = 0;
  uint64_t written_ = 0;
  uint64_t changedAt_ = 0;
  uint64_t retryAt_ = 0;
};

#include "app/deferred_save.h"

bool DeferredWrite::Due(uint64_t fingerprint, uint64_t now) {
  if (fingerprint != seen_) {
    seen_ = fingerprint;
    changedAt_ = now;
    retryAt_ = 0;
    return false;
  }
  return seen_ != written_ && now - changedAt_ >= kSaveDelayMs && now >= retryAt_;
}

void DeferredWrite::Done(bool ok, uint64_t now) {
  if (ok) {
    written_ = seen_;
  } else {
    retryAt_ = now + kSaveRetryMs;
  }
}

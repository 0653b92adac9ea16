#pragma once
// The status hold for the length of an update check, a flash or a restore:
// the once-a-second refresh stands aside, and what the flag was before comes
// back on every way out.
#include "wheel/wheel_link.h"

class StatusHold {
 public:
  explicit StatusHold(WheelLink& link) : link_(link), was_(link.statusHold) { link_.statusHold = true; }
  ~StatusHold() { link_.statusHold = was_; }
  StatusHold(const StatusHold&) = delete;
  StatusHold& operator=(const StatusHold&) = delete;

 private:
  WheelLink& link_;
  bool was_;
};

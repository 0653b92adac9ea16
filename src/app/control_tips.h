#pragma once
// The help line of each control of the main page, the drive/state strip and
// the Advanced Settings dialog: what the setting does to the wheel. One
// table, so the texts read as one voice and none is forgotten.
class DialogControls;

enum class TipPage { kMainPage, kStrip, kAdvancedSettings };

struct ControlTip {
  TipPage page;
  int firstId, lastId;  // a run of controls that share the text (the button pins)
  const char* text;     // one line
};

extern const ControlTip kControlTips[];
extern const int kControlTipCount;

// Every tip of the page onto its controls.
void AddControlTips(DialogControls& dialog, TipPage page);

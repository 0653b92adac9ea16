#pragma once
// What the parts show on the main page: the wheel link's status texts and the
// values it reads, the profile list. Maps each onto the page's control ids.
#include "app/parameter_binding.h"
#include "profiles/game_profiles.h"
#include "wheel/wheel_link.h"

class MainPageView : public WheelLinkView, public ProfileListView {
 public:
  explicit MainPageView(ParameterBindings& bindings) : bindings_(bindings) {}

  DialogControls* page = nullptr;  // null until the main page exists

  void ShowLinkText(LinkText which, const char* text) override;
  // Through the entry's binding, whatever dialog it is on; the wheel flags
  // show as "Invert" and "Manual".
  void ShowParameter(const WheelParameter& entry) override;

  // Combo box 1207: each item's data points at its profile.
  void ShowProfileNames(const ProfileList& list) override;
  void AddProfileName(const GameProfile& profile) override;
  void SelectProfileItem(int index) override;

 private:
  ParameterBindings& bindings_;
};

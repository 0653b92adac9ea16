#pragma once
// What the update check and the flashing show, as message boxes owned by the
// main page (the page that starts a check): while one is open the page takes
// no other command.
#include "update/update_view.h"

class DialogControls;

class UpdatePageView : public UpdateView {
 public:
  DialogControls* page = nullptr;  // null: nothing is shown and every question is answered No
  void (*quit)() = nullptr;        // posts the quit message; set by the program
  // The file dialog for a firmware file; set by the program.
  bool (*pickFile)(void* owner, char* path, size_t size) = nullptr;

  bool Ask(const char* text) override;
  void Inform(const char* text) override;
  OfferAnswer Offer(const char* text, bool canSkip) override;
  // "Check now" reads "Checking..." and is greyed while a check runs.
  void ShowChecking(bool checking) override;
  bool OpenInBrowser(const char* url) override;
  void Quit() override;
  bool PickFirmwareFile(char* path, size_t size) override;
};

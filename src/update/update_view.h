#pragma once
// What the update check and the flashing show the user and ask of the
// program around them. The pages implement it over the main page (every box
// owned by the page, so the window takes no second command while a check or
// a flash runs); tests record it.
#include <cstddef>

// A picked file's full path, at most this long.
constexpr size_t kPickedPathMax = 260;

enum class OfferAnswer { kYes, kNo, kSkip };

class UpdateView {
 public:
  virtual ~UpdateView() = default;
  // An offer: the Yes/No question with the versions under it (UTF-8: the
  // line carries an arrow) and, when canSkip, a third button "Skip this
  // version". Escape or closing the box is No.
  virtual OfferAnswer Offer(const char* text, bool canSkip) = 0;
  // While a check runs, "Check now" says so and takes no second press.
  virtual void ShowChecking(bool checking) {}
  // Yes/No with the question icon; true for Yes.
  virtual bool Ask(const char* text) = 0;
  // OK with the information icon.
  virtual void Inform(const char* text) = 0;
  // The shell's "open" verb on the address (no parameters, no folder,
  // hidden); false when the shell refused.
  virtual bool OpenInBrowser(const char* url) = 0;
  // Posts the quit message (exit code 0): the normal exit follows.
  virtual void Quit() = 0;
  // The standard file dialog for a firmware file (*.hex); false when the
  // user picked none.
  virtual bool PickFirmwareFile(char* path, size_t size) { return false; }
};

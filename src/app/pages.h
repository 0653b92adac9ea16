#pragma once
// The configuration pages inside the frame window: the main page (dialog 157)
// and, in developer mode, the drive/state strip beneath it (dialog 183). This
// is their logic, written against DialogControls and PageWindows; the dialog
// procedures of pages_win32.cpp only translate messages into these calls.
#include <cstddef>
#include <cstdint>

class ControlPanel;
class DialogControls;
struct WheelParameter;

// Longest frame title kept, terminator included.
constexpr size_t kFrameTitleSize = 128;

// The frame window and the page dialogs inside it, as BuildPages needs them.
class PageWindows {
 public:
  virtual ~PageWindows() = default;
  // Creates a page dialog as a modeless child of the frame window running the
  // page message handler; null when it could not be made.
  virtual DialogControls* CreatePage(int dialogId) = 0;
  // Moves a page to (x, y) inside the frame, size unchanged; its size.
  virtual void PlacePage(DialogControls& page, int x, int y, int* width, int* height) = 0;
  // Resizes the frame window, position unchanged, so that its client area is
  // width x height: the frame adds its own border and caption, as wide as the
  // system draws them (about 10 x 32 pixels under Wine, more on current Windows).
  virtual void FitFrameAround(int width, int height) = 0;
  virtual void FrameTitle(char* out, size_t size) = 0;
  virtual void SetFrameTitle(const char* title) = 0;
  virtual void ShowFrame() = 0;
};

// Creates and fills the pages, sizes the frame around them, gives it the
// title "<caption> (version <major>.<minor>)" and shows it. Called once by
// ControlPanel::Start, after the frame window exists and under its status hold.
void BuildPages(ControlPanel& panel, PageWindows& windows);
// Binds the main page's sliders and labels to their parameters and shows the
// values (the first step of SetUpMainPage).
void BindMainPage(ControlPanel& panel, DialogControls& page);
// Fill a freshly created page; called by BuildPages.
void SetUpMainPage(ControlPanel& panel, DialogControls& page);
void SetUpStrip(ControlPanel& panel, DialogControls& strip);

// The entry whose slider window this is (ParameterBindings::FindBySlider).
WheelParameter* FindParameterBySlider(ControlPanel& panel, void* slider);
// A moved slider: its position becomes the value, the label follows and the
// value goes to the board (entries of parameter 255 only update the label).
void SliderChanged(ControlPanel& panel, WheelParameter& entry);

// The page message handler, shared by both pages: a scroll notification of a
// slider (each one, also while it is dragged) and a command.
void PageScroll(ControlPanel& panel, void* slider);
// Holds the status refresh while the command runs (a StatusHold).
// notification is the control's notification code (a list that opens
// refreshes its ports first); 0 when there is none.
void PageCommand(ControlPanel& panel, DialogControls& page, int id, int notification = 0);

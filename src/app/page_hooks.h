#pragma once
// What the pages ask of the subsystem that is not in the program yet: the game
// controller. Each is one named entry point so the pages keep their order of
// work; each logs once that it is not available and does nothing visible. A
// subsystem that arrives takes its entries out of here.
#include <cstdint>

class ControlPanel;
class DialogControls;

// ---- game controller
// Fills list 1042 from the gaming-device table and activates the chosen one.
void FillGamingDeviceList(ControlPanel& panel, DialogControls& page);
void GamingDeviceChosen(ControlPanel& panel, DialogControls& page);  // list 1042
void EnableInputObjectControls(ControlPanel& panel);  // the strip's "Wheel State"


#pragma once
// What the pages ask of the subsystems that are not in the program yet: port
// discovery, the game controller, the update check and the
// Advanced Settings dialog. Each is one named entry point so the pages keep
// their order of work; each logs once that it is not available and does
// nothing visible. A subsystem that arrives takes its entries out of here.
#include <cstdint>

class ControlPanel;
class DialogControls;

// ---- port discovery by USB ids: the COM port number, or 0 when none.
constexpr uint16_t kWheelVendorId = 0x2341;
constexpr uint16_t kWheelProductId = 0x8036;
constexpr uint16_t kRs485VendorId = 0x0403;
constexpr uint16_t kRs485ProductId = 0x6001;
uint8_t DiscoverComPort(uint16_t vendorId, uint16_t productId);

// ---- the board's bootloader reset ("Reset Board", developer mode)
void ResetBoardCommand(ControlPanel& panel);  // the 1200-baud reset into the bootloader

// ---- update check ("Check now": the user's, not silent)
void CheckForUpdatesCommand(ControlPanel& panel, DialogControls& page);

// ---- Advanced Settings dialog (only once the wheel has been found)
void OpenAdvancedSettings(ControlPanel& panel, DialogControls& page);

#pragma once
// The list of COM ports the user can choose the wheel board's or the drive's
// port from: only ports that can be opened now are offered.
#include <cstdint>

class DialogControls;

constexpr uint32_t kFirstListedPort = 1;
constexpr uint32_t kLastListedPort = 126;

// Empties the combo box, adds "None" (item data 0) and "COM%d" (item data n)
// for every port 1..126 that opens at 115200 baud, and selects currentPort,
// or "None" when it was not added. heldPort, when not 0, is a port this
// program holds open itself (the board's or the drive's link): it is listed
// without a try, which could only fail.
void FillComPortList(DialogControls& dialog, int controlId, uint8_t currentPort,
                     uint8_t heldPort = 0);

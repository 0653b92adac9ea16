#pragma once
// What the advanced settings and the linearity editor need of the game
// controller that the board shows to the system: which axes it has, and the
// axis values it last reported. The application implements it over its
// game-controller input; a controller that is not there has no axes and
// reports nothing.
#include <cstdint>

// The six axes, in the order of the object mask's bits and of the snapshot.
enum GameAxis : int { kAxisX, kAxisY, kAxisZ, kAxisRx, kAxisRy, kAxisRz, kGameAxisCount };

// Axis values run from 0 to this.
constexpr int32_t kAxisRange = 65535;

class GameControllerAxes {
 public:
  virtual ~GameControllerAxes() = default;
  // The active controller's object mask: bit a (0..5) set when it has axis a.
  // 0 when no controller is active.
  virtual uint32_t ObjectMask() = 0;
  // Reads the active controller once (the same read the application tick
  // makes); the axis values then are the ones it reported. Bounded like
  // every tick's read; does nothing without a controller.
  virtual void ReadInput() = 0;
  // The last value read for axis 0..5 (0 before the first read).
  virtual int32_t AxisValue(int axis) = 0;
};

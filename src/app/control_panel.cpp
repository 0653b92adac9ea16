#include "app/control_panel.h"

ControlPanel& Panel() {
  static ControlPanel panel;
  return panel;
}

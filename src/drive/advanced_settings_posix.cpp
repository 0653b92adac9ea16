// No dialog system here: the "Advanced Settings" dialog opens and closes at
// once, as if cancelled (native tools and tests set their own).
#include "drive/advanced_settings.h"

void RunAdvancedSettingsDialog(AdvancedSettings&, DialogControls&) {}

// No dialog system here: the "Linearity Editor" opens and closes at once, as
// if cancelled.
#include "drive/linearity_editor.h"

int RunLinearityEditorDialog(LinearityEditor&, DialogControls&) { return 0; }

#include "update/shell_open.h"

bool OpenWithShell(const char*) { return false; }

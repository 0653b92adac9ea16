#pragma once
// State shared by resource.cpp and resource_handlers.cpp.
#include "exec/resource.h"

// "Resource Handlers": made at the resource system start.
bool CreateResourceHandlerList();
void DestroyResourceHandlerList();  // kills every handler, then frees the list
void ClearHandlerSlots();

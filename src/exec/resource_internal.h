#pragma once
// State shared by resource.cpp and resource_handlers.cpp.
#include "exec/resource.h"

// "Resource Handlers" (null before the resource system start).
ExecList* ResourceHandlerList();
bool CreateResourceHandlerList();
void DestroyResourceHandlerList();  // kills every handler, then frees the list
void ClearHandlerSlots();

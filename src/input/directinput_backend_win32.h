#pragma once
// The product's game-controller backend: DirectInput 8 through its ANSI
// interface, and WMI (Win32_PNPEntity) for the XInput filter's id list.
#include <windows.h>

#include "input/gaming_backend.h"

// The one backend of the program, for its module instance.
GamingInputBackend& DirectInputBackend(HINSTANCE instance);

// The "DeviceID" of every Win32_PNPEntity instance, fetched in batches of 20
// with 10 s allowed per batch, until a batch fails or brings nothing. The
// last platform result.
int32_t ListPnpDeviceIdsWmi(GamingInputBackend::DeviceIdVisitor visit, void* context);

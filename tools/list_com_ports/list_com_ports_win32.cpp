// listComPorts.exe: prints one line per COM port the system's device list
// holds, the way Tillerset's port discovery reads them:
//
//   COM7 - Arduino Leonardo (COM7) - USB\VID_2341&PID_8036&MI_00
//
// the port name first, then the device's name and its hardware id (for a USB
// device "VID_xxxx" and "PID_xxxx" in hexadecimal). Only devices present now
// are listed, in the order the system gives them. Shipped in Tools\; useful
// on its own to see which port a board or an adapter got.
#include <windows.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>

namespace {

// The "Ports (COM & LPT)" device class.
const GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

bool Property(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD which, char* out, DWORD size) {
  out[0] = 0;
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(set, device, which, &type, reinterpret_cast<BYTE*>(out), size - 2,
                                         nullptr)) {
    out[0] = 0;
    return false;
  }
  out[size - 2] = 0;  // a REG_MULTI_SZ gives its first string
  return true;
}

bool PortName(HDEVINFO set, SP_DEVINFO_DATA* device, char* out, DWORD size) {
  out[0] = 0;
  HKEY key = SetupDiOpenDevRegKey(set, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return false;
  DWORD type = 0;
  DWORD length = size - 1;
  const LONG result = RegQueryValueExA(key, "PortName", nullptr, &type, reinterpret_cast<BYTE*>(out), &length);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_SZ) {
    out[0] = 0;
    return false;
  }
  out[length < size ? length : size - 1] = 0;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0 ||
                   std::strcmp(argv[1], "/?") == 0)) {
    std::printf("usage: listComPorts\nPrints \"COMn - name - hardware id\" for every COM port present.\n");
    return 0;
  }
  HDEVINFO set = SetupDiGetClassDevsA(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) return 1;
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
    char port[64];
    if (!PortName(set, &device, port, sizeof port) || std::strncmp(port, "COM", 3) != 0) continue;
    char name[256];
    if (!Property(set, &device, SPDRP_FRIENDLYNAME, name, sizeof name)) {
      Property(set, &device, SPDRP_DEVICEDESC, name, sizeof name);
    }
    char hardwareId[512];
    Property(set, &device, SPDRP_HARDWAREID, hardwareId, sizeof hardwareId);
    std::printf("%s - %s - %s\n", port, name[0] ? name : "Serial port", hardwareId);
  }
  SetupDiDestroyDeviceInfoList(set);
  return 0;
}

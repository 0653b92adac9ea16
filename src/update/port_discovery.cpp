// Port discovery: running the lister and reading its lines.
#include "update/port_discovery.h"

#include <cstdio>
#include <cstring>

#include "exec/log.h"
#include "exec/memory.h"
#include "update/update_view.h"

namespace {

// First occurrence of needle within text[from, limit); -1 when absent.
long Find(const char* text, size_t from, size_t limit, const char* needle) {
  const size_t n = std::strlen(needle);
  for (size_t i = from; i + n <= limit; ++i) {
    if (std::memcmp(text + i, needle, n) == 0) return static_cast<long>(i);
  }
  return -1;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The run of hexadecimal digits at text[at..length); a run longer than any
// 16-bit id reads as an id that matches nothing.
uint32_t HexRun(const char* text, size_t at, size_t length) {
  uint32_t value = 0;
  for (size_t i = at; i < length && HexDigit(text[i]) >= 0; ++i) {
    value = value > 0xFFFFF ? 0x100000 : (value << 4) | static_cast<uint32_t>(HexDigit(text[i]));
  }
  return value;
}

struct FindContext {
  uint16_t vendorId;
  uint16_t productId;
  uint8_t port;
};

bool FindOnLine(const char* text, size_t length, void* context) {
  FindContext* find = static_cast<FindContext*>(context);
  LogPrintf(0, "%.*s", static_cast<int>(length), text);
  find->port = PortWithIds(text, length, find->vendorId, find->productId);
  return find->port == 0;
}

bool ListOnLine(const char* text, size_t length, void* context) {
  PortList* list = static_cast<PortList*>(context);
  const uint8_t port = FirstPortOnLine(text, length);
  if (port == 0) return true;
  if (!list->Contains(port) && list->count < kMaxListedPorts) list->ports[list->count++] = port;
  if (PortWithIds(text, length, kWheelVendorId, kBootloaderProductId) != 0) list->bootloaderPort = port;
  return true;
}

}  // namespace

void ReadPortList(const char* output, size_t size, PortList* list) {
  *list = PortList{};
  ForEachListerLine(output, size, ListOnLine, list);
}

uint8_t BootloaderPortAfterReset(const PortList& before, const PortList& after) {
  if (after.bootloaderPort != 0) return after.bootloaderPort;
  uint8_t port = 0;
  for (int i = 0; i < after.count; ++i) {
    if (!before.Contains(after.ports[i])) port = after.ports[i];
  }
  return port;
}

bool PortList::Contains(uint8_t port) const {
  for (int i = 0; i < count; ++i) {
    if (ports[i] == port) return true;
  }
  return false;
}

void ForEachListerLine(const char* output, size_t size,
                       bool (*line)(const char* text, size_t length, void* context), void* context) {
  size_t at = 0;
  while (at < size) {
    size_t end = at;
    while (end < size && end - at < kPortLineChars && output[end] != '\n') ++end;
    size_t next = end;
    if (next < size && output[next] == '\n') ++next;
    size_t length = end - at;
    // Text mode: CR LF reads as a line end.
    if (next > end && length > 0 && output[end - 1] == '\r') --length;
    if (!line(output + at, length, context)) return;
    at = next;
  }
}

uint8_t PortWithIds(const char* line, size_t length, uint16_t vendorId, uint16_t productId) {
  const size_t window = length < kPortMarkerWindow ? length : kPortMarkerWindow;
  for (int n = 128; n >= 1; --n) {
    char name[8];
    std::snprintf(name, sizeof name, "COM%d", n);
    const long com = Find(line, 0, window, name);
    if (com < 0) continue;
    const size_t behind = static_cast<size_t>(com) + std::strlen(name);
    const long vid = Find(line, behind, window, "VID_");
    const long pid = Find(line, behind, window, "PID_");
    if (vid < 0 || pid < 0) continue;
    if (HexRun(line, static_cast<size_t>(vid) + 4, length) == vendorId &&
        HexRun(line, static_cast<size_t>(pid) + 4, length) == productId) {
      return static_cast<uint8_t>(n);
    }
  }
  return 0;
}

uint8_t FirstPortOnLine(const char* line, size_t length) {
  const size_t window = length < kPortMarkerWindow ? length : kPortMarkerWindow;
  const long com = Find(line, 0, window, "COM");
  if (com < 0) return 0;
  uint32_t value = 0;
  size_t digits = 0;
  for (size_t i = static_cast<size_t>(com) + 3; i < length && line[i] >= '0' && line[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint32_t>(line[i] - '0');
    if (++digits > 3) return 0;
  }
  // "COM" without a number, or a number no port has, is not a port: taken
  // as 0 it could pass for the bootloader's new port.
  return value >= 1 && value <= 255 ? static_cast<uint8_t>(value) : 0;
}

namespace {

// Runs the lister into a pool block of kPortListerOutputMax bytes; false
// (after the message) when it could not be started.
bool RunLister(ProcessRunner& processes, UpdateView* view, const PoolBlock& output, size_t* size) {
  *size = 0;
  if (!output) return false;
  ProcessOutput lines(output.get(), kPortListerOutputMax);
  const char* const args[] = {kPortListerName, nullptr};
  int exitCode = 0;
  if (!processes.RunCapture(kPortListerProgram, args, &lines, kPortListerTimeoutMs, &exitCode)) {
    if (view) view->Inform(kPortListerMissing);
    return false;
  }
  *size = lines.Size();
  return true;
}

}  // namespace

uint8_t FindComPortFromIds(ProcessRunner& processes, UpdateView* view, uint16_t vendorId,
                           uint16_t productId) {
  LogPrintf(0, "FindComPortFromIds : VID_%04x / PID_%04x", vendorId, productId);
  PoolBlock output(kPortListerOutputMax);
  size_t size = 0;
  if (!RunLister(processes, view, output, &size)) return 0;
  FindContext find{vendorId, productId, 0};
  ForEachListerLine(output.get(), size, FindOnLine, &find);
  return find.port;
}

bool ListComPorts(ProcessRunner& processes, UpdateView* view, PortList* list) {
  *list = PortList{};
  PoolBlock output(kPortListerOutputMax);
  size_t size = 0;
  if (!RunLister(processes, view, output, &size)) return false;
  ReadPortList(output.get(), size, list);
  return true;
}

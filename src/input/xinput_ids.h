#pragma once
// The XInput filter's id list: the (product id << 16) | vendor id of every
// plug-and-play device whose instance id marks it as an XInput interface
// ("IG_"). Controllers whose product GUID begins with such an id are left out
// of the gaming-device table when the filter is on.
#include <cstdint>

// The id of a device-instance id that names an XInput interface: the
// hexadecimal numbers after "VID_" and "PID_" (up to four digits each; a
// part that is missing or does not parse gives 0). False without "IG_".
bool XInputIdFromDeviceId(const char* deviceId, uint32_t* id);

// A singly linked list from the runtime's main pool, newest first, kept from
// the start of the input until its shutdown.
class XInputIdList {
 public:
  XInputIdList() = default;
  XInputIdList(const XInputIdList&) = delete;
  XInputIdList& operator=(const XInputIdList&) = delete;
  ~XInputIdList() { Free(); }

  // A node that cannot be allocated is left out (the device then passes).
  void Push(uint32_t id);
  bool Contains(uint32_t id) const;
  bool Empty() const { return head_ == nullptr; }
  int Count() const;
  void Free();

 private:
  struct Node {
    Node* next;
    uint32_t id;
  };
  Node* head_ = nullptr;
};

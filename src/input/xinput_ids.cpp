#include "input/xinput_ids.h"

#include <cstdio>
#include <cstring>

#include "exec/memory.h"

namespace {

uint32_t HexAfter(const char* text, const char* format) {
  unsigned value = 0;
  // The format repeats the prefix, so "VID_" followed by no hex digit gives 0.
  if (text == nullptr || std::sscanf(text, format, &value) != 1) return 0;
  return value & 0xFFFFu;
}

}  // namespace

bool XInputIdFromDeviceId(const char* deviceId, uint32_t* id) {
  if (deviceId == nullptr || std::strstr(deviceId, "IG_") == nullptr) return false;
  const uint32_t vendor = HexAfter(std::strstr(deviceId, "VID_"), "VID_%4X");
  const uint32_t product = HexAfter(std::strstr(deviceId, "PID_"), "PID_%4X");
  *id = (product << 16) | vendor;
  return true;
}

void XInputIdList::Push(uint32_t id) {
  Node* node = static_cast<Node*>(AllocMem(0, sizeof(Node)));
  if (node == nullptr) return;
  node->id = id;
  node->next = head_;
  head_ = node;
}

bool XInputIdList::Contains(uint32_t id) const {
  for (const Node* node = head_; node != nullptr; node = node->next) {
    if (node->id == id) return true;
  }
  return false;
}

int XInputIdList::Count() const {
  int count = 0;
  for (const Node* node = head_; node != nullptr; node = node->next) ++count;
  return count;
}

void XInputIdList::Free() {
  while (head_ != nullptr) {
    Node* next = head_->next;
    FreeMem(head_);
    head_ = next;
  }
}

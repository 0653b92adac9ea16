// The pools' search index: a 16-way max-tree over the words of the free-start
// bitmap. Each node is one 64-byte line of sixteen bounds, so a search from the
// lowest address touches one line per level (four levels for a 32 MiB pool) and
// compares a line at a time.
#include <cstring>

#include "exec/memory_internal.h"
#include "exec/os.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mem {
namespace {

constexpr uint32_t kFan = 16;

uint32_t RoundUpToFan(uint32_t count) { return (count + kFan - 1) / kFan * kFan; }

// Bit i set when bounds[i] >= size (size >= 1), for the sixteen bounds of a node.
uint32_t AtLeastMask(const uint32_t* bounds, uint32_t size) {
#if defined(__SSE2__)
  // SSE2 compares signed: flip the top bit of both sides.
  const __m128i bias = _mm_set1_epi32(static_cast<int>(0x80000000u));
  const __m128i limit = _mm_set1_epi32(static_cast<int>((size - 1) ^ 0x80000000u));
  uint32_t mask = 0;
  for (int part = 0; part < 4; ++part) {
    __m128i values = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bounds + 4 * part));
    __m128i above = _mm_cmpgt_epi32(_mm_xor_si128(values, bias), limit);
    mask |= static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(above))) << (4 * part);
  }
  return mask;
#else
  uint32_t mask = 0;
  for (uint32_t i = 0; i < kFan; ++i) mask |= static_cast<uint32_t>(bounds[i] >= size) << i;
  return mask;
#endif
}

uint32_t MaxOfNode(const uint32_t* bounds) {
  uint32_t best = 0;
  for (uint32_t i = 0; i < kFan; ++i) best = bounds[i] > best ? bounds[i] : best;
  return best;
}

}  // namespace

bool MakeIndex(PoolIndex& index, uint32_t words) {
  index = PoolIndex{};
  index.words = words;
  uint32_t sizes[kIndexLevels];
  uint32_t levels = 0;
  uint32_t count = words;
  for (;;) {
    sizes[levels++] = RoundUpToFan(count);
    if (count <= kFan || levels == kIndexLevels) break;
    count = (count + kFan - 1) / kFan;
  }
  size_t bytes = static_cast<size_t>(words) * sizeof(uint64_t);
  for (uint32_t k = 0; k < levels; ++k) bytes += static_cast<size_t>(sizes[k]) * sizeof(uint32_t);
  index.memory = os::HostAlloc(bytes + 64);
  if (index.memory == nullptr) return false;
  std::memset(index.memory, 0, bytes + 64);
  // Nodes on 64-byte lines.
  auto at = (reinterpret_cast<uintptr_t>(index.memory) + 63) & ~uintptr_t{63};
  for (uint32_t k = 0; k < levels; ++k) {
    index.level[k] = reinterpret_cast<uint32_t*>(at);
    index.levelSize[k] = sizes[k];
    at += static_cast<size_t>(sizes[k]) * sizeof(uint32_t);
  }
  index.bitmap = reinterpret_cast<uint64_t*>(at);
  index.levels = levels;
  return true;
}

void FreeIndex(PoolIndex& index) {
  os::HostFree(index.memory);
  index = PoolIndex{};
}

void SetBound(PoolIndex& index, uint32_t word, uint32_t value) {
  uint32_t at = word;
  uint32_t old = index.level[0][at];
  if (old == value) return;
  index.level[0][at] = value;
  for (uint32_t k = 1; k < index.levels; ++k) {
    const uint32_t parent = at / kFan;
    const uint32_t current = index.level[k][parent];
    uint32_t best;
    if (value >= current) {
      best = value;
    } else if (old < current) {
      return;  // the parent's bound comes from another child
    } else {
      best = MaxOfNode(index.level[k - 1] + parent * kFan);
    }
    if (best == current) return;
    index.level[k][parent] = best;
    old = current;
    value = best;
    at = parent;
  }
}

void RaiseBound(PoolIndex& index, uint32_t word, uint32_t value) {
  uint32_t at = word;
  for (uint32_t k = 0; k < index.levels && index.level[k][at] < value; ++k, at /= kFan) {
    index.level[k][at] = value;
  }
}

int64_t FirstWordWith(const PoolIndex& index, uint32_t from, uint32_t size) {
  if (from >= index.words) return -1;
  uint32_t at = from;
  uint32_t k = 0;
  // Up: the rest of this node, else the nodes after it one level higher.
  for (;;) {
    const uint32_t node = at & ~(kFan - 1);
    const uint32_t mask = AtLeastMask(index.level[k] + node, size) & (~0u << (at & (kFan - 1)));
    if (mask != 0) {
      at = node + static_cast<uint32_t>(__builtin_ctz(mask));
      break;
    }
    if (k + 1 == index.levels) return -1;
    at = node / kFan + 1;
    ++k;
    if (at >= index.levelSize[k]) return -1;
  }
  // Down: the first child that is large enough, level by level.
  while (k > 0) {
    --k;
    at *= kFan;
    at += static_cast<uint32_t>(__builtin_ctz(AtLeastMask(index.level[k] + at, size)));
  }
  return at;
}

}  // namespace mem

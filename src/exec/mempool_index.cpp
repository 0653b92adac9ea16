// The pools' search index: making it, setting maxima, and the searches. The
// per-block updates are inline in the header.
#include "exec/mempool_index.h"

#include <cstring>

#include "exec/os.h"

namespace mem {
namespace {

uint32_t WholeNodes(uint32_t count) { return (count + kFan - 1) / kFan * kFan; }

#if defined(__SSE2__)
using Limit = __m128i;
Limit MakeLimit(uint8_t cls) { return _mm_set1_epi8(static_cast<char>(cls)); }
// Bit i set when chunk[i] >= cls, for 16 entries.
uint32_t ChunkMask(const uint8_t* chunk, Limit limit) {
  return static_cast<uint32_t>(_mm_movemask_epi8(AtLeast16(chunk, limit)));
}

// 0xFF at kFan, zero elsewhere: read from kFan - lane it marks one lane of a node.
alignas(64) const uint8_t kOneHot[2 * kFan] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0xFF};
#else
using Limit = uint8_t;
Limit MakeLimit(uint8_t cls) { return cls; }
uint32_t ChunkMask(const uint8_t* chunk, Limit cls) {
  uint32_t mask = 0;
  for (uint32_t i = 0; i < 16; ++i) mask |= static_cast<uint32_t>(chunk[i] >= cls) << i;
  return mask;
}
#endif

}  // namespace

uint8_t NodeMaxWith(const uint8_t* node, uint32_t lane, uint8_t value) {
#if defined(__SSE2__)
  const uint8_t* hot = kOneHot + kFan - lane;
  auto without = [&](int part) {
    return _mm_andnot_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(hot + 16 * part)),
                            Load16(node + 16 * part));
  };
  __m128i m = _mm_max_epu8(_mm_max_epu8(without(0), without(1)), _mm_max_epu8(without(2), without(3)));
  m = _mm_max_epu8(m, _mm_set1_epi8(static_cast<char>(value)));
  m = _mm_max_epu8(m, _mm_srli_si128(m, 8));
  m = _mm_max_epu8(m, _mm_srli_si128(m, 4));
  m = _mm_max_epu8(m, _mm_srli_si128(m, 2));
  m = _mm_max_epu8(m, _mm_srli_si128(m, 1));
  return static_cast<uint8_t>(_mm_cvtsi128_si32(m));
#else
  uint8_t best = value;
  for (uint32_t i = 0; i < kFan; ++i) {
    if (i != lane && node[i] > best) best = node[i];
  }
  return best;
#endif
}

namespace {

// Down from entry `at` of level k (known to be at least cls) to the first such
// entry of level target below it.
uint32_t Descend(const PoolIndex& index, uint32_t k, uint32_t at, uint32_t target, Limit limit) {
  while (k > target) {
    --k;
    at *= kFan;
    uint32_t mask;
    while ((mask = ChunkMask(index.level[k] + at, limit)) == 0) at += 16;
    at += static_cast<uint32_t>(__builtin_ctz(mask));
  }
  return at;
}

}  // namespace

bool MakeIndex(PoolIndex& index, uint32_t steps) {
  index = PoolIndex{};
  index.steps = steps;
  uint32_t sizes[kIndexLevels];
  uint32_t levels = 0;
  uint32_t count = steps;
  // Up to a single node, with at least one level above the steps.
  for (;;) {
    sizes[levels++] = WholeNodes(count);
    if ((count <= kFan && levels >= 2) || levels == kIndexLevels) break;
    count = (count + kFan - 1) / kFan;
  }
  const size_t bitmapBytes = sizes[0] / 8;
  const size_t summaryBytes = (sizes[1] / kFan + 1) * sizeof(uint64_t);
  size_t bytes = bitmapBytes + summaryBytes;
  for (uint32_t k = 0; k < levels; ++k) bytes += sizes[k];
  index.memory = os::HostAlloc(bytes + kFan);
  if (index.memory == nullptr) return false;
  std::memset(index.memory, 0, bytes + kFan);
  // Nodes on cache lines.
  auto at = (reinterpret_cast<uintptr_t>(index.memory) + kFan - 1) & ~uintptr_t{kFan - 1};
  for (uint32_t k = 0; k < levels; ++k) {
    index.level[k] = reinterpret_cast<uint8_t*>(at);
    index.levelSize[k] = sizes[k];
    at += sizes[k];
  }
  index.bitmap = reinterpret_cast<uint64_t*>(at);
  index.summary = reinterpret_cast<uint64_t*>(at + bitmapBytes);
  index.levels = levels;
  return true;
}

void FreeIndex(PoolIndex& index) {
  os::HostFree(index.memory);
  index = PoolIndex{};
}

void SetEntry(PoolIndex& index, uint32_t k, uint32_t at, uint8_t value) {
  for (; k < index.levels; ++k) {
    uint8_t* node = index.level[k] + (at & ~(kFan - 1));
    const uint32_t lane = at & (kFan - 1);
    const uint8_t old = node[lane];
    if (value == old) return;
    if (k + 1 == index.levels) {
      node[lane] = value;
      return;
    }
    const uint32_t parent = at / kFan;
    const uint8_t current = index.level[k + 1][parent];
    if (value > old) {
      node[lane] = value;
      if (value <= current) return;
    } else if (old != current) {  // the parent's maximum comes from another child
      node[lane] = value;
      return;
    } else {
      const uint8_t best = NodeMaxWith(node, lane, value);
      node[lane] = value;
      if (best == current) return;
      value = best;
    }
    at = parent;
  }
}

int64_t FindAtLeast(const PoolIndex& index, uint32_t k, uint32_t from, uint8_t cls) {
  const Limit limit = MakeLimit(cls);
  const uint32_t target = k;
  uint32_t at = from;
  // Up: the rest of this node, a chunk of 16 at a time, else the nodes after it
  // one level higher.
  for (;;) {
    if (at >= index.levelSize[k]) return -1;
    const uint8_t* entries = index.level[k];
    uint32_t chunk = at & ~15u;
    uint32_t mask = ChunkMask(entries + chunk, limit) & (~0u << (at & 15));
    const uint32_t nodeEnd = (at | (kFan - 1)) + 1;
    while (mask == 0 && (chunk += 16) < nodeEnd) mask = ChunkMask(entries + chunk, limit);
    if (mask != 0) return Descend(index, k, chunk + static_cast<uint32_t>(__builtin_ctz(mask)), target, limit);
    if (k + 1 == index.levels) return -1;
    at = at / kFan + 1;
    ++k;
  }
}

int64_t FindLastAtLeast(const PoolIndex& index, uint32_t k, uint32_t before, uint8_t cls) {
  const uint32_t target = k;
  uint32_t end = before;  // entries [node start, end) of this level are left to look at
  for (;;) {
    if (end != 0) {
      const uint32_t node = (end - 1) & ~(kFan - 1);
      const uint32_t count = end - node;  // 1..kFan
      uint64_t mask = AtLeastMask(index.level[k] + node, cls);
      if (count < kFan) mask &= (uint64_t{1} << count) - 1;
      if (mask != 0) {
        uint32_t at = node + 63 - static_cast<uint32_t>(__builtin_clzll(mask));
        // Down: the last child that is large enough, level by level.
        while (k > target) {
          --k;
          at = at * kFan + 63 - static_cast<uint32_t>(__builtin_clzll(AtLeastMask(index.level[k] + at * kFan, cls)));
        }
        return at;
      }
      end = node;
    }
    if (end == 0 || k + 1 == index.levels) return -1;
    end /= kFan;  // the nodes before this one, one level higher
    ++k;
  }
}

}  // namespace mem

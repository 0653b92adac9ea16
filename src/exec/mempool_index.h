#pragma once
// The pools' search index, host memory beside each pool (the pool's own
// accounting does not see it). Per 16-byte step of the block grid: one bit "a
// free block starts here" and one class byte saying roughly how large it is.
// Above the class bytes, levels of 64-entry nodes (one cache line each) hold the
// largest class of the 64 entries below them, always exact. First fit is then a
// descent over a few lines instead of a walk of the free list, and a release
// finds its place in the list from the bits. For a 32 MiB pool it takes about
// 2.3 MiB from the host.
//
// The hot paths compare whole nodes at once and pick with masks: which block
// comes first depends on random sizes, and a mispredicted branch per level would
// cost more than the comparisons.
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mem {

// Size classes: exact sixteenths below 2 KiB (a block's size is a multiple of
// 16), then four classes per power of two. A larger size never has a smaller
// class, so a search for "class at least c" never misses a block; above 2 KiB a
// block of the searched class may still be the smaller one, and its size word
// decides. 0 means "no free block".
constexpr uint32_t kExactClasses = 128;
constexpr uint8_t kNoClass = 255;  // beyond every real class (the largest is 211)
inline uint8_t SizeClass(uint64_t size) {
  const uint64_t units = size >> 4;
  if (units < kExactClasses) return static_cast<uint8_t>(units);
  if (units > 0x0FFFFFFF) return kNoClass;  // no 32-bit size reaches it
  const int top = 31 - __builtin_clz(static_cast<uint32_t>(units));  // 7..27
  return static_cast<uint8_t>(kExactClasses + (top - 7) * 4 + ((units >> (top - 2)) & 3));
}

constexpr uint32_t kFan = 64;         // entries per node; also bits per bitmap word
constexpr uint32_t kIndexLevels = 6;  // 2^28 grid steps need five
struct PoolIndex {
  void* memory;
  uint64_t* bitmap;   // bit per grid step: a free block starts here
  uint64_t* summary;  // bit per bitmap word: it is not empty
  // level[0]: the class of the free block starting at each grid step (0: none);
  // level[k]: the largest of each kFan entries of level[k - 1], so level[1] has
  // one entry per bitmap word. Every level is a whole number of nodes (on cache
  // lines); the top one is a single node.
  uint8_t* level[kIndexLevels];
  uint32_t levelSize[kIndexLevels];
  uint32_t levels;  // at least 2
  uint32_t steps;   // grid steps covered
};
bool MakeIndex(PoolIndex& index, uint32_t steps);
void FreeIndex(PoolIndex& index);

// ---- whole-node comparisons

#if defined(__SSE2__)
inline __m128i Load16(const uint8_t* at) { return _mm_load_si128(reinterpret_cast<const __m128i*>(at)); }
inline uint64_t Mask64(__m128i a, __m128i b, __m128i c, __m128i d) {
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(a))) |
         static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(b))) << 16 |
         static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(c))) << 32 |
         static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(d))) << 48;
}
// Unsigned bytes: value >= limit exactly when max(value, limit) == value.
inline __m128i AtLeast16(const uint8_t* at, __m128i limit) {
  const __m128i values = Load16(at);
  return _mm_cmpeq_epi8(_mm_max_epu8(values, limit), values);
}
inline __m128i EqualOrAtLeast16(const uint8_t* at, __m128i value, __m128i limit) {
  const __m128i values = Load16(at);
  return _mm_or_si128(_mm_cmpeq_epi8(values, value), _mm_cmpeq_epi8(_mm_max_epu8(values, limit), values));
}
#endif

// Bit i set when node[i] >= cls.
inline uint64_t AtLeastMask(const uint8_t* node, uint8_t cls) {
#if defined(__SSE2__)
  const __m128i limit = _mm_set1_epi8(static_cast<char>(cls));
  return Mask64(AtLeast16(node, limit), AtLeast16(node + 16, limit), AtLeast16(node + 32, limit),
                AtLeast16(node + 48, limit));
#else
  uint64_t mask = 0;
  for (uint32_t i = 0; i < kFan; ++i) mask |= static_cast<uint64_t>(node[i] >= cls) << i;
  return mask;
#endif
}

// Bit i set when node[i] == exact or node[i] >= atLeast.
inline uint64_t EqualOrAtLeastMask(const uint8_t* node, uint8_t exact, uint8_t atLeast) {
#if defined(__SSE2__)
  const __m128i value = _mm_set1_epi8(static_cast<char>(exact));
  const __m128i limit = _mm_set1_epi8(static_cast<char>(atLeast));
  return Mask64(EqualOrAtLeast16(node, value, limit), EqualOrAtLeast16(node + 16, value, limit),
                EqualOrAtLeast16(node + 32, value, limit), EqualOrAtLeast16(node + 48, value, limit));
#else
  uint64_t mask = 0;
  for (uint32_t i = 0; i < kFan; ++i) {
    mask |= static_cast<uint64_t>(node[i] == exact || node[i] >= atLeast) << i;
  }
  return mask;
#endif
}

// The largest entry of a node once entry `lane` holds `value`. Read before that
// entry is stored: a wide load right after a one-byte store to the same line
// waits for the store to drain.
uint8_t NodeMaxWith(const uint8_t* node, uint32_t lane, uint8_t value);

// ---- updates

// Sets entry `at` of level k (k >= 1) and the maxima above it.
void SetEntry(PoolIndex& index, uint32_t k, uint32_t at, uint8_t value);

// A free block starts at `step` with class cls, or the one there grew to it.
// (Index fields are read into locals first: every byte store may alias them.)
inline void MarkFree(PoolIndex& index, uint32_t step, uint8_t cls) {
  uint8_t* const classes = index.level[0];
  uint8_t* const words = index.level[1];
  const uint32_t word = step / kFan;
  index.bitmap[word] |= uint64_t{1} << (step % kFan);
  index.summary[word / kFan] |= uint64_t{1} << (word % kFan);
  classes[step] = cls;  // never lower than before: a new block, or one that grew
  if (words[word] >= cls) return;
  words[word] = cls;
  const uint32_t levels = index.levels;
  uint32_t at = word / kFan;
  for (uint32_t k = 2; k < levels; ++k, at /= kFan) {
    uint8_t* const entries = index.level[k];
    if (entries[at] >= cls) return;
    entries[at] = cls;
  }
}

// The free block at `step` is gone (taken, or joined to the one before it).
inline void ClearFree(PoolIndex& index, uint32_t step) {
  uint8_t* const classes = index.level[0];
  uint8_t* const words = index.level[1];
  const uint32_t word = step / kFan;
  const uint64_t bits = index.bitmap[word] & ~(uint64_t{1} << (step % kFan));
  index.bitmap[word] = bits;
  index.summary[word / kFan] &= ~(static_cast<uint64_t>(bits == 0) << (word % kFan));
  const uint8_t old = classes[step];
  const uint8_t wordLargest = words[word];
  uint8_t largest = 0;
  if (bits != 0) {
    if (old < wordLargest) {  // another block of the word is larger: nothing above changes
      classes[step] = 0;
      return;
    }
    largest = NodeMaxWith(classes + word * kFan, step % kFan, 0);
  }
  classes[step] = 0;
  if (largest != wordLargest) SetEntry(index, 1, word, largest);
}

// ---- searches

// The first entry of level k at or after `from` that is at least cls (>= 1),
// or -1. The maxima are exact, so the entry found really has such a step below.
int64_t FindAtLeast(const PoolIndex& index, uint32_t k, uint32_t from, uint8_t cls);

// The last entry of level k before `before` that is at least cls (>= 1), or -1.
int64_t FindLastAtLeast(const PoolIndex& index, uint32_t k, uint32_t before, uint8_t cls);

// The same from the start: a descent from the top node. Near the top only the
// lowest entries are in use (a pool fills from its start), so the first 16 of a
// node are looked at alone first.
inline int64_t FirstAtLeast(const PoolIndex& index, uint32_t k, uint8_t cls) {
  uint32_t level = index.levels - 1;
  uint64_t mask = AtLeastMask(index.level[level], cls);
  if (mask == 0) return -1;
  uint32_t at = static_cast<uint32_t>(__builtin_ctzll(mask));
#if defined(__SSE2__)
  const __m128i limit = _mm_set1_epi8(static_cast<char>(cls));
#endif
  while (level > k) {
    --level;
    const uint8_t* node = index.level[level] + at * kFan;
#if defined(__SSE2__)
    if (level > k) {
      const uint32_t first = static_cast<uint32_t>(_mm_movemask_epi8(AtLeast16(node, limit)));
      if (first != 0) {
        at = at * kFan + static_cast<uint32_t>(__builtin_ctz(first));
        continue;
      }
    }
#endif
    at = at * kFan + static_cast<uint32_t>(__builtin_ctzll(AtLeastMask(node, cls)));
  }
  return at;
}

// All ones when true, for choosing between two values without a branch.
inline uint64_t Select(bool condition) { return uint64_t{0} - static_cast<uint64_t>(condition); }

// The first step at or after `step` where a free block starts, or -1.
inline int64_t NextFreeStep(const PoolIndex& index, uint32_t step) {
  const uint32_t word = step / kFan;
  const uint64_t here = index.bitmap[word] & (~uint64_t{0} << (step % kFan));
  // The next word holding a free block, from the summary; worked out whether or
  // not this word has one, and chosen without a branch.
  const uint64_t later = index.summary[word / kFan] & (~uint64_t{1} << (word % kFan));
  uint32_t nextWord;
  if (later != 0) {
    nextWord = (word & ~(kFan - 1)) + static_cast<uint32_t>(__builtin_ctzll(later));
  } else {
    const int64_t found = FindAtLeast(index, 1, (word | (kFan - 1)) + 1, 1);
    if (here == 0 && found < 0) return -1;
    nextWord = found < 0 ? word : static_cast<uint32_t>(found);
  }
  const uint64_t useHere = Select(here != 0);
  const uint64_t pick = (here & useHere) | (index.bitmap[nextWord] & ~useHere);
  const uint64_t pickWord = (word & useHere) | (nextWord & ~useHere);
  return static_cast<int64_t>(pickWord * kFan) + __builtin_ctzll(pick);
}

// The last step before `step` where a free block starts, or -1.
inline int64_t PrevFreeStep(const PoolIndex& index, uint32_t step) {
  const uint32_t word = step / kFan;
  const uint64_t here = index.bitmap[word] & ((uint64_t{1} << (step % kFan)) - 1);
  const uint64_t earlier = index.summary[word / kFan] & ((uint64_t{1} << (word % kFan)) - 1);
  uint32_t prevWord;
  if (earlier != 0) {
    prevWord = (word & ~(kFan - 1)) + 63 - static_cast<uint32_t>(__builtin_clzll(earlier));
  } else {
    const int64_t found = FindLastAtLeast(index, 1, word & ~(kFan - 1), 1);
    if (here == 0 && found < 0) return -1;
    prevWord = found < 0 ? word : static_cast<uint32_t>(found);
  }
  const uint64_t useHere = Select(here != 0);
  const uint64_t pick = (here & useHere) | (index.bitmap[prevWord] & ~useHere);
  const uint64_t pickWord = (word & useHere) | (prevWord & ~useHere);
  return static_cast<int64_t>(pickWord * kFan) + 63 - __builtin_clzll(pick);
}

}  // namespace mem

// The hash by which the owners know a text, and name what they share.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nembit::owner {

/// The FNV-1a hash of `size` bytes at `data`, going on from `hash`.
inline uint64_t hash_of(const char* data, size_t size, uint64_t hash = 14695981039346656037ULL) {
  for (size_t i = 0; i < size; ++i) {
    hash = (hash ^ static_cast<unsigned char>(data[i])) * 1099511628211ULL;
  }
  return hash;
}

}  // namespace nembit::owner

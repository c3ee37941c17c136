#include "clipboard/owner/bytes.h"

#include <cstdlib>
#include <cstring>

namespace nembit::owner {

namespace {

// The block that holds shared bytes: its count of holders, then the bytes.
size_t* allocate(size_t size) {
  auto* block = static_cast<size_t*>(std::malloc(sizeof(size_t) + (size > 0 ? size : 1)));
  if (block == nullptr) std::exit(1);
  return block;
}

}  // namespace

void assign(Bytes& bytes, const char* data, size_t size) {
  release(bytes);
  bytes.holders = allocate(size);
  *bytes.holders = 1;
  bytes.data = reinterpret_cast<char*>(bytes.holders + 1);
  bytes.size = size;
  if (data != nullptr && size > 0) std::memcpy(bytes.data, data, size);
}

void append(Bytes& bytes, const char* data, size_t size) {
  if (bytes.holders == nullptr) {
    assign(bytes, data, size);
    return;
  }
  const size_t total = bytes.size + size;
  auto* block = static_cast<size_t*>(std::realloc(bytes.holders, sizeof(size_t) + total));
  if (block == nullptr) std::exit(1);
  bytes.holders = block;
  bytes.data = reinterpret_cast<char*>(block + 1);
  std::memcpy(bytes.data + bytes.size, data, size);
  bytes.size = total;
}

Bytes share(const Bytes& bytes) {
  if (bytes.holders != nullptr) ++*bytes.holders;
  return bytes;
}

void release(Bytes& bytes) {
  if (bytes.holders != nullptr && --*bytes.holders == 0) std::free(bytes.holders);
  bytes = {};
}

}  // namespace nembit::owner

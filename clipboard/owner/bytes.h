// Text that a clipboard owner holds, serves and is sent, shared rather than
// copied between the readers that take it.
#pragma once

#include <cstddef>

namespace nembit::owner {

/// Bytes of text, owned: the text an owner holds, serves and is sent. A
/// copy made with share() holds the same bytes, which the last release()
/// frees, so that readers still taking a text after a newer one came keep
/// it without a copy of their own.
struct Bytes {
  char* data = nullptr;
  size_t size = 0;
  size_t* holders = nullptr;  ///< How many hold the bytes; null for none.
};

/// Makes `bytes` hold a copy of `size` bytes at `data`, or `size` bytes to
/// be written when `data` is null, in place of what it held.
void assign(Bytes& bytes, const char* data, size_t size);

/// Appends `size` bytes at `data` to `bytes`, which nothing else holds.
void append(Bytes& bytes, const char* data, size_t size);

/// Another holder of the bytes that `bytes` holds.
Bytes share(const Bytes& bytes);

/// Lets go of the bytes that `bytes` holds, which the last holder frees.
void release(Bytes& bytes);

}  // namespace nembit::owner

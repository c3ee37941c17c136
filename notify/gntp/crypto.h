// The cryptography of GNTP's key hash: SHA-256 and secure random bytes. One
// implementation per platform (crypto_posix.cpp on OpenSSL's libcrypto,
// crypto_win32.cpp on Windows CNG).
#pragma once

#include <array>
#include <span>

namespace nembit::gntp {

/// A SHA-256 digest.
using Digest = std::array<unsigned char, 32>;

/// The SHA-256 digest of `bytes`; throws Error on failure.
Digest sha256(std::span<const unsigned char> bytes);

/// Fills `bytes` from a cryptographically secure source; throws Error on
/// failure.
void random_bytes(std::span<unsigned char> bytes);

}  // namespace nembit::gntp

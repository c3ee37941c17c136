#include <windows.h>
// After windows.h:
#include <bcrypt.h>

#include "nembit/notifier.h"
#include "notify/gntp/crypto.h"

namespace nembit::gntp {

Digest sha256(std::span<const unsigned char> bytes) {
  Digest digest{};
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool done = ::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0;
  done = done && ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
  done = done && ::BCryptHashData(hash, const_cast<PUCHAR>(bytes.data()),
                                  static_cast<ULONG>(bytes.size()), 0) == 0;
  done = done && ::BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0) == 0;
  if (hash != nullptr) ::BCryptDestroyHash(hash);
  if (algorithm != nullptr) ::BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!done) throw notify::Error("SHA-256 failed");
  return digest;
}

void random_bytes(std::span<unsigned char> bytes) {
  const NTSTATUS status = ::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (status != 0) throw notify::Error("no random bytes for the GNTP key's salt");
}

}  // namespace nembit::gntp

#include <windows.h>
// After windows.h:
#include <bcrypt.h>

#include "gntp/crypto.h"
#include "gntp/notifier.h"

namespace nembit::gntp {

Digest sha256(std::span<const unsigned char> bytes) {
  Digest digest{};
  const NTSTATUS status = ::BCryptHash(
      BCRYPT_SHA256_ALG_HANDLE, nullptr, 0, const_cast<PUCHAR>(bytes.data()),
      static_cast<ULONG>(bytes.size()), digest.data(), static_cast<ULONG>(digest.size()));
  if (status != 0) throw Error("SHA-256 failed");
  return digest;
}

void random_bytes(std::span<unsigned char> bytes) {
  const NTSTATUS status = ::BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  if (status != 0) throw Error("no random bytes for the GNTP key's salt");
}

}  // namespace nembit::gntp

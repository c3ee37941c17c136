#include <openssl/evp.h>
#include <openssl/rand.h>

#include "gntp/crypto.h"
#include "gntp/notifier.h"

namespace nembit::gntp {

Digest sha256(std::span<const unsigned char> bytes) {
  Digest digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1) {
    throw Error("SHA-256 failed");
  }
  return digest;
}

void random_bytes(std::span<unsigned char> bytes) {
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    throw Error("no random bytes for the GNTP key's salt");
  }
}

}  // namespace nembit::gntp

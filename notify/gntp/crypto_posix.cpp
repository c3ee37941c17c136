#include <dlfcn.h>
#include <openssl/evp.h>
#include <openssl/opensslv.h>
#include <openssl/rand.h>

#include <string>

#include "nembit/notifier.h"
#include "notify/gntp/crypto.h"

namespace nembit::gntp {

namespace {

// OpenSSL's libcrypto, loaded on first use: only a request signed with a
// password needs it, and loading it costs more than all the rest of a run's
// start-up.
struct Libcrypto {
  decltype(&::EVP_Digest) digest = nullptr;
  decltype(&::EVP_sha256) sha256 = nullptr;
  decltype(&::RAND_bytes) random_bytes = nullptr;
  std::string error;  ///< Why it could not be loaded, if it could not.
};

template <typename Function>
void find(void* library, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(::dlsym(library, name));
  if (function == nullptr && error.empty()) error = std::string("libcrypto lacks ") + name;
}

const Libcrypto& libcrypto() {
  static const Libcrypto kLoaded = [] {
    Libcrypto library;
    const std::string name = "libcrypto.so." + std::to_string(OPENSSL_VERSION_MAJOR);
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* reason = ::dlerror();
      library.error = "a GNTP password needs " + name + ", which cannot be loaded" +
                      (reason != nullptr ? std::string(": ") + reason : std::string());
      return library;
    }
    find(handle, "EVP_Digest", library.digest, library.error);
    find(handle, "EVP_sha256", library.sha256, library.error);
    find(handle, "RAND_bytes", library.random_bytes, library.error);
    return library;
  }();
  if (!kLoaded.error.empty()) throw notify::Error(kLoaded.error);
  return kLoaded;
}

}  // namespace

Digest sha256(std::span<const unsigned char> bytes) {
  const Libcrypto& library = libcrypto();
  Digest digest{};
  unsigned int length = 0;
  if (library.digest(bytes.data(), bytes.size(), digest.data(), &length, library.sha256(),
                     nullptr) != 1) {
    throw notify::Error("SHA-256 failed");
  }
  return digest;
}

void random_bytes(std::span<unsigned char> bytes) {
  if (libcrypto().random_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    throw notify::Error("no random bytes for the GNTP key's salt");
  }
}

}  // namespace nembit::gntp

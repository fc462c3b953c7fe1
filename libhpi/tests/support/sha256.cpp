#include "support/sha256.h"

#include <cstdio>

namespace hpi::test {

Sha256::Sha256() { sha256_init(&context_); }

void Sha256::update(std::span<const std::uint8_t> bytes) {
    sha256_update(&context_, bytes.size(), bytes.data());
}

std::string Sha256::hex_digest() {
    std::uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context_, sizeof digest, digest);
    std::string hex;
    char pair[3];
    for (std::uint8_t byte : digest) {
        std::snprintf(pair, sizeof pair, "%02x", byte);
        hex += pair;
    }
    return hex;
}

std::string sha256_hex(std::span<const std::uint8_t> bytes) {
    Sha256 hash;
    hash.update(bytes);
    return hash.hex_digest();
}

}  // namespace hpi::test

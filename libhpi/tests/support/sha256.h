// SHA-256 (from the system's nettle) for checking extracted content against
// the reference manifest.
#pragma once

#include <nettle/sha2.h>

#include <cstdint>
#include <span>
#include <string>

namespace hpi::test {

class Sha256 {
public:
    Sha256();
    void update(std::span<const std::uint8_t> bytes);
    std::string hex_digest();  // finishes the hash; call once

private:
    sha256_ctx context_;
};

std::string sha256_hex(std::span<const std::uint8_t> bytes);

}  // namespace hpi::test

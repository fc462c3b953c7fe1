// SHA-256 for checking extracted content against the reference manifest.
#pragma once

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
    void compress(const std::uint8_t* block);
    std::uint32_t state_[8];
    std::uint8_t buffer_[64];
    std::size_t buffered_ = 0;
    std::uint64_t total_ = 0;
};

std::string sha256_hex(std::span<const std::uint8_t> bytes);

}  // namespace hpi::test

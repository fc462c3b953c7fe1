// SHA-256 (from the system's nettle) for checking extracted content against
// the reference manifest.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace hpi::test {

std::string sha256_hex(std::span<const std::uint8_t> bytes);

}  // namespace hpi::test

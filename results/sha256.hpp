#pragma once
// SHA-256 of a byte string (FIPS 180-4), for the hash of a deck in
// results.json: two runs of the same deck bytes carry the same hash.
#include <cstddef>

namespace tp {

// Writes the 64 lowercase hex digits and a terminating NUL into hex.
void sha256_hex(const unsigned char* data, std::size_t n, char hex[65]);

}  // namespace tp

// The check of the maker's signature: ECDSA on P-256 over the SHA-256 of
// the signed bytes, against the maker's public key that the implementation
// holds.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace platform {

using Sha256 = std::array<std::uint8_t, 32>;
// r followed by s, each 32 bytes, big-endian.
using P256Signature = std::array<std::uint8_t, 64>;

class SignatureCheck {
public:
    virtual ~SignatureCheck() = default;
    // Does `signature` sign `message` (its SHA-256) under the key? Any
    // failure of the check itself is a "no". Safe to call from any thread
    // (the download worker calls it).
    virtual bool verify(std::string_view message, const P256Signature& signature) const = 0;
};

}  // namespace platform

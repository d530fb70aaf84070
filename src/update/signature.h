// The package's signature as the update service publishes it: beside the
// package, at its address followed by ".sig", the base64 text (standard
// alphabet, with its "=" padding: 88 characters) of the 64-byte ECDSA P-256
// signature r‖s over the SHA-256 of the package's bytes. Blanks and line
// breaks around the text are allowed, nothing else.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/signature.h"

namespace update {

inline constexpr std::string_view kSignatureSuffix = ".sig";

// The 64 bytes of a signature text; nothing for any other text (wrong
// length, a character outside the alphabet, bad padding, a zero byte).
std::optional<platform::P256Signature> parseSignature(std::string_view text);

// The decision after a download: is the package whose bytes have `digest`
// the maker's? `signatureText` is what the package's address + ".sig"
// served ("" when it could not be had); a missing or malformed text is a
// "no", as is one the check refuses.
bool packageIsSigned(const platform::Sha256& digest, std::string_view signatureText,
                     const platform::SignatureCheck& check);

}  // namespace update

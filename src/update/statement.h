// The signed statement that vouches for an update package. The update
// service publishes it beside the package, at the package's address
// followed by ".sig": text with LF line ends, at most 1 KiB, exactly these
// lines in this order:
//
//   korvan-update 1
//   version 1.2
//   sha256 <64 lowercase hex digits: the SHA-256 of the package>
//   expires 2027-06-30
//   signature <88 characters: standard base64, with its padding, of r||s>
//
// The signature is ECDSA P-256 over the SHA-256 of the first four lines'
// bytes, each with its LF. The version is 1 to 32 printable ASCII
// characters; the date is a real day. The signature line may end with an
// LF; nothing may follow it. Any other text is no statement.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/signature.h"

namespace update {

inline constexpr std::string_view kStatementSuffix = ".sig";
inline constexpr std::size_t kMaxStatementBytes = 1024;
inline constexpr std::size_t kMaxVersionLength = 32;

struct Statement {
    std::string version;
    platform::Sha256 sha256{};
    platform::Date expires{};
    platform::P256Signature signature{};
    std::size_t signedLength = 0;   // the first four lines, with their LFs
};

// The statement `text` holds, or nothing when it is not exactly one.
std::optional<Statement> parseStatement(std::string_view text);

// The 64 bytes of exactly one base64 text of 88 characters; nothing for
// any other text (another length, a character outside the standard
// alphabet, bad padding, spare bits set).
std::optional<platform::P256Signature> parseSignature(std::string_view text);

// The version the tool announced: the text of the version store with its
// trailing CRs, LFs and blanks removed.
std::string announcedVersion(std::string_view storeText);

// The decision after a download: is the package whose bytes have `digest`
// the maker's release `version`, today? Only when `text` is a statement
// whose signature verifies, whose version is `version`, whose sha256 is
// `digest` and whose expiry date is not before `today`. A missing text is
// a "no".
bool statementVouches(std::string_view text, std::string_view version, const platform::Sha256& digest,
                      platform::Date today, const platform::SignatureCheck& check);

}  // namespace update

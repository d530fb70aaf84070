// The update's signed statement over any text: a text is read only when it
// is, byte for byte, the five lines its fields make (the last LF optional),
// at most 1 KiB, with no CR; the check is asked about exactly its first four
// lines; and a statement made of any fields is read back to those fields
// exactly when the version is 1 to 32 printable ASCII characters and the
// date a real day.
#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "check.h"
#include "update/statement.h"

namespace {

std::string text(const std::string& version, const platform::Sha256& hash, int y, int m, int d,
                 const platform::P256Signature& signature) {
    char date[64];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", y, m, d);
    std::string hex;
    for (std::uint8_t b : hash) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    return "korvan-update 1\nversion " + version + "\nsha256 " + hex + "\nexpires " + date + "\nsignature " +
           fuzz::base64(signature.data(), signature.size()) + "\n";
}

struct Recording : platform::SignatureCheck {
    mutable std::string asked;
    mutable int calls = 0;
    bool verify(std::string_view message, const platform::P256Signature&) const override {
        asked = std::string(message);
        ++calls;
        return true;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);
    if (const auto s = update::parseStatement(raw)) {
        const std::string made = text(s->version, s->sha256, s->expires.year, s->expires.month, s->expires.day,
                                      s->signature);
        FUZZ_CHECK(raw == made || raw + "\n" == made);
        FUZZ_CHECK(raw.size() <= 1024 && raw.find('\r') == std::string::npos);
        FUZZ_CHECK(raw.compare(s->signedLength, 10, "signature ") == 0);
        Recording check;
        FUZZ_CHECK(update::statementVouches(raw, s->version, s->sha256, s->expires, check));
        FUZZ_CHECK(check.calls == 1 && check.asked == raw.substr(0, s->signedLength));
        // A day later, another version or another package: never asked.
        platform::Date later = s->expires;
        ++later.day;
        platform::Sha256 other = s->sha256;
        other[0] ^= 1;
        FUZZ_CHECK(!update::statementVouches(raw, s->version, s->sha256, later, check));
        FUZZ_CHECK(!update::statementVouches(raw, s->version + "x", s->sha256, s->expires, check));
        FUZZ_CHECK(!update::statementVouches(raw, s->version, other, s->expires, check));
        FUZZ_CHECK(check.calls == 1);
    }

    FuzzedDataProvider in(data, size);
    const std::string version = in.ConsumeRandomLengthString(40);
    const int y = in.ConsumeIntegralInRange(0, 9999), m = in.ConsumeIntegralInRange(0, 13),
              d = in.ConsumeIntegralInRange(0, 32);
    platform::Sha256 hash{};
    platform::P256Signature signature{};
    for (auto& b : hash) b = in.ConsumeIntegral<std::uint8_t>();
    for (auto& b : signature) b = in.ConsumeIntegral<std::uint8_t>();
    bool printable = !version.empty() && version.size() <= 32;
    for (char c : version) printable = printable && c >= 0x20 && c <= 0x7E;
    const std::chrono::year_month_day day{std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
    const bool real = y >= 1 && day.ok();
    const std::string made = text(version, hash, y, m, d, signature);
    const auto s = update::parseStatement(made);
    FUZZ_CHECK(static_cast<bool>(s) == (printable && real));
    if (s) {
        FUZZ_CHECK(s->version == version && s->sha256 == hash && s->signature == signature);
        FUZZ_CHECK(s->expires == (platform::Date{y, m, d}));
    }
    return 0;
}

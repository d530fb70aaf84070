// The update window's numbers and texts over any sizes and times: reals
// are written out without exponents and read back to 13 digits, shares
// stay within 0..100 %, no text is left with a half character, the save
// path is the desktop folder followed by tarnel.zip, and a signature text
// is read only when it is the one base64 text of its 64 bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "check.h"
#include "update/statement.h"
#include "update/texts.h"

namespace {

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const double real = in.ConsumeFloatingPoint<double>();
    const std::int64_t total = in.ConsumeIntegralInRange<std::int64_t>(1, INT64_MAX);
    const std::int64_t downloaded = in.ConsumeIntegralInRange<std::int64_t>(0, total);
    const std::int64_t perSecond = in.ConsumeIntegralInRange<std::int64_t>(0, INT64_MAX);
    const std::int64_t ms = in.ConsumeIntegralInRange<std::int64_t>(0, INT64_MAX);
    const std::string desktop = in.ConsumeRandomLengthString(32) + "\\";
    const std::string body = in.ConsumeRemainingBytesAsString();

    const std::string s = update::formatReal(real);
    FUZZ_CHECK(s.find_first_not_of("-0123456789.") == std::string::npos);
    if (std::isfinite(real) && real != 0) {
        const double back = std::strtod(s.c_str(), nullptr);
        FUZZ_CHECK(std::fabs(back - real) <= std::fabs(real) * 1e-12 || std::fabs(real) < 1e-300);
    }

    const int bar = update::barPosition(downloaded, total);
    FUZZ_CHECK(bar >= 0 && bar <= 1000);
    FUZZ_CHECK(update::remainingSeconds(total, downloaded, perSecond) >= 0);
    // The slowest speed with any size left.
    FUZZ_CHECK(update::remainingSeconds(total, downloaded, 1) >= (total - downloaded) / 2);
    for (const std::string& t : {update::shareText(bar), update::progressText(downloaded, total),
                                 update::speedText(perSecond), update::fileSizeText(total), update::elapsedText(ms),
                                 update::remainingText(update::remainingSeconds(total, downloaded, perSecond))})
        FUZZ_CHECK(fuzz::validUtf8(t) && t.find('-') == std::string::npos && t.find('e') == std::string::npos);

    const std::string path = update::savePathFor(desktop);
    FUZZ_CHECK(path.starts_with(desktop) && path.ends_with("\\tarnel.zip"));
    FUZZ_CHECK(path.size() - desktop.size() <= 11);
    FUZZ_CHECK(fuzz::validUtf8(update::versionText(body)));

    // A signature text: the body itself, and the text of its first 64 bytes.
    if (const auto sig = update::parseSignature(body)) FUZZ_CHECK(fuzz::base64(sig->data(), sig->size()) == body);
    if (body.size() >= 64) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(body.data());
        const auto sig = update::parseSignature(fuzz::base64(bytes, 64));
        FUZZ_CHECK(sig && std::equal(sig->begin(), sig->end(), bytes));
    }
    return 0;
}

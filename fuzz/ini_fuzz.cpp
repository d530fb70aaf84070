// The Config.ini reader and writer over any file: a value read is never
// longer than the limit; a value written reads back, and every other entry
// of the file reads as before the write; writing the same value again
// changes nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "check.h"
#include "ftp/ini.h"

namespace {

// A name as the tool writes them: no line break, "=", brackets, quotes, no
// blank at either end, not starting a comment; ASCII so that no trail byte
// can be taken for "]".
std::string name(FuzzedDataProvider& in) {
    std::string s = in.ConsumeRandomLengthString(8);
    for (char& c : s)
        if (c < '!' || c > '~' || c == '=' || c == '[' || c == ']' || c == ';' || c == '"') c = 'k';
    return s.empty() ? "k" : s;
}

// A value as the tool writes them: the cipher's text form.
std::string value(FuzzedDataProvider& in) {
    std::string s = in.ConsumeRandomLengthString(40);
    for (char& c : s) c = "0123456789ABCDEF,"[static_cast<unsigned char>(c) % 17];
    return s;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = name(in), key = name(in), v = value(in);
    const std::string otherSection = name(in), otherKey = name(in);
    const std::string file = in.ConsumeRemainingBytesAsString();

    FUZZ_CHECK(ftp::iniRead(file, section, key).size() <= ftp::kIniValueMax);
    const std::string before = ftp::iniRead(file, otherSection, otherKey);

    const std::string written = ftp::iniWrite(file, section, key, v);
    FUZZ_CHECK(ftp::iniRead(written, section, key) == v);
    if (lower(otherSection) != lower(section) || lower(otherKey) != lower(key))
        FUZZ_CHECK(ftp::iniRead(written, otherSection, otherKey) == before);
    FUZZ_CHECK(ftp::iniWrite(written, section, key, v) == written);
    return 0;
}

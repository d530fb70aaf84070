// The saved-login cipher over any stored text: deciphering never yields a
// zero byte nor more bytes than the digits allow, any bytes enciphered read
// back (up to a zero byte), and the stored form is what the readers of
// earlier files expect.
#include <cstdint>
#include <string>

#include "check.h"
#include "ftp/cipher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string plain = ftp::decipher(text);
    FUZZ_CHECK(plain.find('\0') == std::string::npos);
    size_t digits = 0;
    for (char c : text) digits += c != ',';
    FUZZ_CHECK(plain.size() <= (digits + 1) / 2);

    FUZZ_CHECK(ftp::cipherBytes(ftp::cipherBytes(text)) == text);
    const std::string stored = ftp::encipher(text);
    FUZZ_CHECK(stored.size() == 3 * text.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        const char c = stored[i];
        FUZZ_CHECK(i % 3 == 2 ? c == ',' : ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')));
    }
    FUZZ_CHECK(ftp::decipher(stored) == text.substr(0, text.find('\0')));
    return 0;
}

// The FTP window's rules over any server listing: a name allowed as a
// local file cannot leave the current directory or name a device, rows
// keep every entry with its whole 64-bit size, time texts stay short,
// the up path is a shorter prefix, and the port box reads as a number.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "check.h"
#include "common/gbktext.h"
#include "ftp/listing.h"

namespace {

bool isDevice(std::string base) {
    base = gbk::lowerAscii(base);
    for (const char* d : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (base == d) return true;
    if (!base.starts_with("com") && !base.starts_with("lpt")) return false;
    const std::string n = base.substr(3);
    return (n.size() == 1 && n[0] >= '0' && n[0] <= '9') || n == "\xC2\xB9" || n == "\xC2\xB2" || n == "\xC2\xB3";
}

void checkName(const std::string& name) {
    if (!ftp::isPlainFileName(name)) return;
    FUZZ_CHECK(!name.empty() && name != "." && name != "..");
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        FUZZ_CHECK(b >= 32 && b != 127 && c != '/' && c != '\\' && c != ':');
    }
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    FUZZ_CHECK(!isDevice(base));
    FUZZ_CHECK(name.find_first_not_of(" .") != std::string::npos);
}

platform::DateTime time(FuzzedDataProvider& in) {
    platform::DateTime t;
    t.year = in.ConsumeIntegral<int>();
    t.month = in.ConsumeIntegral<int>();
    t.day = in.ConsumeIntegral<int>();
    t.hour = in.ConsumeIntegral<int>();
    t.minute = in.ConsumeIntegral<int>();
    t.second = in.ConsumeIntegral<int>();
    return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<platform::DirEntry> entries(in.ConsumeIntegralInRange<size_t>(0, 6));
    size_t dirs = 0, files = 0, dotDirs = 0;
    for (auto& e : entries) {
        e.name = in.ConsumeRandomLengthString(12);
        e.attributes = in.ConsumeIntegral<std::uint32_t>();
        e.size = in.ConsumeIntegral<std::uint64_t>();
        e.time = time(in);
        checkName(e.name);
        const bool dir = (e.attributes & platform::kAttrDirectory) != 0;
        dirs += dir;
        files += !dir;
        dotDirs += dir && e.name.starts_with('.');
    }
    const std::string dir = in.ConsumeRandomLengthString(32);
    const std::string port = in.ConsumeRandomLengthString(16);
    const std::string name = in.ConsumeRemainingBytesAsString();
    checkName(name);

    const auto rows = ftp::remoteRows(entries, dir);
    FUZZ_CHECK(rows.size() == (dir != "/") + dirs - dotDirs + files);
    size_t fileRows = 0;
    for (const auto& r : rows) {
        FUZZ_CHECK(r.time.size() < 128);
        if (r.value != ftp::kFile) continue;
        size_t i = 0;
        for (size_t seen = 0; i < entries.size(); ++i)
            if (!(entries[i].attributes & platform::kAttrDirectory) && seen++ == fileRows) break;
        const auto& e = entries[i];
        FUZZ_CHECK(r.title == e.name && r.size == std::to_string(e.size));
        ++fileRows;
    }
    FUZZ_CHECK(fileRows == files);
    FUZZ_CHECK(ftp::localRows(entries).size() <= entries.size());

    if (const auto up = ftp::remoteParent(dir)) {
        FUZZ_CHECK(dir.starts_with(*up));
        FUZZ_CHECK(up->size() < dir.size() || *up == "/");
    } else {
        FUZZ_CHECK(dir.find('/') == std::string::npos);
    }

    const int p = ftp::parsePort(port);
    FUZZ_CHECK(p >= -1'000'000 && p <= 1'000'000);
    if (!port.empty() && port.find_first_not_of("0123456789") == std::string::npos && port.size() <= 6)
        FUZZ_CHECK(p == std::stoi(port));
    return 0;
}

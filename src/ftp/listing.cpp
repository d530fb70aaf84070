#include "ftp/listing.h"

#include <array>
#include <charconv>

#include "common/gbktext.h"

namespace ftp {

namespace {

// `v` in plain decimal, then `unit`. (A listing formats tens of thousands
// of these: no format strings.)
void append(std::string& s, int v, std::string_view unit) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    s.append(digits, end);
    s.append(unit);
}

}  // namespace

std::string timeText(const platform::DateTime& t) {
    std::string s;
    s.reserve(40);
    append(s, t.year, "年");
    append(s, t.month, "月");
    append(s, t.day, "日");
    if (t.second != 0 || t.minute != 0 || t.hour != 0) append(s, t.hour, "时");
    if (t.second != 0 || t.minute != 0) append(s, t.minute, "分");
    if (t.second != 0) append(s, t.second, "秒");
    return s;
}

namespace {

bool isDirectory(const platform::DirEntry& e) { return (e.attributes & platform::kAttrDirectory) != 0; }

Row fileRow(const platform::DirEntry& e) {
    return {e.name, kFile, std::to_string(e.size), timeText(e.time)};
}

}  // namespace

std::vector<Row> remoteRows(const std::vector<platform::DirEntry>& entries, std::string_view dir) {
    std::vector<Row> rows;
    rows.reserve(entries.size() + 1);
    if (dir != "/") rows.push_back({"", kUpEntry, "", ""});
    for (const auto& e : entries)
        if (isDirectory(e) && !e.name.starts_with('.')) rows.push_back({e.name, kDirectory, "", timeText(e.time)});
    for (const auto& e : entries)
        if (!isDirectory(e)) rows.push_back(fileRow(e));
    return rows;
}

std::vector<Row> localRows(const std::vector<platform::DirEntry>& entries) {
    std::vector<Row> rows;
    rows.reserve(entries.size());
    for (const auto& e : entries) {
        if (!isDirectory(e) || e.name == ".") continue;
        if (e.name == "..")
            rows.push_back({"", kUpEntry, "", ""});
        else
            rows.push_back({e.name, kDirectory, "", timeText(e.time)});
    }
    for (const auto& e : entries)
        if (!isDirectory(e)) rows.push_back(fileRow(e));
    return rows;
}

std::optional<std::string> remoteParent(std::string_view dir) {
    const size_t slash = dir.rfind('/');
    if (slash == std::string_view::npos) return std::nullopt;
    std::string up(dir.substr(0, slash + 1));
    if (up != "/") up.pop_back();
    return up;
}

bool isPlainFileName(std::string_view name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 32 || b == 127 || c == '/' || c == '\\' || c == ':') return false;
    }
    // Windows maps a device name to the device whatever follows it after a
    // dot, and ignores trailing blanks and dots.
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    base = gbk::lowerAscii(base);
    static constexpr std::array<std::string_view, 6> kDevices = {"con", "prn", "aux", "nul", "conin$", "conout$"};
    for (auto d : kDevices)
        if (base == d) return false;
    if (base.starts_with("com") || base.starts_with("lpt")) {
        // COM0-9 and LPT0-9, and with the superscript digits ¹ ² ³ too.
        const std::string_view n = std::string_view(base).substr(3);
        if (n.size() == 1 && n[0] >= '0' && n[0] <= '9') return false;
        if (n == "¹" || n == "²" || n == "³") return false;
    }
    // A name of blanks and dots only would end up naming the directory itself.
    return name.find_first_not_of(" .") != std::string_view::npos;
}

int parsePort(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > 1'000'000) v = 1'000'000;   // far beyond any port; refused later
    }
    return static_cast<int>(negative ? -v : v);
}

}  // namespace ftp

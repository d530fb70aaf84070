#include "ftp/ini.h"

#include <optional>
#include <vector>

#include "common/gbktext.h"

namespace ftp {
namespace {

// Ends a last line that has no line break, so an entry added after it starts
// a line of its own. A last line that already ends in CR only gets its LF:
// adding CR LF would leave a CR at the end of that line's value.
void endLine(std::string& text) {
    if (text.empty() || text.back() == '\n') return;
    text += text.back() == '\r' ? "\n" : "\r\n";
}

struct Line {
    size_t begin = 0, end = 0;   // byte range of the line without its line break
    size_t next = 0;             // where the following line starts
};

std::vector<Line> splitLines(std::string_view file) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < file.size()) {
        size_t nl = file.find('\n', pos);
        Line l;
        l.begin = pos;
        l.next = nl == std::string_view::npos ? file.size() : nl + 1;
        l.end = nl == std::string_view::npos ? file.size() : nl;
        if (l.end > l.begin && file[l.end - 1] == '\r') --l.end;
        lines.push_back(l);
        pos = l.next;
    }
    return lines;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    return gbk::lowerAscii(trim(a)) == gbk::lowerAscii(trim(b));
}

// The section name of a "[name]" line.
std::optional<std::string_view> sectionOf(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    // "]" can be the second byte of a GBK character: search character-aware.
    const int close = gbk::find(line, "]", 2);
    if (close < 0) return std::nullopt;
    return line.substr(1, static_cast<size_t>(close) - 2);
}

// Key and value of a "key=value" line.
std::optional<std::pair<std::string_view, std::string_view>> entryOf(std::string_view line) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') return std::nullopt;
    const size_t eq = line.find('=');   // "=" is never a GBK trail byte
    if (eq == std::string_view::npos) return std::nullopt;
    return std::make_pair(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
}

}  // namespace

std::string iniRead(std::string_view file, std::string_view section, std::string_view key) {
    bool inSection = false;
    for (const Line& l : splitLines(file)) {
        const std::string_view line = file.substr(l.begin, l.end - l.begin);
        if (auto s = sectionOf(line)) {
            inSection = sameName(*s, section);
            continue;
        }
        if (!inSection) continue;
        auto e = entryOf(line);
        if (!e || !sameName(e->first, key)) continue;
        std::string_view v = e->second;
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        return std::string(v.substr(0, kIniValueMax));
    }
    return {};
}

std::string iniWrite(std::string_view file, std::string_view section, std::string_view key, std::string_view value) {
    const std::string entry = std::string(key) + "=" + std::string(value);
    const std::vector<Line> lines = splitLines(file);
    bool inSection = false;
    std::optional<size_t> sectionEnd;   // where a new key of the section goes
    for (const Line& l : lines) {
        const std::string_view line = file.substr(l.begin, l.end - l.begin);
        if (auto s = sectionOf(line)) {
            if (inSection) break;
            inSection = sameName(*s, section);
            if (inSection) sectionEnd = l.next;
            continue;
        }
        if (!inSection) continue;
        if (auto e = entryOf(line); e && sameName(e->first, key)) {
            return std::string(file.substr(0, l.begin)) + entry + std::string(file.substr(l.end));
        }
        if (!trim(line).empty()) sectionEnd = l.next;
    }
    std::string out(file);
    if (sectionEnd) {
        std::string before(file.substr(0, *sectionEnd));
        endLine(before);
        return before + entry + "\r\n" + std::string(file.substr(*sectionEnd));
    }
    endLine(out);
    out += "[" + std::string(section) + "]\r\n" + entry + "\r\n";
    return out;
}

}  // namespace ftp

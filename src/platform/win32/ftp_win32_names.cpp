// The names and listings of the FTP connection: the directory, its
// entries, the calls that change them, and the names' bytes on the wire.
//
// Names cross WinINet's A functions as bytes of the connection's encoding
// (UTF-8 or the system's ANSI code page). The W functions would convert
// every name through the ANSI code page, which garbles the names of a
// UTF-8 server on a Chinese (or any other) Windows.
#include "platform/win32/ftp_win32_internal.h"

#include <cstring>

#include "platform/win32/wide.h"

namespace win32 {
namespace {

platform::DateTime dateTimeOf(const FILETIME& ft) {
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&ft, &st)) return {};
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";   // U+FFFD

std::vector<std::string_view> pathParts(std::string_view path) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t slash = path.find('/');
        parts.push_back(path.substr(0, slash));
        if (slash == std::string_view::npos) return parts;
        path.remove_prefix(slash + 1);
    }
}

}  // namespace

namespace ftpwire {

DecodedName decodeName(std::string_view bytes, bool utf8) {
    if (bytes.empty()) return {};
    const UINT cp = utf8 ? CP_UTF8 : CP_ACP;
    const int size = static_cast<int>(bytes.size());
    DWORD flags = MB_ERR_INVALID_CHARS;
    int n = MultiByteToWideChar(cp, flags, bytes.data(), size, nullptr, 0);
    const bool ok = n > 0;
    if (!ok) {
        // Shown with the code page's replacement characters, and marked.
        flags = 0;
        n = MultiByteToWideChar(cp, flags, bytes.data(), size, nullptr, 0);
        if (n <= 0) return {std::string(kReplacement), false};
    }
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(cp, flags, bytes.data(), size, wide.data(), n);
    return {narrow(wide), ok};
}

std::optional<std::string> encodeName(std::string_view text, bool utf8) {
    // A line end would end the command early, a NUL cut it short; U+FFFD
    // stands for bytes that did not decode.
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return std::nullopt;
    if (text.find(kReplacement) != std::string_view::npos) return std::nullopt;
    const std::wstring wide = widen(text);
    if (narrow(wide) != text) return std::nullopt;   // not UTF-8 to begin with
    if (utf8 || text.empty()) return std::string(text);
    BOOL lossy = FALSE;
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) return std::nullopt;
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, bytes.data(), n, nullptr, &lossy);
    // The bytes must read back as the same text.
    const DecodedName back = decodeName(bytes, false);
    if (lossy || !back.ok || back.text != text) return std::nullopt;
    return bytes;
}

std::optional<std::string> directoryBytes(Step& step, HINTERNET connection) {
    // The path of "257 "<path>" ...", a quote in it doubled.
    if (step.live() && FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_ASCII, "PWD", 0, nullptr)) {
        step.advance();
        std::string reply(4096, '\0');
        DWORD code = 0, len = static_cast<DWORD>(reply.size() - 1);
        if (InternetGetLastResponseInfoA(&code, reply.data(), &len)) {
            std::string_view text(reply.c_str(), strnlen(reply.c_str(), reply.size()));
            while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
            const size_t line = text.find_last_of('\n');
            if (line != std::string_view::npos) text.remove_prefix(line + 1);
            const size_t open = text.find('"');
            if (text.starts_with("257") && open != std::string_view::npos) {
                std::string path;
                for (size_t i = open + 1; i < text.size(); ++i) {
                    if (text[i] != '"') {
                        path += text[i];
                    } else if (i + 1 < text.size() && text[i + 1] == '"') {
                        path += '"';
                        ++i;
                    } else {
                        return path;
                    }
                }
            }
        }
    }
    std::string dir(kMaxDirectoryChars + 1, '\0');
    DWORD len = kMaxDirectoryChars;
    if (!step.live() || !FtpGetCurrentDirectoryA(connection, dir.data(), &len)) return std::nullopt;
    step.advance();
    dir.resize(strnlen(dir.c_str(), dir.size()));
    return dir;
}

}  // namespace ftpwire

using namespace ftpwire;

platform::DirEntry dirEntryOf(const WIN32_FIND_DATAA& found, bool utf8) {
    const DecodedName name = decodeName(found.cFileName, utf8);
    platform::DirEntry e;
    e.name = name.text;
    e.undecodable = !name.ok;
    e.attributes = found.dwFileAttributes;
    e.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    e.time = dateTimeOf(found.ftLastWriteTime);   // as the server reports it
    return e;
}

bool Win32Ftp::utf8() const { return login_ && login_->utf8; }

void Win32Ftp::forgetNames() {
    entries_.clear();
    directory_.clear();
    directoryBytes_.clear();
}

void Win32Ftp::learn(const std::string& name, const std::string& bytes, bool decoded) {
    auto [it, added] = entries_.try_emplace(name, Known{bytes, decoded});
    // Two entries shown alike: neither can be told from the other.
    if (!added && it->second.bytes != bytes) it->second.decoded = false;
}

std::optional<std::string> Win32Ftp::wireOf(std::string_view name) const {
    if (auto it = entries_.find(name); it != entries_.end()) {
        if (!it->second.decoded) return std::nullopt;
        return it->second.bytes;
    }
    // A path: the folders it shares with the current directory go as that
    // directory's own bytes, a last part that is an entry of it as the
    // entry's, every other part encoded.
    const auto parts = pathParts(name);
    if (parts.size() == 1) return encodeName(name, utf8());
    std::vector<std::string_view> shown, bytes;
    if (!directory_.empty()) {
        shown = pathParts(directory_);
        bytes = pathParts(directoryBytes_);
        if (shown.size() > 1 && shown.back().empty()) shown.pop_back();   // "/a/b/"
        if (bytes.size() > 1 && bytes.back().empty()) bytes.pop_back();
        if (shown.size() != bytes.size()) shown.clear();
    }
    std::string out;
    bool same = true;
    for (size_t i = 0; i < parts.size(); ++i) {
        std::optional<std::string> part;
        if (same && i < shown.size() && parts[i] == shown[i]) {
            part = std::string(bytes[i]);
        } else if (same && i == shown.size() && i + 1 == parts.size() && entries_.count(parts[i])) {
            const Known& k = entries_.find(parts[i])->second;
            if (!k.decoded) return std::nullopt;
            part = k.bytes;
        } else {
            same = false;
            part = encodeName(parts[i], utf8());
        }
        if (!part) return std::nullopt;
        if (i) out += '/';
        out += *part;
    }
    return out;
}

bool Win32Ftp::fits(std::string_view name) { return wireOf(name).has_value(); }

std::string Win32Ftp::currentDirectory() {
    if (!connection_) return {};
    const auto bytes = call(std::optional<std::string>(), [c = connection_.get()](Step& step) {
        return directoryBytes(step, c);
    });
    if (!bytes) return {};
    directoryBytes_ = *bytes;
    directory_ = decodeName(*bytes, utf8()).text;
    return directory_;
}

bool Win32Ftp::setCurrentDirectory(std::string_view path) {
    if (!connection_) return false;
    const auto wire = wireOf(path);
    if (!wire) return false;
    const bool ok = call(false, [c = connection_.get(), p = *wire](Step& step) {
        return step.live() && FtpSetCurrentDirectoryA(c, p.c_str());
    });
    if (ok) forgetNames();
    return ok;
}

std::vector<platform::DirEntry> Win32Ftp::list(std::string_view pattern) {
    std::string p(pattern);
    if (p.ends_with("*.*")) p.resize(p.size() - 2);
    const bool whole = p == "*";
    if (!whole) {
        auto wire = wireOf(p);
        if (!wire) return {};
        p = std::move(*wire);
    }
    Listing listed = dataCall(Listing(), [p, utf8 = utf8()](Step& step, HINTERNET c, bool& noData) -> Listing {
        Listing out;
        WIN32_FIND_DATAA fd{};
        HINTERNET find = nullptr;
        if (!step.live()) return out;
        {
            // Wine reads the whole listing inside this one call.
            Step::Opaque whole(step);
            find = FtpFindFirstFileA(c, p.c_str(), &fd, kFresh, 0);
            if (!find) noData = noDataConnection();
        }
        // One search at a time per connection: the handle closes before return.
        find = step.hold(find);
        if (!find) return out;
        do {
            out.entries.push_back(dirEntryOf(fd, utf8));
            out.bytes.emplace_back(fd.cFileName);
            step.advance();
        } while (step.live() && InternetFindNextFileA(find, &fd));
        step.close(find);
        // Some WinINet listings parsers (Wine's among them) saturate sizes at
        // 2^31 - 1. A file showing exactly that size is asked about once more.
        for (size_t i = 0; i < out.entries.size(); ++i) {
            auto& e = out.entries[i];
            if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY) && e.size == 0x7FFFFFFFu && step.live()) {
                if (auto exact = sizeOf(step, c, out.bytes[i])) e.size = *exact;
            }
        }
        return out;
    });
    if (whole) entries_.clear();
    for (size_t i = 0; i < listed.entries.size() && i < listed.bytes.size(); ++i)
        learn(listed.entries[i].name, listed.bytes[i], !listed.entries[i].undecodable);
    return std::move(listed.entries);
}

bool Win32Ftp::removeFile(std::string_view name) {
    if (!connection_) return false;
    const auto wire = wireOf(name);
    if (!wire) return false;
    const bool ok = call(false, [c = connection_.get(), n = *wire](Step& step) {
        return step.live() && FtpDeleteFileA(c, n.c_str());
    });
    if (ok) entries_.erase(std::string(name));
    return ok;
}

bool Win32Ftp::rename(std::string_view from, std::string_view to) {
    if (!connection_) return false;
    const auto source = wireOf(from), target = wireOf(to);
    if (!source || !target) return false;
    const bool ok = call(false, [c = connection_.get(), f = *source, t = *target](Step& step) {
        return step.live() && FtpRenameFileA(c, f.c_str(), t.c_str());
    });
    if (ok) {
        entries_.erase(std::string(from));
        learn(std::string(to), *target, true);
    }
    return ok;
}

bool Win32Ftp::createDirectory(std::string_view name) {
    if (!connection_) return false;
    const auto wire = wireOf(name);
    if (!wire) return false;
    return call(false, [c = connection_.get(), n = *wire](Step& step) {
        return step.live() && FtpCreateDirectoryA(c, n.c_str());
    });
}

bool Win32Ftp::removeDirectory(std::string_view name) {
    if (!connection_) return false;
    const auto wire = wireOf(name);
    if (!wire) return false;
    return call(false, [c = connection_.get(), n = *wire](Step& step) {
        return step.live() && FtpRemoveDirectoryA(c, n.c_str());
    });
}

}  // namespace win32

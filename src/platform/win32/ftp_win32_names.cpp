// The names and listings of the FTP connection: the directory, its
// entries, and the calls that change them.
#include "platform/win32/ftp_win32_internal.h"

#include "platform/win32/wide.h"

namespace win32 {
namespace {

platform::DateTime dateTimeOf(const FILETIME& ft) {
    SYSTEMTIME st{};
    if (!FileTimeToSystemTime(&ft, &st)) return {};
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

}  // namespace

using namespace ftpwire;

platform::DirEntry dirEntryOf(const WIN32_FIND_DATAW& found) {
    platform::DirEntry e;
    e.name = narrow(found.cFileName);
    e.attributes = found.dwFileAttributes;
    e.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    e.time = dateTimeOf(found.ftLastWriteTime);   // as the server reports it
    return e;
}

std::string Win32Ftp::currentDirectory() {
    if (!connection_) return {};
    return call(std::string(), [c = connection_.get()](Step& step) -> std::string {
        std::wstring buf(kMaxDirectoryChars + 1, L'\0');
        DWORD len = kMaxDirectoryChars;
        if (!step.live() || !FtpGetCurrentDirectoryW(c, buf.data(), &len)) return {};
        buf.resize(wcsnlen(buf.c_str(), buf.size()));
        return narrow(buf);
    });
}

bool Win32Ftp::setCurrentDirectory(std::string_view path) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), p = widen(path)](Step& step) {
        return step.live() && FtpSetCurrentDirectoryW(c, p.c_str());
    });
}

std::vector<platform::DirEntry> Win32Ftp::list(std::string_view pattern) {
    std::string p(pattern);
    if (p.ends_with("*.*")) p.resize(p.size() - 2);
    return dataCall(std::vector<platform::DirEntry>(),
                    [p = widen(p)](Step& step, HINTERNET c, bool& noData) -> std::vector<platform::DirEntry> {
        std::vector<platform::DirEntry> out;
        WIN32_FIND_DATAW fd{};
        HINTERNET find = nullptr;
        if (!step.live()) return out;
        {
            // Wine reads the whole listing inside this one call.
            Step::Opaque whole(step);
            find = FtpFindFirstFileW(c, p.c_str(), &fd, kFresh, 0);
            if (!find) noData = noDataConnection();
        }
        // One search at a time per connection: the handle closes before return.
        find = step.hold(find);
        if (!find) return out;
        do {
            out.push_back(dirEntryOf(fd));
            step.advance();
        } while (step.live() && InternetFindNextFileW(find, &fd));
        step.close(find);
        // Some WinINet listings parsers (Wine's among them) saturate sizes at
        // 2^31 - 1. A file showing exactly that size is asked about once more.
        for (auto& e : out) {
            if (!(e.attributes & FILE_ATTRIBUTE_DIRECTORY) && e.size == 0x7FFFFFFFu && step.live()) {
                if (auto exact = sizeOf(step, c, widen(e.name))) e.size = *exact;
            }
        }
        return out;
    });
}

bool Win32Ftp::removeFile(std::string_view name) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), n = widen(name)](Step& step) {
        return step.live() && FtpDeleteFileW(c, n.c_str());
    });
}

bool Win32Ftp::rename(std::string_view from, std::string_view to) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), f = widen(from), t = widen(to)](Step& step) {
        return step.live() && FtpRenameFileW(c, f.c_str(), t.c_str());
    });
}

bool Win32Ftp::createDirectory(std::string_view name) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), n = widen(name)](Step& step) {
        return step.live() && FtpCreateDirectoryW(c, n.c_str());
    });
}

bool Win32Ftp::removeDirectory(std::string_view name) {
    if (!connection_) return false;
    return call(false, [c = connection_.get(), n = widen(name)](Step& step) {
        return step.live() && FtpRemoveDirectoryW(c, n.c_str());
    });
}

}  // namespace win32

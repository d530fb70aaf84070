// Stand-in for the programs the tool starts (cmd, mstsc, devcon...). The
// tests copy it under those names into a folder that stands in for the
// system folder of the runner they test (or onto PATH, for devcon). It
// records how it was started and then behaves as the environment asks:
//
//   KORVAN_STANDIN_LOG      log file to append to (default: standin.log
//                           beside this program)
//   KORVAN_STANDIN_SLEEP_MS sleep this long before exiting
//   KORVAN_STANDIN_HOLD     wait until this file exists (polled every 20 ms,
//                           at most 10 s; giving up exits with code 124)
//   KORVAN_STANDIN_DONE     file written just before exiting
//   KORVAN_STANDIN_EXIT     exit code (default 0)
//   KORVAN_STANDIN_PIDS     file its process id is appended to at start
//   KORVAN_STANDIN_ENVLOG   file to append "PATH=<its PATH>\tCWD=<its current
//                           directory>\tSystemRoot=<its SystemRoot>\t
//                           KORVAN_USER=<its KORVAN_USER>\n" to at start
//   KORVAN_STANDIN_CHILD    first start a copy of itself (command line
//                           "standin child") that holds until this file
//                           exists, then carry on; the copy starts no other
//
// Started with the system's environment (as the adapter restart starts
// cmd), it has none of these: a file beside it, named after it with
// ".settings" ("devcon.settings" beside devcon.exe), gives them instead,
// one NAME=VALUE a line in UTF-8. A variable of the environment comes
// before the file's.
//
// One log record per start: the program's base name, TAB, "sw=N" with the
// wShowWindow it was given (or "sw=-" when STARTF_USESHOWWINDOW was not
// set), TAB, the command line exactly as received, in UTF-8, then "\n".
// A command line may itself hold line breaks.
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string utf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wide(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::wstring ownPath() {
    wchar_t buf[32768];
    const DWORD n = GetModuleFileNameW(nullptr, buf, sizeof buf / sizeof buf[0]);
    return std::wstring(buf, n);
}

// NAME=VALUE lines of the settings file beside this program.
std::wstring fromSettings(const wchar_t* name) {
    std::wstring path = ownPath();
    if (const size_t dot = path.find_last_of(L'.'); dot != std::wstring::npos) path.resize(dot);
    path += L".settings";
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string text(65536, '\0');
    DWORD got = 0;
    ReadFile(f, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
    CloseHandle(f);
    text.resize(got);
    const std::wstring all = wide(text);
    const std::wstring key = std::wstring(name) + L"=";
    for (size_t at = 0; at < all.size();) {
        size_t end = all.find(L'\n', at);
        if (end == std::wstring::npos) end = all.size();
        std::wstring line = all.substr(at, end - at);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (line.compare(0, key.size(), key) == 0) return line.substr(key.size());
        at = end + 1;
    }
    return {};
}

std::wstring env(const wchar_t* name) {
    wchar_t buf[32768];
    const DWORD n = GetEnvironmentVariableW(name, buf, sizeof buf / sizeof buf[0]);
    if (n == 0 || n >= sizeof buf / sizeof buf[0]) return fromSettings(name);
    return std::wstring(buf, n);
}

std::wstring plainEnv(const wchar_t* name) {
    wchar_t buf[32768];
    const DWORD n = GetEnvironmentVariableW(name, buf, sizeof buf / sizeof buf[0]);
    if (n == 0 || n >= sizeof buf / sizeof buf[0]) return {};
    return std::wstring(buf, n);
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Appends with one WriteFile, so records of concurrent stand-ins do not mix.
void append(const std::wstring& path, const std::string& bytes) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
            CloseHandle(f);
            return;
        }
        Sleep(20);
    }
}

}  // namespace

int main() {
    const std::wstring self = ownPath();
    if (const std::wstring pids = env(L"KORVAN_STANDIN_PIDS"); !pids.empty())
        append(pids, std::to_string(GetCurrentProcessId()) + "\n");
    if (const std::wstring envLog = env(L"KORVAN_STANDIN_ENVLOG"); !envLog.empty()) {
        wchar_t cwd[32768];
        const DWORD n = GetCurrentDirectoryW(32768, cwd);
        append(envLog, "PATH=" + utf8(plainEnv(L"PATH")) + "\tCWD=" + utf8(std::wstring(cwd, n < 32768 ? n : 0)) +
                           "\tSystemRoot=" + utf8(plainEnv(L"SystemRoot")) + "\tKORVAN_USER=" +
                           utf8(plainEnv(L"KORVAN_USER")) + "\n");
    }
    if (const std::wstring childHold = env(L"KORVAN_STANDIN_CHILD"); !childHold.empty()) {
        SetEnvironmentVariableW(L"KORVAN_STANDIN_CHILD", nullptr);
        const std::wstring ownHold = env(L"KORVAN_STANDIN_HOLD");
        SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", childHold.c_str());
        STARTUPINFOW csi{};
        csi.cb = sizeof csi;
        PROCESS_INFORMATION pi{};
        std::wstring line = L"standin child";
        if (CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &csi, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        SetEnvironmentVariableW(L"KORVAN_STANDIN_HOLD", ownHold.empty() ? nullptr : ownHold.c_str());
    }
    const size_t slash = self.find_last_of(L"\\/");
    const std::wstring dir = slash == std::wstring::npos ? std::wstring() : self.substr(0, slash);
    std::wstring base = slash == std::wstring::npos ? self : self.substr(slash + 1);
    if (const size_t dot = base.find_last_of(L'.'); dot != std::wstring::npos) base.resize(dot);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    GetStartupInfoW(&si);
    const std::string show = (si.dwFlags & STARTF_USESHOWWINDOW) ? "sw=" + std::to_string(si.wShowWindow) : "sw=-";

    std::wstring log = env(L"KORVAN_STANDIN_LOG");
    if (log.empty()) log = dir + L"\\standin.log";
    append(log, utf8(base) + "\t" + show + "\t" + utf8(GetCommandLineW()) + "\n");

    int code = 0;
    if (const std::wstring v = env(L"KORVAN_STANDIN_EXIT"); !v.empty()) code = _wtoi(v.c_str());
    if (const std::wstring v = env(L"KORVAN_STANDIN_SLEEP_MS"); !v.empty()) Sleep(static_cast<DWORD>(_wtoi(v.c_str())));
    if (const std::wstring hold = env(L"KORVAN_STANDIN_HOLD"); !hold.empty()) {
        int waited = 0;
        while (!fileExists(hold) && waited < 10000) {
            Sleep(20);
            waited += 20;
        }
        if (!fileExists(hold)) code = 124;
    }
    if (const std::wstring done = env(L"KORVAN_STANDIN_DONE"); !done.empty()) append(done, std::to_string(code) + "\n");
    return code;
}

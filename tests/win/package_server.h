// What the Windows tests of the update share: the package server's address
// (started by CTest, see tests/fixtures/package_server_ctl), its byte
// pattern, a scratch folder per test and a message pump with a hang guard.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/wide.h"

namespace served {

// The server's folder (ports, certificates) as a Windows path; "" when the
// server was not started.
inline std::string folder() {
    const char* dir = std::getenv("KORVAN_PACKAGE_SERVER");
    if (!dir || !*dir) return {};
    std::string path = dir;
    if (path[0] == '/') path = "Z:" + path;   // Wine's drive for the Unix root
    return path;
}

// "<scheme>://127.0.0.1:<port>" for the port in the folder's file `name`.
inline std::string address(const char* scheme, const char* name) {
    const std::string dir = folder();
    if (dir.empty()) return {};
    std::ifstream in(dir + "/" + name);
    std::string port;
    std::getline(in, port);
    return port.empty() ? std::string() : std::string(scheme) + "://127.0.0.1:" + port;
}

// "http://127.0.0.1:<port>", or "" when the server was not started.
inline std::string base() { return address("http", "port"); }
// The HTTPS server whose certificate is tls.crt in the folder.
inline std::string tlsBase() { return address("https", "tls_port"); }
// The HTTPS server whose certificate nobody trusts.
inline std::string untrustedBase() { return address("https", "untrusted_port"); }

inline unsigned char pattern(std::size_t i) {
    const std::size_t k = i % 65521;
    return static_cast<unsigned char>((k * 7 + k / 251) & 0xFF);
}

inline bool matchesPattern(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) != pattern(i)) return false;
    return true;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(win32::widen(path).c_str(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool exists(const std::string& path) {
    return GetFileAttributesW(win32::widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The download's temporary files ("*.part") in `dir` (ending in "\").
inline std::vector<std::string> partFiles(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(win32::widen(dir + "*.part").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(win32::narrow(found.cFileName));
    while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

// A fresh empty folder under the temporary directory, with a trailing "\".
inline std::string scratchFolder(const char* name) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::string dir = win32::narrow(tmp) + "korvan-" + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryW(win32::widen(dir).c_str(), nullptr);
    return dir;
}

// Dispatches this thread's messages until `done` holds; false when it
// still does not after `limitMs` (a hang guard, not a timing check).
template <class Pred>
bool pumpUntil(Pred done, int limitMs = 60000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    MSG msg;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace served

// One WinINet handle, closed once. Move-only: a copy would close the same
// handle twice.
#pragma once

#include <windows.h>
#include <wininet.h>

namespace win32 {

class InetHandle {
public:
    InetHandle() = default;
    explicit InetHandle(HINTERNET h) : m_handle(h) {}
    InetHandle(InetHandle&& other) noexcept : m_handle(other.release()) {}
    InetHandle& operator=(InetHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    InetHandle(const InetHandle&) = delete;
    InetHandle& operator=(const InetHandle&) = delete;
    ~InetHandle() { reset(); }

    HINTERNET get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    HINTERNET release() {
        HINTERNET h = m_handle;
        m_handle = nullptr;
        return h;
    }
    void reset(HINTERNET h = nullptr) {
        if (m_handle) InternetCloseHandle(m_handle);
        m_handle = h;
    }

private:
    HINTERNET m_handle = nullptr;
};

}  // namespace win32

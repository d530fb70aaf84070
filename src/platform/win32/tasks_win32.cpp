// Workers whose results reach the UI thread as posted closures, and timers
// of that thread.
#include <windows.h>

#include <mutex>
#include <utility>

#include "platform/win32/platform_win32.h"

namespace win32 {
namespace {

constexpr UINT kRun = WM_APP + 1;   // lParam: a std::function<void()>* the window now owns
constexpr wchar_t kClass[] = L"KorvanTasks";

}  // namespace

struct Win32Tasks::Shared {
    std::mutex lock;
    HWND hwnd = nullptr;   // null once the service is going: posts are dropped

    void post(std::function<void()> f) {
        auto payload = std::make_unique<std::function<void()>>(std::move(f));
        std::lock_guard<std::mutex> hold(lock);
        if (hwnd && PostMessageW(hwnd, kRun, 0, reinterpret_cast<LPARAM>(payload.get()))) payload.release();
    }
};

Win32Tasks::Win32Tasks() : m_shared(std::make_shared<Shared>()) {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        return RegisterClassW(&wc) != 0;
    }();
    if (!registered) return;
    HWND h = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!h) return;
    SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_shared->hwnd = h;
}

Win32Tasks::~Win32Tasks() {
    for (Worker& w : m_workers)
        if (w.thread.joinable()) w.thread.join();
    HWND h;
    {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        h = std::exchange(m_shared->hwnd, nullptr);
    }
    if (!h) return;
    for (auto& [id, then] : m_timers) KillTimer(h, id);
    MSG msg;
    while (PeekMessageW(&msg, h, kRun, kRun, PM_REMOVE))
        delete reinterpret_cast<std::function<void()>*>(msg.lParam);
    DestroyWindow(h);
}

bool Win32Tasks::start(std::function<void(const Post& post)> job) {
    if (!m_shared->hwnd) return false;
    // Workers that have ended are let go here, so the list stays short.
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (*it->done) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
    try {
        m_workers.reserve(m_workers.size() + 1);   // the push below cannot throw then
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([shared = m_shared, job = std::move(job), done] {
            const Post post = [shared](std::function<void()> f) { shared->post(std::move(f)); };
            try {
                job(post);
            } catch (...) {
                // A job reports its own failures; an exception ends only it.
            }
            *done = true;
        });
        m_workers.push_back({std::move(thread), std::move(done)});
    } catch (...) {
        return false;
    }
    return true;
}

void Win32Tasks::after(unsigned ms, std::function<void()> then) {
    HWND h = m_shared->hwnd;
    if (!h) return;
    const UINT_PTR id = m_nextTimer++;
    if (SetTimer(h, id, ms == 0 ? 1 : ms, nullptr)) m_timers.emplace(id, std::move(then));
}

LRESULT CALLBACK Win32Tasks::proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kRun) {
        std::unique_ptr<std::function<void()>> f(reinterpret_cast<std::function<void()>*>(lp));
        if (f && *f) (*f)();
        return 0;
    }
    if (msg == WM_TIMER) {
        auto* self = reinterpret_cast<Win32Tasks*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        KillTimer(h, wp);
        if (!self) return 0;
        auto it = self->m_timers.find(wp);
        if (it == self->m_timers.end()) return 0;
        std::function<void()> then = std::move(it->second);
        self->m_timers.erase(it);
        then();
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace win32

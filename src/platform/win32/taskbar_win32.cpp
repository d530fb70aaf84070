// The taskbar button's progress.
#include "platform/win32/taskbar_win32.h"

#include <shobjidl.h>

#include "platform/win32/win32_form.h"

namespace win32 {
namespace {

HWND hwndOf(ui::Form& window) {
    auto* form = dynamic_cast<Win32Form*>(&window);
    return form ? form->hwnd() : nullptr;
}

bool elevated() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION e{};
    DWORD n = 0;
    const bool yes = GetTokenInformation(token, TokenElevation, &e, sizeof e, &n) && e.TokenIsElevated;
    CloseHandle(token);
    return yes;
}

// An elevated window does not get the shell's message that its button
// exists unless it lets it through (Windows 7 and later).
void letTaskbarMessageThrough(HWND window) {
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    static const bool needed = elevated();
    if (!needed) return;
    auto filter = reinterpret_cast<Filter>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")));
    static const UINT created = RegisterWindowMessageW(L"TaskbarButtonCreated");
    if (filter && created) filter(window, created, 1 /* MSGFLT_ALLOW */, nullptr);
}

}  // namespace

Win32Taskbar::~Win32Taskbar() {
    if (list_) list_->Release();
}

ITaskbarList3* Win32Taskbar::list(HWND window) {
    if (!window) return nullptr;
    if (!tried_) {
        tried_ = true;
        void* p = nullptr;
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, &p)) && p) {
            list_ = static_cast<ITaskbarList3*>(p);
            if (FAILED(list_->HrInit())) {
                list_->Release();
                list_ = nullptr;
            }
        }
    }
    if (list_) letTaskbarMessageThrough(window);
    return list_;
}

void Win32Taskbar::setState(ui::Form& window, platform::TaskbarState state) {
    const HWND h = hwndOf(window);
    ITaskbarList3* l = list(h);
    if (!l) return;
    TBPFLAG flag = TBPF_NOPROGRESS;
    switch (state) {
        case platform::TaskbarState::None: flag = TBPF_NOPROGRESS; break;
        case platform::TaskbarState::Indeterminate: flag = TBPF_INDETERMINATE; break;
        case platform::TaskbarState::Normal: flag = TBPF_NORMAL; break;
        case platform::TaskbarState::Error: flag = TBPF_ERROR; break;
    }
    l->SetProgressState(h, flag);   // a stub's failure changes nothing
}

void Win32Taskbar::setValue(ui::Form& window, std::uint64_t done, std::uint64_t total) {
    const HWND h = hwndOf(window);
    ITaskbarList3* l = list(h);
    if (!l || total == 0) return;
    l->SetProgressState(h, TBPF_NORMAL);
    l->SetProgressValue(h, done < total ? done : total, total);
}

}  // namespace win32

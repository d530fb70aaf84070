// Win32Windows: the window classes, the forms' lifetimes and the message
// loop (accelerators and dialog keys first).
#include "platform/win32/win32_form.h"

#include <commctrl.h>
#include <objidl.h>
// GDI+ decodes the JPEG of the splash; started here for the process.
#include <gdiplus.h>

#include "platform/win32/win32_form_internal.h"

namespace win32 {

Win32Windows::Win32Windows() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES |
                                             ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    Gdiplus::GdiplusStartupInput in;
    Gdiplus::GdiplusStartup(&gdiplusToken_, &in, nullptr);

    HINSTANCE inst = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);

    wc.lpfnWndProc = Win32Form::windowProc;
    wc.lpszClassName = kWindowClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(inst, L"APPICON");
    wc.hIconSm = static_cast<HICON>(LoadImageW(inst, L"APPICON", IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    RegisterClassExW(&wc);

    wc.hIcon = wc.hIconSm = nullptr;
    wc.lpfnWndProc = Win32Form::panelProc;
    wc.lpszClassName = kPanelClass;
    wc.hbrBackground = nullptr;
    RegisterClassExW(&wc);

    wc.lpfnWndProc = Win32Form::pictureProc;
    wc.lpszClassName = kPictureClass;
    RegisterClassExW(&wc);
}

Win32Windows::~Win32Windows() {
    quitWhenEmpty_ = false;
    while (!forms_.empty()) {
        auto f = std::move(forms_.back());
        forms_.pop_back();
        f.reset();
    }
    dead_.clear();
    if (gdiplusToken_) Gdiplus::GdiplusShutdown(gdiplusToken_);
}

ui::Form* Win32Windows::create(const ui::Layout& layout) {
    forms_.push_back(std::make_unique<Win32Form>(*this, layout));
    return forms_.back().get();
}

void Win32Windows::destroyed(Win32Form* f) {
    for (auto it = forms_.begin(); it != forms_.end(); ++it) {
        if (it->get() == f) {
            dead_.push_back(std::move(*it));
            forms_.erase(it);
            break;
        }
    }
    if (forms_.empty() && quitWhenEmpty_) PostQuitMessage(0);
}

void Win32Windows::sweep() { dead_.clear(); }

size_t Win32Windows::liveWindows() const { return forms_.size(); }

Win32Form* Win32Windows::formOf(HWND hwnd) const {
    for (auto& f : forms_)
        if (f->hwnd() == hwnd) return f.get();
    return nullptr;
}

void Win32Windows::dispatch(MSG& msg) {
    HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root) {
        Win32Form* f = formOf(root);
        if (f && f->accelerators() && TranslateAcceleratorW(root, f->accelerators(), &msg)) return;
        if (f && IsDialogMessageW(root, &msg)) return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int Win32Windows::run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        dispatch(msg);
        sweep();
    }
    return static_cast<int>(msg.wParam);
}

void Win32Windows::pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatch(msg);
    }
}

void Win32Windows::runModal(ui::Form& form) {
    auto& f = static_cast<Win32Form&>(form);
    if (!f.alive()) return;
    // Other windows of the tool wait while the modal one is up.
    std::vector<HWND> disabled;
    for (auto& other : forms_)
        if (other.get() != &f && other->hwnd() && IsWindowEnabled(other->hwnd())) {
            EnableWindow(other->hwnd(), FALSE);
            disabled.push_back(other->hwnd());
        }
    f.setVisible("", true);
    MSG msg;
    while (f.alive()) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        dispatch(msg);
    }
    for (HWND h : disabled)
        if (IsWindow(h)) EnableWindow(h, TRUE);
}

}  // namespace win32

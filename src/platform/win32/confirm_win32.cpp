// The session question and the question window's place over the main
// window.
#include "platform/win32/confirm_win32.h"

#include <algorithm>

#include "platform/win32/win32_form.h"

namespace win32 {

bool Win32Session::remote() {
    if (GetSystemMetrics(SM_REMOTESESSION) != 0) return true;
    // A remote session can report 0 above (RemoteFX); the console's session
    // number, where the system keeps it, tells it apart.
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return false;
    DWORD glass = 0, type = 0, size = sizeof glass;
    const LONG rc = RegQueryValueExW(key, L"GlassSessionId", nullptr, &type, reinterpret_cast<BYTE*>(&glass), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof glass) return false;
    DWORD mine = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &mine)) return false;
    return mine != glass;
}

namespace {

class Win32AnswerSignal final : public platform::AnswerSignal {
public:
    explicit Win32AnswerSignal(AnswerEvents events) : events_(std::move(events)) {}
    const std::string& name() const override { return events_.name(); }
    void keep() override { events_.keep(); }
    void undo() override { events_.undo(); }

private:
    AnswerEvents events_;
};

}  // namespace

std::unique_ptr<platform::AnswerSignal> Win32Session::answerEvents() {
    std::optional<AnswerEvents> events = AnswerEvents::create();
    if (!events) return nullptr;
    return std::make_unique<Win32AnswerSignal>(std::move(*events));
}

void placeOverForm(ui::Form& question, ui::Form& owner) { placeOver(static_cast<Win32Form&>(owner).hwnd())(question); }

std::function<void(ui::Form&)> placeOver(HWND owner) {
    return [owner](ui::Form& form) {
        auto& f = static_cast<Win32Form&>(form);
        HWND h = f.hwnd();
        if (!h) return;
        // A question that counts down is not put out of sight. Its default
        // button is its layout's.
        SetWindowLongPtrW(h, GWL_STYLE, GetWindowLongPtrW(h, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_MINIMIZEBOX));
        f.placeOverOwner(owner);
    };
}

}  // namespace win32

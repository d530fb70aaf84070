// Message boxes through MessageBoxW.
#include <windows.h>

#include <string>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

UINT iconFlags(platform::Icon icon) {
    switch (icon) {
        case platform::Icon::None: return 0;
        case platform::Icon::Information: return MB_ICONINFORMATION;
        case platform::Icon::Question: return MB_ICONQUESTION;
        case platform::Icon::Warning: return MB_ICONWARNING;
        case platform::Icon::Error: return MB_ICONERROR;
    }
    return 0;
}

UINT buttonFlags(platform::Buttons buttons) {
    switch (buttons) {
        case platform::Buttons::Ok: return MB_OK;
        case platform::Buttons::OkCancel: return MB_OKCANCEL;
        case platform::Buttons::YesNo: return MB_YESNO;
        case platform::Buttons::YesNoCancel: return MB_YESNOCANCEL;
        case platform::Buttons::RetryCancel: return MB_RETRYCANCEL;
        case platform::Buttons::AbortRetryIgnore: return MB_ABORTRETRYIGNORE;
    }
    return MB_OK;
}

UINT defaultButtonFlags(int index) {
    switch (index) {
        case 1: return MB_DEFBUTTON2;
        case 2: return MB_DEFBUTTON3;
        case 3: return MB_DEFBUTTON4;
        default: return MB_DEFBUTTON1;
    }
}

platform::Answer answerOf(int id) {
    switch (id) {
        case IDOK: return platform::Answer::Ok;
        case IDABORT: return platform::Answer::Abort;
        case IDRETRY: return platform::Answer::Retry;
        case IDIGNORE: return platform::Answer::Ignore;
        case IDYES: return platform::Answer::Yes;
        case IDNO: return platform::Answer::No;
        default: return platform::Answer::Cancel;  // IDCANCEL, or the box failed
    }
}

}  // namespace

platform::Answer Win32Dialogs::messageBox(const platform::MessageBoxSpec& spec) {
    const std::wstring text = widen(spec.text);
    const std::wstring title = widen(spec.title);
    const UINT flags = MB_TASKMODAL | iconFlags(spec.icon) | buttonFlags(spec.buttons) |
                       defaultButtonFlags(spec.defaultButton);
    return answerOf(MessageBoxW(nullptr, text.c_str(), title.c_str(), flags));
}

}  // namespace win32

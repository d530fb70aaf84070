// The input box: a dialog template built in memory (prompt, one edit line,
// OK and Cancel), run modally over the active window.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/platform_win32.h"
#include "platform/win32/wide.h"

namespace win32 {
namespace {

constexpr WORD kPromptId = 100;
constexpr WORD kEditId = 101;

// Builds a DLGTEMPLATE with its items in a WORD buffer.
class TemplateBuilder {
public:
    void dialog(DWORD style, short cx, short cy, const std::wstring& title, WORD points, const std::wstring& face,
                WORD items) {
        dword(style);
        dword(0);   // extended style
        words_.push_back(items);
        words_.push_back(0);   // x
        words_.push_back(0);   // y
        words_.push_back(static_cast<WORD>(cx));
        words_.push_back(static_cast<WORD>(cy));
        words_.push_back(0);   // no menu
        words_.push_back(0);   // standard class
        text(title);
        words_.push_back(points);
        text(face);
    }
    void item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD atom, const std::wstring& caption) {
        if (words_.size() % 2) words_.push_back(0);   // DWORD alignment
        dword(style | WS_CHILD | WS_VISIBLE);
        dword(0);
        words_.push_back(static_cast<WORD>(x));
        words_.push_back(static_cast<WORD>(y));
        words_.push_back(static_cast<WORD>(cx));
        words_.push_back(static_cast<WORD>(cy));
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(atom);
        text(caption);
        words_.push_back(0);   // no creation data
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void dword(DWORD v) {
        words_.push_back(LOWORD(v));
        words_.push_back(HIWORD(v));
    }
    void text(const std::wstring& s) {
        words_.insert(words_.end(), s.begin(), s.end());
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

struct BoxState {
    std::wstring initial;
    std::wstring result;
};

INT_PTR CALLBACK boxProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(h, DWLP_USER, lp);
        auto* st = reinterpret_cast<BoxState*>(lp);
        SetDlgItemTextW(h, kEditId, st->initial.c_str());
        // Centred over the owner, or the screen.
        RECT box, area;
        GetWindowRect(h, &box);
        HWND owner = GetWindow(h, GW_OWNER);
        if (!owner || !GetWindowRect(owner, &area)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        const int w = box.right - box.left, ht = box.bottom - box.top;
        SetWindowPos(h, nullptr, area.left + (area.right - area.left - w) / 2,
                     area.top + (area.bottom - area.top - ht) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SetFocus(GetDlgItem(h, kEditId));
        return FALSE;   // the focus is set
    }
    case WM_COMMAND:
        if (LOWORD(wp) == IDOK) {
            auto* st = reinterpret_cast<BoxState*>(GetWindowLongPtrW(h, DWLP_USER));
            HWND edit = GetDlgItem(h, kEditId);
            std::wstring t(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
            t.resize(static_cast<size_t>(GetWindowTextW(edit, t.data(), static_cast<int>(t.size()))));
            st->result = t;
            EndDialog(h, IDOK);
            return TRUE;
        }
        if (LOWORD(wp) == IDCANCEL) {
            EndDialog(h, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

std::optional<std::string> Win32Dialogs::inputBox(std::string_view title, std::string_view prompt,
                                                  std::string_view initial) {
    TemplateBuilder t;
    t.dialog(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 250, 74, widen(title), 9,
             L"MS Shell Dlg", 4);
    t.item(SS_LEFT, 7, 7, 236, 18, kPromptId, 0x0082, widen(prompt));
    t.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 28, 236, 14, kEditId, 0x0081, L"");
    t.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 138, 52, 50, 15, IDOK, 0x0080, L"确定");
    t.item(BS_PUSHBUTTON | WS_TABSTOP, 193, 52, 50, 15, IDCANCEL, 0x0080, L"取消");
    BoxState st{widen(initial), {}};
    const INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), t.get(), GetActiveWindow(), boxProc,
                                              reinterpret_cast<LPARAM>(&st));
    if (r != IDOK) return std::nullopt;
    return narrow(st.result);
}

}  // namespace win32

// The controls' own messages, through one subclass: typed characters,
// pastes and the Enter key of edit boxes, clicks, group box faces, the
// hyperlink cursor and the focus memory.
#include "platform/win32/win32_form.h"

#include <commctrl.h>

#include "platform/win32/wide.h"
#include "platform/win32/win32_form_internal.h"

namespace win32 {

namespace {

using ui::Event;
using ui::Kind;

std::string clipboardText(HWND owner) {
    std::string out;
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(owner)) return out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            out = narrow(p);
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    return out;
}

}  // namespace

LRESULT CALLBACK Win32Form::controlSubclass(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<Win32Form*>(data);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(h, controlSubclass, 1);
        return DefSubclassProc(h, msg, wp, lp);
    }
    UnitRec* u = self->byHwnd(h);
    if (!u) return DefSubclassProc(h, msg, wp, lp);
    bool handled = false;
    LRESULT r = self->controlMessage(*u, h, msg, wp, lp, handled);
    return handled ? r : DefSubclassProc(h, msg, wp, lp);
}

LRESULT Win32Form::controlMessage(UnitRec& u, HWND h, UINT msg, WPARAM wp, LPARAM lp, bool& handled) {
    const Kind k = u.unit->kind;
    const std::string name = u.name;   // the record may go with the window
    switch (msg) {
    case WM_LBUTTONDOWN:
        if (hasHandler(name, Event::MouseDown)) {
            fire(name, Event::MouseDown);
            if (!alive()) {
                handled = true;
                return 0;
            }
        }
        break;
    case WM_CHAR:
        if (k == Kind::Edit && hasHandler(name, Event::Char)) {
            ui::EventArgs a{name, Event::Char};
            a.code = static_cast<int>(wp);
            if (!fire(name, Event::Char, a)) {
                handled = true;
                return 0;
            }
        }
        break;
    case WM_PASTE:
        if (k == Kind::Edit && hasHandler(name, Event::Paste)) {
            ui::EventArgs a{name, Event::Paste};
            a.text = clipboardText(h);
            handled = true;
            if (fire(name, Event::Paste, a) && !a.text.empty())
                SendMessageW(h, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(widen(a.text).c_str()));
            return 0;
        }
        break;
    case WM_KEYDOWN:
        if (k == Kind::Edit && wp == VK_RETURN && hasHandler(name, Event::Enter)) {
            ui::EventArgs a{name, Event::Enter};
            if (!fire(name, Event::Enter, a)) {
                handled = true;
                return 0;
            }
        }
        break;
    case WM_GETDLGCODE:
        if (k == Kind::Edit && lp && reinterpret_cast<MSG*>(lp)->message == WM_KEYDOWN &&
            reinterpret_cast<MSG*>(lp)->wParam == VK_RETURN && hasHandler(name, Event::Enter)) {
            handled = true;
            return DefSubclassProc(h, msg, wp, lp) | DLGC_WANTALLKEYS;
        }
        break;
    case WM_ERASEBKGND:
        if (k == Kind::GroupBox) {
            // The frame control leaves its inside unpainted, and the window
            // clips its children from its own background: fill it here. The
            // units on the frame are siblings above it and stay untouched.
            RECT r;
            GetClientRect(h, &r);
            HBRUSH b = u.bg == ui::kDefaultColour ? GetSysColorBrush(COLOR_BTNFACE) : brushFor(u.bg);
            FillRect(reinterpret_cast<HDC>(wp), &r, b);
            handled = true;
            return 1;
        }
        break;
    case WM_PAINT:
        if (k == Kind::GroupBox) {
            // Fill what is to be painted; the frame control then draws itself.
            RECT r;
            if (GetUpdateRect(h, &r, FALSE)) {
                HDC dc = GetDC(h);
                FillRect(dc, &r, u.bg == ui::kDefaultColour ? GetSysColorBrush(COLOR_BTNFACE) : brushFor(u.bg));
                ReleaseDC(h, dc);
            }
        }
        break;
    case WM_SETFOCUS:
        lastFocus_ = h;
        break;
    case WM_SETCURSOR:
        if (k == Kind::Hyperlink) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            handled = true;
            return TRUE;
        }
        break;
    default:
        break;
    }
    return 0;
}

}  // namespace win32

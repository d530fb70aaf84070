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

LRESULT CALLBACK Win32Form::innerSubclass(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    // The four edits of an IP address field: named after the field, and the
    // default button follows the focus into them.
    auto* self = reinterpret_cast<Win32Form*>(data);
    switch (msg) {
    case WM_NCDESTROY:
        RemoveWindowSubclass(h, innerSubclass, 2);
        break;
    case WM_SETFOCUS: {
        LRESULT r = DefSubclassProc(h, msg, wp, lp);
        self->showDefault();
        return r;
    }
    case WM_GETOBJECT:
        if (static_cast<DWORD>(lp) == static_cast<DWORD>(OBJID_CLIENT)) {
            const UnitRec* field = self->byHwnd(GetParent(h));
            if (!field || field->accName.empty()) break;
            int part = 1;
            for (const auto& [edit, place] : field->inner) {
                if (edit == h) break;
                ++part;
            }
            const std::wstring name = field->accName + L" 第" + std::to_wstring(part) + L"段";
            bool handled = false;
            LRESULT r = accessibleObject(h, wp, lp, name, handled);
            if (handled) return r;
        }
        break;
    default:
        break;
    }
    return DefSubclassProc(h, msg, wp, lp);
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
        if (k == Kind::Edit && (u.unit->flags & ui::kMultiLine) && lp) {
            // A multi-line box keeps Enter but lets Tab and Esc go to the
            // window, as in a dialog: a command needs no tab character.
            const MSG* m = reinterpret_cast<MSG*>(lp);
            if ((m->message == WM_KEYDOWN || m->message == WM_CHAR) &&
                (m->wParam == VK_TAB || m->wParam == VK_ESCAPE)) {
                handled = true;
                return DefSubclassProc(h, msg, wp, lp) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
            }
        }
        break;
    case WM_GETOBJECT:
        if (static_cast<DWORD>(lp) == static_cast<DWORD>(OBJID_CLIENT) && !u.accName.empty()) {
            const std::wstring accName = u.accName;
            LRESULT r = accessibleObject(h, wp, lp, accName, handled);
            if (handled) return r;
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
        showDefault();
        if (k == Kind::Radio) {
            // What the option does when it gets the focus is watched (see
            // the window's BN_CLICKED).
            focusing_ = h;
            const LRESULT r = DefSubclassProc(h, msg, wp, lp);
            focusing_ = nullptr;
            handled = true;
            return r;
        }
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

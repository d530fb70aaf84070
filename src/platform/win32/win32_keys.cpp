// The keyboard of every window, as in a dialog: Enter presses the focused
// button, else the window's default one (the layout's keys), which is drawn
// as the default; Esc carries out the window's cancel; Tab lands only where
// the user can see, on one option of a group. The message loop hands the
// keys to IsDialogMessage (win32_windows.cpp), which asks the window here.
#include "platform/win32/win32_form.h"

#include "platform/win32/win32_form_internal.h"

namespace win32 {

namespace {

using ui::Kind;

bool isPushButton(const ui::Unit& u) { return u.kind == Kind::Button || u.kind == Kind::FlatButton; }

}  // namespace

bool takesTab(const ui::Unit& u) {
    switch (u.kind) {
    case Kind::Edit:
        return !(u.flags & ui::kBehind);   // a frame others lie on is no field
    case Kind::Button:
    case Kind::FlatButton:
    case Kind::CheckBox:
    case Kind::Radio:
    case Kind::DropList:
    case Kind::DriveBox:
    case Kind::IpAddress:
    case Kind::ListView:
        return true;
    default:
        return false;
    }
}

namespace {

void setStyleBit(HWND h, LONG_PTR bit, bool on) {
    const LONG_PTR style = GetWindowLongPtrW(h, GWL_STYLE);
    if (((style & bit) != 0) != on) SetWindowLongPtrW(h, GWL_STYLE, on ? style | bit : style & ~bit);
}

}  // namespace

Win32Form::UnitRec* Win32Form::unitOfFocus() {
    for (HWND h = GetFocus(); h && h != hwnd_; h = GetParent(h))
        if (UnitRec* u = byHwnd(h)) return u;
    return nullptr;
}

Win32Form::UnitRec* Win32Form::enterTarget() {
    const UnitRec* f = unitOfFocus();
    const std::string_view name = ui::enterButton(layout_, f ? std::string_view(f->name) : std::string_view());
    UnitRec* b = name.empty() ? nullptr : find(name);
    // Seen as the window shows it (the default is drawn before it shows).
    if (!b || !b->hwnd || !effectiveVisible(*b) || !IsWindowEnabled(b->hwnd)) return nullptr;
    return b;
}

void Win32Form::press(UnitRec& u) {
    if (!u.hwnd || !effectiveVisible(u) || !IsWindowEnabled(u.hwnd)) return;
    const std::string name = u.name;   // the handlers may close the window
    fire(name, ui::Event::Click);
}

void Win32Form::showDefault() {
    if (!hwnd_ || closing_) return;
    const UnitRec* target = enterTarget();
    const HWND want = target ? target->hwnd : nullptr;
    if (want == defaultShown_ && (!want || (GetWindowLongPtrW(want, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON))
        return;
    for (auto& u : units_) {
        if (!u->hwnd || !isPushButton(*u->unit)) continue;
        const LONG_PTR style = GetWindowLongPtrW(u->hwnd, GWL_STYLE);
        const bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        if (isDefault == (u->hwnd == want)) continue;
        // BM_SETSTYLE replaces the low word: BS_FLAT and the rest are kept.
        const WPARAM type = u->hwnd == want ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        SendMessageW(u->hwnd, BM_SETSTYLE, (style & 0xFFFF & ~BS_TYPEMASK) | type, TRUE);
    }
    defaultShown_ = want;
}

void Win32Form::refreshTabStops() {
    if (!hwnd_) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    // A control wholly outside the client area (a store box below the edge,
    // the whois panel while the window is narrow) is out of the user's
    // reach; so are the options of a group but the chosen one.
    auto seen = [&](HWND h) {
        RECT r, both;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        return IntersectRect(&both, &r, &client) != FALSE;
    };
    for (size_t i = 0; i < units_.size(); ++i) {
        UnitRec& u = *units_[i];
        if (!u.hwnd) continue;
        if (u.unit->kind != Kind::Radio) {
            setStyleBit(u.hwnd, WS_TABSTOP, takesTab(*u.unit) && seen(u.hwnd));
            continue;
        }
        // The run of options of one container that starts here.
        size_t end = i;
        while (end < units_.size() && units_[end]->unit->kind == Kind::Radio && units_[end]->parent == u.parent) ++end;
        size_t stop = i;
        for (size_t j = i; j < end; ++j)
            if (units_[j]->hwnd && SendMessageW(units_[j]->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED) stop = j;
        for (size_t j = i; j < end; ++j)
            if (units_[j]->hwnd) setStyleBit(units_[j]->hwnd, WS_TABSTOP, j == stop && seen(units_[j]->hwnd));
        i = end - 1;
    }
}

bool Win32Form::keyMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case DM_GETDEFID: {
        const UnitRec* b = enterTarget();
        result = b ? MAKELRESULT(GetDlgCtrlID(b->hwnd), DC_HASDEFID) : 0;
        return true;
    }
    case WM_COMMAND: {
        const HWND ctl = reinterpret_cast<HWND>(lp);
        const WORD id = LOWORD(wp), code = HIWORD(wp);
        if (code == EN_SETFOCUS && ctl) {
            // An IP address field reports the focus of its inner edits.
            showDefault();
            return false;
        }
        if (code != BN_CLICKED || (ctl && byHwnd(ctl))) return false;
        // From the dialog keys: Enter with no default (IDOK), Esc
        // (IDCANCEL), or Enter on a default that is no direct child.
        if (id == IDOK) {
            if (UnitRec* b = enterTarget()) press(*b);
        } else if (id == IDCANCEL) {
            if (!layout_.keys.cancelButton.empty()) {
                if (UnitRec* c = find(layout_.keys.cancelButton)) press(*c);
            } else if (layout_.keys.escapeCloses) {
                close();
            }
        } else {
            UnitRec* target = nullptr;
            for (auto& u : units_)
                if (u->hwnd && isPushButton(*u->unit) && GetDlgCtrlID(u->hwnd) == id) target = u.get();
            if (!target) return false;   // a menu item
            press(*target);
        }
        result = 0;
        return true;
    }
    case WM_SIZE:
        refreshTabStops();
        return false;
    default:
        return false;
    }
}

}  // namespace win32

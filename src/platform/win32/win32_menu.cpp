// The menu bar and its keyboard accelerators, built from the menu units of
// a layout; the message loop translates the accelerators (win32_windows.cpp).
#include "platform/win32/win32_form.h"

#include <cstdlib>

#include "platform/win32/wide.h"
#include "platform/win32/win32_form_internal.h"

namespace win32 {

namespace {

constexpr UINT kFirstMenuId = 1000;

using ui::Kind;

// "Ctrl+A", "Alt+Shift+F5" -> an accelerator entry.
bool parseAccelerator(std::string_view text, WORD id, ACCEL& out) {
    BYTE flags = FVIRTKEY;
    WORD key = 0;
    size_t from = 0;
    while (from <= text.size()) {
        size_t plus = text.find('+', from);
        std::string_view part = text.substr(from, plus == std::string_view::npos ? std::string_view::npos : plus - from);
        if (part == "Ctrl") flags |= FCONTROL;
        else if (part == "Alt") flags |= FALT;
        else if (part == "Shift") flags |= FSHIFT;
        else if (part.size() == 1 && ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= '0' && part[0] <= '9')))
            key = static_cast<WORD>(part[0]);
        else if (part.size() >= 2 && part[0] == 'F') key = static_cast<WORD>(VK_F1 + std::atoi(std::string(part.substr(1)).c_str()) - 1);
        if (plus == std::string_view::npos) break;
        from = plus + 1;
    }
    if (!key) return false;
    out = ACCEL{flags, key, id};
    return true;
}

}  // namespace

void Win32Form::buildMenu() {
    std::vector<ACCEL> accels;
    UINT nextId = kFirstMenuId;
    for (auto& up : units_) {
        UnitRec& u = *up;
        if (u.unit->kind == Kind::Menu) {
            if (!menuBar_) menuBar_ = CreateMenu();
            u.menu = CreatePopupMenu();
            AppendMenuW(menuBar_, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(u.menu), widen(u.caption).c_str());
        } else if (u.unit->kind == Kind::MenuItem && u.parent && u.parent->menu) {
            u.menu = u.parent->menu;
            u.menuId = nextId++;
            std::string label = u.caption;
            if (!u.unit->extra.empty()) label += "\t" + std::string(u.unit->extra);
            if (u.unit->flags & ui::kSeparatorBefore) AppendMenuW(u.menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(u.menu, MF_STRING | (u.checked ? MF_CHECKED : 0), u.menuId, widen(label).c_str());
            ACCEL a;
            if (parseAccelerator(u.unit->extra, static_cast<WORD>(u.menuId), a)) accels.push_back(a);
        }
    }
    if (menuBar_) SetMenu(hwnd_, menuBar_);
    if (!accels.empty()) accel_ = CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size()));
}

}  // namespace win32

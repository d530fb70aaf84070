// A window that moves to a monitor of another DPI: the one rescaling of
// every window. The window takes the rectangle the system suggests, makes
// its fonts afresh at the new DPI and places every unit again from its
// 96-DPI rectangle (where the handlers last put it) with the rounding of
// its creation, so a window back at its first DPI is exactly as it was.
#include "platform/win32/win32_form.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/wide.h"
#include "platform/win32/win32_form_internal.h"

namespace win32 {

namespace {

using ui::Kind;

}  // namespace

int systemDpi() {
    HDC dc = GetDC(nullptr);
    const int d = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return d > 0 ? d : 96;
}

int metricForDpi(int index, int dpi) {
    using Fn = int(WINAPI*)(int, UINT);
    static const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    if (fn) return fn(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, systemDpi());
}

void Win32Form::updateIcons() {
    if (!hwnd_ || layout_.popup) return;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    const int sizes[2] = {metricForDpi(SM_CXSMICON, dpi_), metricForDpi(SM_CXICON, dpi_)};
    const WPARAM kinds[2] = {ICON_SMALL, ICON_BIG};
    for (int i = 0; i < 2; ++i) {
        auto icon = static_cast<HICON>(LoadImageW(inst, L"APPICON", IMAGE_ICON, sizes[i], sizes[i], 0));
        if (!icon) continue;
        SendMessageW(hwnd_, WM_SETICON, kinds[i], reinterpret_cast<LPARAM>(icon));
        if (icons_[i]) DestroyIcon(icons_[i]);
        icons_[i] = icon;
    }
}

HIMAGELIST Win32Form::listImages(const ui::Unit& u) const {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    const std::wstring wide = widen(u.extra);
    if (dpi_ == 96)
        return ImageList_LoadImageW(inst, wide.c_str(), 16, 0, RGB(255, 0, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
    // The strip of 16-pixel images stretched pixel for pixel, so the mask
    // colour stays exact.
    auto strip = static_cast<HBITMAP>(LoadImageW(inst, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!strip) return nullptr;
    BITMAP bm{};
    GetObjectW(strip, sizeof bm, &bm);
    const int w = scale(bm.bmWidth), h = scale(bm.bmHeight);
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    HBITMAP big = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ oldFrom = SelectObject(from, strip), oldTo = SelectObject(to, big);
    SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, 0, 0, w, h, from, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    ReleaseDC(nullptr, screen);
    HIMAGELIST list = ImageList_Create(scale(16), h, ILC_COLOR24 | ILC_MASK, bm.bmWidth / 16, 0);
    if (list) ImageList_AddMasked(list, big, RGB(255, 0, 255));
    DeleteObject(big);
    DeleteObject(strip);
    return list;
}

void Win32Form::placeInner(UnitRec& u) {
    // The field lays its edits out once, when it is made: they are placed
    // from that layout, scaled from the DPI it was made at.
    HFONT f = u.fontSet ? fontFor(u.font) : defaultFont_;
    for (const auto& [edit, r] : u.inner) {
        auto s = [&](LONG v) { return MulDiv(v, dpi_, u.innerDpi); };
        SetWindowPos(edit, nullptr, s(r.left), s(r.top), s(r.right) - s(r.left), s(r.bottom) - s(r.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    }
}

void Win32Form::rescale(int dpi, const RECT* suggested) {
    if (!hwnd_ || dpi <= 0) return;
    dpi_ = dpi;

    // Fonts at the new DPI; the old ones go once no control uses them.
    std::map<std::pair<std::string, int>, HFONT> old = std::move(fonts_);
    fonts_.clear();
    LOGFONTW lf{};
    GetObjectW(defaultFont_, sizeof lf, &lf);
    makeDefaultFont(lf);

    if (suggested) {
        const int w = suggested->right - suggested->left, h = suggested->bottom - suggested->top;
        RECT now;
        GetWindowRect(hwnd_, &now);
        const bool atLayout = now.right - now.left == windowPhysical_.cx && now.bottom - now.top == windowPhysical_.cy;
        if (atLayout) windowPhysical_ = {w, h};
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    for (auto& u : units_) {
        applyFont(*u);
        if (!u->hwnd) continue;
        if (!u->parent || u->parent->container) place(*u);   // places what lies on it too
        const Kind k = u->unit->kind;
        if (k == Kind::IpAddress) placeInner(*u);
        if (k == Kind::ListView) {
            for (size_t c = 0; c < u->columnWidths.size(); ++c)
                SendMessageW(u->hwnd, LVM_SETCOLUMNWIDTH, c, scale(u->columnWidths[c]));
            if (u->images && !u->unit->extra.empty()) {
                if (HIMAGELIST fresh = listImages(*u->unit)) {
                    SendMessageW(u->hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(fresh));
                    ImageList_Destroy(u->images);
                    u->images = fresh;
                }
            }
        }
        if (k == Kind::DropList || k == Kind::DriveBox) {
            // The selection field and the items as high as the new font.
            HDC dc = GetDC(u->hwnd);
            HGDIOBJ was = SelectObject(dc, u->fontSet ? fontFor(u->font) : defaultFont_);
            TEXTMETRICW tm{};
            GetTextMetricsW(dc, &tm);
            SelectObject(dc, was);
            ReleaseDC(u->hwnd, dc);
            SendMessageW(u->hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), tm.tmHeight + scale(2));
            SendMessageW(u->hwnd, CB_SETITEMHEIGHT, 0, tm.tmHeight);
        }
    }
    for (auto& [key, f] : old)
        if (f) DeleteObject(f);

    updateIcons();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    refreshTabStops();
    // The windows placed over this one follow it.
    for (auto& f : owner_.forms_)
        if (f.get() != this && f->placedOver_ == hwnd_) f->centreOverOwner();
}

void Win32Form::placeOverOwner(HWND owner) {
    if (!hwnd_) return;
    if (owner && IsWindow(owner)) SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    placedOver_ = owner;
    centreOverOwner();
}

void Win32Form::centreOverOwner() {
    if (!hwnd_) return;
    const HWND owner = placedOver_ && IsWindow(placedOver_) ? placedOver_ : nullptr;
    RECT box{}, over{};
    GetWindowRect(hwnd_, &box);
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    HMONITOR monitor = MonitorFromWindow(owner ? owner : hwnd_, MONITOR_DEFAULTTONEAREST);
    if (!GetMonitorInfoW(monitor, &mi)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &mi.rcWork, 0);
    const RECT& work = mi.rcWork;
    if (!owner || IsIconic(owner) || !GetWindowRect(owner, &over)) over = work;
    const int w = box.right - box.left, h = box.bottom - box.top;
    int x = over.left + (over.right - over.left - w) / 2;
    int y = over.top + (over.bottom - over.top - h) / 2;
    x = std::max(static_cast<int>(work.left), std::min(x, static_cast<int>(work.right) - w));
    y = std::max(static_cast<int>(work.top), std::min(y, static_cast<int>(work.bottom) - h));
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

}  // namespace win32

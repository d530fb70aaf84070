// The form: the window and its controls built from a layout, their
// placement, the unit properties, the events and the window's messages.
// Neighbours by concern: win32_paint.cpp (labels, canvases, pictures),
// win32_lists.cpp (list views and drop lists), win32_menu.cpp (menu bar and
// accelerators), win32_timers.cpp, win32_subclass.cpp (the controls' own
// messages) and win32_windows.cpp (window classes and the message loop).
#include "platform/win32/win32_form.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/win32/wide.h"
#include "platform/win32/win32_form_internal.h"
#include "ui/address.h"

namespace win32 {

namespace {

constexpr int kDropListExtra = 200;   // height of a drop list's opened list

using ui::Colour;
using ui::Event;
using ui::Kind;

// DPI of a window (per monitor where the platform knows it), else the
// screen's.
int dpiOf(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static auto fn = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (fn && hwnd) {
        UINT d = fn(hwnd);
        if (d) return static_cast<int>(d);
    }
    return systemDpi();
}

bool isChineseFace(std::string_view face) {
    for (unsigned char c : face)
        if (c >= 0x80) return true;
    return face == "SimSun" || face == "SimHei" || face == "NSimSun";
}

}  // namespace

std::wstring windowText(HWND h) {
    int n = GetWindowTextLengthW(h);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    int got = GetWindowTextW(h, w.data(), n + 1);
    w.resize(static_cast<size_t>(std::max(got, 0)));
    return w;
}

// ---------------------------------------------------------------------------

Win32Form::Win32Form(Win32Windows& owner, const ui::Layout& layout) : owner_(owner), layout_(layout) { build(); }

Win32Form::~Win32Form() {
    if (hwnd_) {
        closing_ = true;
        DestroyWindow(hwnd_);
    }
    for (auto& u : units_) {
        if (u->bitmap) DeleteObject(u->bitmap);
        if (u->images) ImageList_Destroy(u->images);
    }
    if (accel_) DestroyAcceleratorTable(accel_);
    for (HICON i : icons_)
        if (i) DestroyIcon(i);
    for (auto& [k, f] : fonts_) DeleteObject(f);
    for (auto& [k, b] : brushes_) DeleteObject(b);
}

void Win32Form::build() {
    const bool popup = layout_.popup;
    DWORD style = popup ? WS_POPUP | WS_CLIPCHILDREN
                        : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    if (layout_.resizable && !popup) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    DWORD exStyle = popup ? WS_EX_TOOLWINDOW : 0;
    hwnd_ = CreateWindowExW(exStyle, kWindowClass, widen(layout_.title).c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                            layout_.width, layout_.height, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd_) return;
    dpi_ = dpiOf(hwnd_);

    // Outer size from the layout, centred on the work area.
    windowLogical_ = {0, 0, layout_.width, layout_.height};
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int w = scale(layout_.width), h = scale(layout_.height);
    int x = work.left + std::max(0, static_cast<int>((work.right - work.left - w) / 2));
    int y = work.top + std::max(0, static_cast<int>((work.bottom - work.top - h) / 2));
    SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    windowPhysical_ = {w, h};

    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    makeDefaultFont(ncm.lfMessageFont);

    for (const ui::Unit& u : layout_.units) {
        auto rec = std::make_unique<UnitRec>();
        rec->unit = &u;
        rec->name = std::string(u.name);
        if (!u.parent.empty()) rec->parent = find(u.parent);
        rec->rect = {u.left, u.top, u.width, u.height};
        rec->visible = !(u.flags & ui::kHidden);
        rec->enabled = !(u.flags & ui::kDisabled);
        rec->checked = (u.flags & ui::kChecked) != 0;
        rec->fg = u.textColour;
        rec->bg = u.backColour;
        rec->bars = (u.flags & ui::kVScroll) ? ui::ScrollBars::Vertical : ui::ScrollBars::None;
        if (!u.font.face.empty() || u.font.height || u.font.bold || u.font.underline) {
            rec->font = u.font;
            rec->fontSet = true;
        }
        if (ui::needsName(u.kind)) rec->accName = widen(ui::accessibleName(layout_, u.name));
        UnitRec* raw = rec.get();
        units_.push_back(std::move(rec));
        byName_.emplace(raw->name, raw);
        createUnit(*raw);
    }
    buildMenu();

    // Frames under what lies on them: deepest group boxes first, so that the
    // outermost ends at the very bottom; frames flagged "behind" lowest.
    auto depth = [](const UnitRec* u) {
        int d = 0;
        for (; u->parent; u = u->parent) ++d;
        return d;
    };
    std::vector<UnitRec*> frames;
    for (auto& u : units_)
        if (u->hwnd && (u->unit->kind == Kind::GroupBox || (u->unit->flags & ui::kBehind))) frames.push_back(u.get());
    std::stable_sort(frames.begin(), frames.end(), [&](UnitRec* a, UnitRec* b) {
        bool ab = a->unit->flags & ui::kBehind, bb = b->unit->flags & ui::kBehind;
        if (ab != bb) return !ab;
        return depth(a) > depth(b);
    });
    // A unit that lies over an earlier one (a link over a text) is drawn
    // above it; units that do not overlap keep the creation order, which is
    // also the keyboard order. The keyboard order stays the table's: of two
    // fields that overlap the earlier stays above, and a field over a text
    // is put above by putting the text below it.
    auto isFrame = [](const UnitRec* u) {
        return u->unit->kind == Kind::GroupBox || (u->unit->flags & ui::kBehind);
    };
    auto isField = [](const UnitRec* u) { return takesTab(*u->unit); };
    for (size_t i = 0; i < units_.size(); ++i) {
        UnitRec* a = units_[i].get();
        if (!a->hwnd || isFrame(a)) continue;
        for (size_t j = 0; j < i; ++j) {
            UnitRec* b = units_[j].get();
            if (!b->hwnd || isFrame(b) || GetParent(b->hwnd) != GetParent(a->hwnd)) continue;
            RECT ra, rb, both;
            GetWindowRect(a->hwnd, &ra);
            GetWindowRect(b->hwnd, &rb);
            if (!IntersectRect(&both, &ra, &rb)) continue;
            if (isField(a)) {
                if (!isField(b)) SetWindowPos(b->hwnd, a->hwnd, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
                continue;
            }
            // Over an option: above its whole group, which stays together
            // for the arrow keys.
            size_t k = j;
            while (b->unit->kind == Kind::Radio && k > 0 && units_[k - 1]->unit->kind == Kind::Radio &&
                   units_[k - 1]->parent == b->parent && units_[k - 1]->hwnd)
                --k;
            HWND above = GetWindow(units_[k]->hwnd, GW_HWNDPREV);
            SetWindowPos(a->hwnd, above ? above : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    for (UnitRec* u : frames) {
        if (u->container) {
            // The panel keeps its place; its frame goes under its own units.
            SetWindowPos(u->frame, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        } else {
            SetWindowPos(u->hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    // A group of options ends at the control after it: the arrow keys stay
    // among the options.
    for (size_t i = 0; i + 1 < units_.size(); ++i) {
        const UnitRec* a = units_[i].get();
        if (a->unit->kind != Kind::Radio || !a->hwnd) continue;
        for (size_t j = i + 1; j < units_.size(); ++j) {
            UnitRec* b = units_[j].get();
            if (!b->hwnd || GetParent(b->hwnd) != GetParent(a->hwnd)) continue;
            if (b->unit->kind != Kind::Radio || b->parent != a->parent)
                SetWindowLongPtrW(b->hwnd, GWL_STYLE, GetWindowLongPtrW(b->hwnd, GWL_STYLE) | WS_GROUP);
            break;
        }
    }
    refreshTabStops();
    showDefault();
    if (dpi_ != systemDpi()) updateIcons();
}

HWND Win32Form::hostOf(const UnitRec& u) const {
    if (!u.parent) return hwnd_;
    if (u.parent->container) return u.parent->hwnd;
    return hostOf(*u.parent);
}

POINT Win32Form::origin(const UnitRec& u) const {
    // Logical offset of the unit's container within the host window.
    int x = 0, y = 0;
    for (const UnitRec* p = u.parent; p && !p->container; p = p->parent) {
        x += p->rect.left;
        y += p->rect.top;
    }
    return {x, y};
}

bool Win32Form::effectiveVisible(const UnitRec& u) const {
    if (!u.visible) return false;
    if (!u.parent || u.parent->container) return true;
    return effectiveVisible(*u.parent);
}

void Win32Form::createUnit(UnitRec& u) {
    const ui::Unit& d = *u.unit;
    HINSTANCE inst = GetModuleHandleW(nullptr);
    const int id = static_cast<int>(units_.size()) + 100;
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
    DWORD ex = 0;
    const wchar_t* cls = nullptr;
    std::wstring text = widen(d.text);

    switch (d.kind) {
    case Kind::Menu:
    case Kind::MenuItem:
        u.caption = std::string(d.text);
        return;   // built by buildMenu
    case Kind::Timer:
        u.timerId = static_cast<UINT_PTR>(id);
        return;
    case Kind::GroupBox:
        if (d.flags & ui::kClip) {
            u.container = true;
            cls = kPanelClass;
            style |= WS_CLIPCHILDREN;
        } else {
            cls = WC_BUTTONW;
            style |= BS_GROUPBOX;
        }
        break;
    case Kind::Canvas:
    case Kind::Browser:
        u.container = true;
        cls = kPanelClass;
        style |= WS_CLIPCHILDREN;
        text.clear();
        break;
    case Kind::Label: {
        if (u.parent && u.parent->unit->kind == Kind::Canvas) {
            u.drawn = true;
            u.caption = std::string(d.text);
            return;
        }
        cls = WC_STATICW;
        // A label of one line clips a text that is too long instead of
        // wrapping it out of sight; explicit line breaks still break.
        // Such a label is drawn by the window: its line is the first line
        // that holds text, so a caption that starts with a line break still
        // shows its text instead of a half-cut second line.
        bool oneLine = u.rect.height < 28;
        style |= SS_NOPREFIX | ((d.flags & ui::kCentre) ? SS_CENTER : oneLine ? SS_OWNERDRAW : SS_LEFT);
        break;
    }
    case Kind::Hyperlink:
        cls = WC_STATICW;
        style |= SS_NOPREFIX | SS_NOTIFY | SS_LEFT;
        if (u.fg == ui::kDefaultColour) u.fg = ui::rgb(0, 0, 255);
        if (!u.fontSet) u.font = ui::Font{};
        u.font.underline = true;
        u.fontSet = true;
        break;
    case Kind::Edit:
        cls = WC_EDITW;
        style |= WS_TABSTOP;
        if (d.flags & ui::kMultiLine) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
        else style |= ES_AUTOHSCROLL;
        if (d.flags & ui::kPassword) style |= ES_PASSWORD;
        if (d.flags & ui::kReadOnly) style |= ES_READONLY;
        if (d.flags & ui::kVScroll) style |= WS_VSCROLL;
        if (d.flags & ui::kSunken) ex |= WS_EX_STATICEDGE;
        else if (d.flags & ui::kLineBorder) style |= WS_BORDER;
        else if (!(d.flags & ui::kNoBorder)) ex |= WS_EX_CLIENTEDGE;
        break;
    case Kind::Button:
    case Kind::FlatButton:
        cls = WC_BUTTONW;
        style |= WS_TABSTOP | BS_PUSHBUTTON | (d.kind == Kind::FlatButton ? BS_FLAT : 0);
        break;
    case Kind::CheckBox:
        cls = WC_BUTTONW;
        style |= WS_TABSTOP | BS_AUTOCHECKBOX;
        break;
    case Kind::Radio: {
        cls = WC_BUTTONW;
        style |= WS_TABSTOP | BS_AUTORADIOBUTTON;
        // The first radio of a container starts a group.
        bool first = true;
        for (auto& other : units_)
            if (other.get() != &u && other->unit->kind == Kind::Radio && other->parent == u.parent && other->hwnd)
                first = false;
        if (first) style |= WS_GROUP;
        break;
    }
    case Kind::DropList:
    case Kind::DriveBox:
        cls = WC_COMBOBOXW;
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
        text.clear();
        break;
    case Kind::IpAddress:
        cls = WC_IPADDRESSW;
        style |= WS_TABSTOP;
        text.clear();
        break;
    case Kind::ListView:
        cls = WC_LISTVIEWW;
        style |= WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS | LVS_SINGLESEL |
                 ((d.flags & ui::kEditLabels) ? LVS_EDITLABELS : 0);
        ex |= WS_EX_CLIENTEDGE;
        text.clear();
        break;
    case Kind::Progress: {
        cls = PROGRESS_CLASSW;
        // The layout text gives the range as "min,max".
        std::string r(d.text);
        size_t comma = r.find(',');
        if (comma != std::string::npos) {
            u.rangeMin = std::atoi(r.substr(0, comma).c_str());
            u.rangeMax = std::atoi(r.substr(comma + 1).c_str());
        }
        text.clear();
        break;
    }
    case Kind::Picture:
        cls = kPictureClass;
        text.clear();
        break;
    }

    if (!u.enabled) style |= WS_DISABLED;
    HWND host = hostOf(u);
    POINT o = origin(u);
    int x = scale(o.x + u.rect.left), y = scale(o.y + u.rect.top);
    int w = scale(u.rect.width), h = scale(u.rect.height);
    if (d.kind == Kind::DropList || d.kind == Kind::DriveBox) h += scale(kDropListExtra);

    u.hwnd = CreateWindowExW(ex, cls, text.c_str(), style, x, y, w, h, host,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, this);
    if (!u.hwnd) return;

    if (d.kind == Kind::GroupBox && u.container) {
        u.frame = CreateWindowExW(0, WC_BUTTONW, widen(d.text).c_str(), WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, w,
                                  scale(u.rect.height), u.hwnd, nullptr, inst, nullptr);
        SendMessageW(u.frame, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_), FALSE);
    }
    SetWindowSubclass(u.hwnd, controlSubclass, 1, reinterpret_cast<DWORD_PTR>(this));
    applyFont(u);

    switch (d.kind) {
    case Kind::Edit:
        if (d.flags & ui::kMultiLine) SendMessageW(u.hwnd, EM_SETLIMITTEXT, 0, 0);
        break;
    case Kind::ListView:
        SendMessageW(u.hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        if (!d.extra.empty()) {
            u.images = listImages(d);
            if (u.images) SendMessageW(u.hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(u.images));
        }
        break;
    case Kind::Progress:
        SendMessageW(u.hwnd, PBM_SETRANGE32, u.rangeMin, u.rangeMax);
        break;
    case Kind::IpAddress:
        // Its four edits: named, and placed again when the DPI changes.
        u.innerDpi = dpi_;
        for (HWND c = GetWindow(u.hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            RECT r;
            GetWindowRect(c, &r);
            MapWindowPoints(nullptr, u.hwnd, reinterpret_cast<POINT*>(&r), 2);
            u.inner.emplace_back(c, r);
            SetWindowSubclass(c, innerSubclass, 2, reinterpret_cast<DWORD_PTR>(this));
        }
        std::sort(u.inner.begin(), u.inner.end(), [](auto& a, auto& b) { return a.second.left < b.second.left; });
        break;
    case Kind::DriveBox: {
        wchar_t drives[512] = {};
        DWORD n = GetLogicalDriveStringsW(511, drives);
        wchar_t cur[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, cur);
        int select = -1;
        for (const wchar_t* p = drives; n && *p; p += wcslen(p) + 1) {
            std::wstring entry;
            entry += static_cast<wchar_t>(towlower(p[0]));
            entry += L':';
            int idx = static_cast<int>(SendMessageW(u.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str())));
            if (towlower(p[0]) == towlower(cur[0])) select = idx;
        }
        SendMessageW(u.hwnd, CB_SETCURSEL, select, 0);
        break;
    }
    case Kind::Picture:
        if (!d.extra.empty()) u.bitmap = loadPictureResource(widen(d.extra).c_str());
        break;
    default:
        break;
    }
    if (d.flags & ui::kChecked) SendMessageW(u.hwnd, BM_SETCHECK, BST_CHECKED, 0);
    if (effectiveVisible(u)) ShowWindow(u.hwnd, SW_SHOWNA);
}

HFONT Win32Form::fontFor(const ui::Font& spec) {
    std::string key = spec.face + (spec.bold ? "|b" : "") + (spec.underline ? "|u" : "");
    int height = spec.height > 0 ? spec.height : kDefaultFontHeight;
    if (key.empty() && height == kDefaultFontHeight) return defaultFont_;
    auto it = fonts_.find({key, height});
    if (it != fonts_.end()) return it->second;
    LOGFONTW lf{};
    GetObjectW(defaultFont_, sizeof lf, &lf);
    lf.lfHeight = -scale(height);
    lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = spec.underline ? TRUE : FALSE;
    if (!spec.face.empty()) {
        std::wstring face = widen(spec.face);
        wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
        lf.lfFaceName[LF_FACESIZE - 1] = 0;
        lf.lfCharSet = isChineseFace(spec.face) ? GB2312_CHARSET : DEFAULT_CHARSET;
    }
    HFONT f = CreateFontIndirectW(&lf);
    fonts_[{key, height}] = f;
    return f;
}

HBRUSH Win32Form::brushFor(Colour c) {
    auto it = brushes_.find(c);
    if (it != brushes_.end()) return it->second;
    HBRUSH b = CreateSolidBrush(toColorRef(c));
    brushes_[c] = b;
    return b;
}

void Win32Form::applyFont(UnitRec& u) {
    if (u.drawn) {
        u.index = {};
        invalidateDrawn(u, u.rect);
    }
    if (!u.hwnd) return;
    HFONT f = u.fontSet ? fontFor(u.font) : defaultFont_;
    SendMessageW(u.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
    if (u.frame) SendMessageW(u.frame, WM_SETFONT, reinterpret_cast<WPARAM>(f), TRUE);
}

void Win32Form::place(UnitRec& u) {
    if (!u.hwnd) return;
    POINT o = origin(u);
    int h = scale(u.rect.height);
    if (u.unit->kind == Kind::DropList || u.unit->kind == Kind::DriveBox) h += scale(kDropListExtra);
    SetWindowPos(u.hwnd, nullptr, scale(o.x + u.rect.left), scale(o.y + u.rect.top), scale(u.rect.width), h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    if (u.frame) SetWindowPos(u.frame, nullptr, 0, 0, scale(u.rect.width), scale(u.rect.height), SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    // Units laid out inside a plain group box move with it.
    if (!u.container)
        for (auto& other : units_)
            if (other->parent == &u) place(*other);
}

void Win32Form::applyVisibility(UnitRec& u) {
    if (u.drawn) invalidateDrawn(u, u.rect);
    if (u.hwnd) ShowWindow(u.hwnd, effectiveVisible(u) ? SW_SHOWNA : SW_HIDE);
    if (!u.container)
        for (auto& other : units_)
            if (other->parent == &u) applyVisibility(*other);
}

// --- lookups -----------------------------------------------------------------

Win32Form::UnitRec* Win32Form::find(std::string_view unit) {
    auto it = byName_.find(unit);
    return it == byName_.end() ? nullptr : it->second;
}

const Win32Form::UnitRec* Win32Form::find(std::string_view unit) const {
    auto it = byName_.find(unit);
    return it == byName_.end() ? nullptr : it->second;
}

Win32Form::UnitRec* Win32Form::byHwnd(HWND h) {
    if (!h) return nullptr;
    for (auto& u : units_)
        if (u->hwnd == h || u->frame == h) return u.get();
    return nullptr;
}

Win32Form::UnitRec* Win32Form::byTimer(UINT_PTR id) {
    for (auto& u : units_)
        if (u->unit->kind == Kind::Timer && u->timerId == id) return u.get();
    return nullptr;
}

Win32Form::UnitRec* Win32Form::byMenuId(UINT id) {
    for (auto& u : units_)
        if (u->menuId == id && u->unit->kind == Kind::MenuItem) return u.get();
    return nullptr;
}

bool Win32Form::has(std::string_view unit) const { return unit.empty() || find(unit) != nullptr; }

HWND Win32Form::unitHwnd(std::string_view unit) const {
    if (unit.empty()) return hwnd_;
    const UnitRec* u = find(unit);
    return u ? u->hwnd : nullptr;
}

UINT Win32Form::menuId(std::string_view unit) const {
    const UnitRec* u = find(unit);
    return u ? u->menuId : 0;
}

// --- properties --------------------------------------------------------------

std::string Win32Form::text(std::string_view unit) const {
    if (unit.empty()) return hwnd_ ? narrow(windowText(hwnd_)) : std::string();
    const UnitRec* u = find(unit);
    if (!u) return {};
    if (u->drawn) return u->caption;
    switch (u->unit->kind) {
    case Kind::Menu:
    case Kind::MenuItem:
        return u->caption;
    case Kind::Timer:
    case Kind::Progress:
    case Kind::Picture:
    case Kind::Canvas:
    case Kind::Browser:
        return {};
    case Kind::IpAddress: {
        DWORD a = 0;
        LRESULT filled = SendMessageW(u->hwnd, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&a));
        if (filled == 0) return {};
        return ui::formatAddress({static_cast<int>(FIRST_IPADDRESS(a)), static_cast<int>(SECOND_IPADDRESS(a)),
                                  static_cast<int>(THIRD_IPADDRESS(a)), static_cast<int>(FOURTH_IPADDRESS(a))});
    }
    case Kind::DropList:
    case Kind::DriveBox: {
        int sel = static_cast<int>(SendMessageW(u->hwnd, CB_GETCURSEL, 0, 0));
        return sel < 0 ? std::string() : itemText(unit, sel, 0);
    }
    default:
        return narrow(windowText(u->frame ? u->frame : u->hwnd));
    }
}

void Win32Form::setText(std::string_view unit, std::string_view text) {
    if (unit.empty()) {
        if (hwnd_) SetWindowTextW(hwnd_, widen(text).c_str());
        return;
    }
    UnitRec* u = find(unit);
    if (!u) return;
    if (u->drawn) {
        u->caption = std::string(text);
        u->index = {};
        invalidateDrawn(*u, u->rect);
        return;
    }
    switch (u->unit->kind) {
    case Kind::Menu:
    case Kind::MenuItem: {
        u->caption = std::string(text);
        if (u->unit->kind == Kind::MenuItem && u->menu) {
            std::string label = u->caption;
            if (!u->unit->extra.empty()) label += "\t" + std::string(u->unit->extra);
            std::wstring w = widen(label);
            MENUITEMINFOW mi{};
            mi.cbSize = sizeof mi;
            mi.fMask = MIIM_STRING;
            mi.dwTypeData = w.data();
            SetMenuItemInfoW(u->menu, u->menuId, FALSE, &mi);
        }
        return;
    }
    case Kind::IpAddress: {
        auto a = ui::parseAddressText(text);
        if (a)
            SendMessageW(u->hwnd, IPM_SETADDRESS, 0, MAKEIPADDRESS((*a)[0], (*a)[1], (*a)[2], (*a)[3]));
        else
            SendMessageW(u->hwnd, IPM_CLEARADDRESS, 0, 0);
        return;
    }
    case Kind::Timer:
    case Kind::Progress:
    case Kind::Picture:
    case Kind::Canvas:
    case Kind::Browser:
    case Kind::DropList:
    case Kind::DriveBox:
        return;
    case Kind::Edit:
        if (u->unit->flags & ui::kMultiLine) {
            // A multi-line edit sends no EN_CHANGE for WM_SETTEXT; raise
            // Changed as for every other edit box.
            const bool changed = this->text(unit) != text;
            SetWindowTextW(u->hwnd, widen(text).c_str());
            if (changed) fire(u->name, Event::Changed);
            return;
        }
        SetWindowTextW(u->hwnd, widen(text).c_str());
        return;
    default:
        SetWindowTextW(u->frame ? u->frame : u->hwnd, widen(text).c_str());
    }
}

ui::Rect Win32Form::rect(std::string_view unit) const {
    if (unit.empty()) {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        int w = r.right - r.left, h = r.bottom - r.top;
        ui::Rect out{unscale(r.left), unscale(r.top), unscale(w), unscale(h)};
        // Report the size last set when the window still has it, so that
        // sizes survive the round trip through the scale exactly.
        if (w == windowPhysical_.cx) out.width = windowLogical_.width;
        if (h == windowPhysical_.cy) out.height = windowLogical_.height;
        return out;
    }
    const UnitRec* u = find(unit);
    return u ? u->rect : ui::Rect{};
}

void Win32Form::setRect(std::string_view unit, const ui::Rect& r) {
    if (unit.empty()) {
        if (!hwnd_) return;
        ui::Rect now = rect("");
        UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (now.left == r.left && now.top == r.top) flags |= SWP_NOMOVE;
        windowLogical_ = r;
        windowPhysical_ = {scale(r.width), scale(r.height)};
        SetWindowPos(hwnd_, nullptr, scale(r.left), scale(r.top), scale(r.width), scale(r.height), flags);
        return;
    }
    UnitRec* u = find(unit);
    if (!u) return;
    if (u->drawn) {
        const ui::Rect old = u->rect;
        u->rect = r;
        moveDrawn(*u, old);
        return;
    }
    u->rect = r;
    place(*u);
}

bool Win32Form::visible(std::string_view unit) const {
    if (unit.empty()) return hwnd_ && IsWindowVisible(hwnd_);
    const UnitRec* u = find(unit);
    return u && u->visible;
}

void Win32Form::setVisible(std::string_view unit, bool on) {
    if (unit.empty()) {
        if (!hwnd_) return;
        if (on) {
            ShowWindow(hwnd_, SW_SHOW);
            BringWindowToTop(hwnd_);
            SetForegroundWindow(hwnd_);
        } else {
            ShowWindow(hwnd_, SW_HIDE);
        }
        return;
    }
    UnitRec* u = find(unit);
    if (!u) return;
    u->visible = on;
    applyVisibility(*u);
    if (u->hwnd) showDefault();
}

bool Win32Form::enabled(std::string_view unit) const {
    if (unit.empty()) return hwnd_ && IsWindowEnabled(hwnd_);
    const UnitRec* u = find(unit);
    if (!u) return false;
    if (u->unit->kind == Kind::MenuItem || u->unit->kind == Kind::Timer || u->unit->kind == Kind::Menu) return u->enabled;
    return u->hwnd && IsWindowEnabled(u->hwnd);
}

void Win32Form::setEnabled(std::string_view unit, bool on) {
    if (unit.empty()) {
        if (hwnd_) EnableWindow(hwnd_, on);
        return;
    }
    UnitRec* u = find(unit);
    if (!u) return;
    u->enabled = on;
    if (u->hwnd) EnableWindow(u->hwnd, on);
    if (u->hwnd) showDefault();   // a disabled default is not drawn as one
    if (u->unit->kind == Kind::MenuItem && u->menu)
        EnableMenuItem(u->menu, u->menuId, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

bool Win32Form::checked(std::string_view unit) const {
    const UnitRec* u = find(unit);
    if (!u) return false;
    if (u->unit->kind == Kind::MenuItem) return u->checked;
    return u->hwnd && SendMessageW(u->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Form::setChecked(std::string_view unit, bool on) {
    UnitRec* u = find(unit);
    if (!u) return;
    if (u->unit->kind == Kind::MenuItem) {
        u->checked = on;
        if (u->menu) CheckMenuItem(u->menu, u->menuId, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
        return;
    }
    if (u->hwnd) SendMessageW(u->hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    if (u->unit->kind == Kind::Radio) refreshTabStops();
}

// --- look ----------------------------------------------------------------------

ui::Font Win32Form::font(std::string_view unit) const {
    const UnitRec* u = find(unit);
    if (u && u->fontSet) return u->font;
    LOGFONTW lf{};
    GetObjectW(defaultFont_, sizeof lf, &lf);
    return ui::Font{narrow(lf.lfFaceName), kDefaultFontHeight};
}

void Win32Form::setFont(std::string_view unit, const ui::Font& font) {
    UnitRec* u = find(unit);
    if (!u) return;
    u->font = font;
    u->fontSet = true;
    applyFont(*u);
}

ui::Size Win32Form::measureText(std::string_view unit, std::string_view text) const {
    const UnitRec* u = find(unit);
    auto* self = const_cast<Win32Form*>(this);
    HFONT f = (u && u->fontSet) ? self->fontFor(u->font) : defaultFont_;
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, f);
    std::wstring w = widen(text);
    SIZE s{};
    GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &s);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return {unscale(s.cx), unscale(s.cy)};
}

void Win32Form::setTextColour(std::string_view unit, Colour c) {
    UnitRec* u = find(unit);
    if (!u) return;
    u->fg = c;
    if (u->drawn) invalidateDrawn(*u, u->rect);
    if (u->hwnd) InvalidateRect(u->hwnd, nullptr, TRUE);
}

Colour Win32Form::textColour(std::string_view unit) const {
    const UnitRec* u = find(unit);
    return u ? u->fg : ui::kDefaultColour;
}

void Win32Form::setBackColour(std::string_view unit, Colour c) {
    UnitRec* u = find(unit);
    if (!u) return;
    u->bg = c;
    if (u->drawn) invalidateDrawn(*u, u->rect);
    if (u->hwnd) InvalidateRect(u->hwnd, nullptr, TRUE);
}

Colour Win32Form::backColour(std::string_view unit) const {
    const UnitRec* u = find(unit);
    return u ? u->bg : ui::kDefaultColour;
}

void Win32Form::setScrollBars(std::string_view unit, ui::ScrollBars bars) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return;
    u->bars = bars;
    bool v = bars == ui::ScrollBars::Vertical || bars == ui::ScrollBars::Both;
    bool h = bars == ui::ScrollBars::Horizontal || bars == ui::ScrollBars::Both;
    ShowScrollBar(u->hwnd, SB_VERT, v);
    ShowScrollBar(u->hwnd, SB_HORZ, h);
    SetWindowPos(u->hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

ui::ScrollBars Win32Form::scrollBars(std::string_view unit) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd) return ui::ScrollBars::None;
    LONG_PTR style = GetWindowLongPtrW(u->hwnd, GWL_STYLE);
    bool v = style & WS_VSCROLL, h = style & WS_HSCROLL;
    return v && h ? ui::ScrollBars::Both : v ? ui::ScrollBars::Vertical : h ? ui::ScrollBars::Horizontal : ui::ScrollBars::None;
}

int Win32Form::position(std::string_view unit) const {
    const UnitRec* u = find(unit);
    return (u && u->hwnd) ? static_cast<int>(SendMessageW(u->hwnd, PBM_GETPOS, 0, 0)) : 0;
}

void Win32Form::setPosition(std::string_view unit, int pos) {
    UnitRec* u = find(unit);
    if (u && u->hwnd) SendMessageW(u->hwnd, PBM_SETPOS, pos, 0);
}

void Win32Form::repaint(std::string_view unit) {
    HWND h = unitHwnd(unit);
    if (h) RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
}

void Win32Form::focus(std::string_view unit) {
    HWND h = unitHwnd(unit);
    if (!h) return;
    // Remembered even when the window cannot take the focus now (hidden
    // during start-up, or behind a message box): it gets it when activated.
    if (h != hwnd_) lastFocus_ = h;
    SetFocus(h);
}

bool Win32Form::restoreFocus() {
    HWND f = lastFocus_;
    if (!f || !IsWindow(f) || !IsChild(hwnd_, f) || !IsWindowVisible(f) || !IsWindowEnabled(f)) return false;
    SetFocus(f);
    return true;
}

bool Win32Form::hasFocus(std::string_view unit) const {
    HWND h = unitHwnd(unit);
    HWND f = GetFocus();
    return h && f && (f == h || IsChild(h, f));
}

void Win32Form::bringToFront() {
    if (!hwnd_) return;
    if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    else ShowWindow(hwnd_, SW_SHOW);
    BringWindowToTop(hwnd_);
    SetForegroundWindow(hwnd_);
}

void Win32Form::setShield(std::string_view unit, bool on) {
    if (HWND h = unitHwnd(unit)) SendMessageW(h, BCM_SETSHIELD, 0, on ? TRUE : FALSE);
}

void Win32Form::close() {
    if (hwnd_ && !closing_) SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

// --- events ------------------------------------------------------------------

void Win32Form::on(std::string_view unit, Event event, ui::Handler handler) {
    handlers_.push_back({{std::string(unit), event}, std::move(handler)});
}

bool Win32Form::hasHandler(std::string_view unit, Event ev) const {
    for (auto& h : handlers_)
        if (h.first.first == unit && h.first.second == ev) return true;
    return false;
}

bool Win32Form::fire(std::string_view unit, Event ev, ui::EventArgs& args) {
    args.unit = unit;
    args.event = ev;
    size_t n = handlers_.size();
    for (size_t i = 0; i < n && i < handlers_.size(); ++i) {
        if (handlers_[i].first.first == unit && handlers_[i].first.second == ev) {
            ui::Handler h = handlers_[i].second;   // a handler may bind others
            h(args);
        }
    }
    return args.accept;
}

bool Win32Form::fire(std::string_view unit, Event ev) {
    ui::EventArgs args{unit, ev};
    return fire(unit, ev, args);
}

LRESULT CALLBACK Win32Form::windowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<Win32Form*>(cs->lpCreateParams)->hwnd_ = h;
    }
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(h, GWLP_USERDATA));
    if (!self || self->hwnd_ != h) return DefWindowProcW(h, msg, wp, lp);
    return self->handle(msg, wp, lp);
}

LRESULT Win32Form::handle(UINT msg, WPARAM wp, LPARAM lp) {
    HWND h = hwnd_;
    if (LRESULT r = 0; keyMessage(msg, wp, lp, r)) return r;
    switch (msg) {
    case WM_GETDPISCALEDSIZE: {
        // The size for the new DPI is the layout's, scaled as at creation.
        auto* s = reinterpret_cast<SIZE*>(lp);
        RECT now;
        GetWindowRect(h, &now);
        const int w = now.right - now.left, ht = now.bottom - now.top, to = static_cast<int>(wp);
        s->cx = w == windowPhysical_.cx ? MulDiv(windowLogical_.width, to, 96) : MulDiv(w, to, dpi_);
        s->cy = ht == windowPhysical_.cy ? MulDiv(windowLogical_.height, to, 96) : MulDiv(ht, to, dpi_);
        return TRUE;
    }
    case WM_DPICHANGED:
        rescale(LOWORD(wp), reinterpret_cast<const RECT*>(lp));
        return 0;
    case WM_GETMINMAXINFO: {
        // The layout's size is never cut to the screen's: at a high DPI the
        // window may be taller than a small screen, as any window may.
        auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
        mm->ptMaxTrackSize.x = std::max(mm->ptMaxTrackSize.x, windowPhysical_.cx);
        mm->ptMaxTrackSize.y = std::max(mm->ptMaxTrackSize.y, windowPhysical_.cy);
        return 0;
    }
    case WM_COMMAND: {
        HWND ctl = reinterpret_cast<HWND>(lp);
        if (!ctl) {
            if (UnitRec* u = byMenuId(LOWORD(wp))) {
                if (u->enabled) fire(u->name, Event::Click);
            }
            return 0;
        }
        UnitRec* u = byHwnd(ctl);
        if (!u) break;
        const Kind k = u->unit->kind;
        const WORD code = HIWORD(wp);
        if ((k == Kind::Button || k == Kind::FlatButton || k == Kind::CheckBox || k == Kind::Radio) && code == BN_CLICKED) {
            if (k == Kind::Radio && ctl == focusing_ && (GetKeyState(VK_TAB) & 0x8000)) {
                // Windows clicks an unchosen option that Tab brings the focus
                // to; Tab only visits (the arrows choose).
                SendMessageW(ctl, BM_SETCHECK, BST_UNCHECKED, 0);
                refreshTabStops();
                return 0;
            }
            fire(u->name, Event::Click);
            if (k == Kind::Radio && alive()) refreshTabStops();
        }
        else if (k == Kind::Hyperlink && code == STN_CLICKED)
            fire(u->name, Event::Click);
        else if (k == Kind::Edit && code == EN_CHANGE)
            fire(u->name, Event::Changed);
        else if ((k == Kind::DropList || k == Kind::DriveBox) && code == CBN_SELCHANGE) {
            ui::EventArgs a{u->name, Event::Selected};
            a.index = static_cast<int>(SendMessageW(ctl, CB_GETCURSEL, 0, 0));
            fire(u->name, Event::Selected, a);
        }
        return 0;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lp);
        UnitRec* u = byHwnd(hdr->hwndFrom);
        if (!u || u->unit->kind != Kind::ListView) break;
        return listNotify(u, lp);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
        UnitRec* u = byHwnd(reinterpret_cast<HWND>(lp));
        if (!u || (u->fg == ui::kDefaultColour && u->bg == ui::kDefaultColour)) break;
        HDC dc = reinterpret_cast<HDC>(wp);
        if (u->fg != ui::kDefaultColour) SetTextColor(dc, toColorRef(u->fg));
        Colour bg = u->bg;
        if (bg == ui::kDefaultColour) {
            bool editFace = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
            bg = static_cast<Colour>(GetSysColor(editFace ? COLOR_WINDOW : COLOR_BTNFACE));
        }
        SetBkColor(dc, toColorRef(bg));
        return reinterpret_cast<LRESULT>(brushFor(bg));
    }
    case WM_DRAWITEM: {
        auto* di = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        UnitRec* u = di->CtlType == ODT_STATIC ? byHwnd(di->hwndItem) : nullptr;
        if (!u || u->unit->kind != Kind::Label) break;
        drawLabel(*u, di->hDC, di->rcItem);
        return TRUE;
    }
    case WM_TIMER:
        if (UnitRec* u = byTimer(wp)) {
            u->lastTick = GetTickCount64();
            ui::EventArgs a{u->name, Event::Tick};
            a.code = 1;
            fire(u->name, Event::Tick, a);
            return 0;
        }
        break;
    case kTimerCatchUp:
        catchUp(wp);
        return 0;
    case WM_WINDOWPOSCHANGED:
        // Shown, hidden, minimised or restored.
        syncResting();
        break;
    case WM_LBUTTONDOWN:
        fire("", Event::MouseDown);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wp) == WA_INACTIVE) {
            HWND f = GetFocus();
            if (f && IsChild(h, f)) lastFocus_ = f;
            fire("", Event::Deactivated);
            break;
        }
        if (!HIWORD(wp) && restoreFocus()) return 0;
        break;
    case WM_SETFOCUS:
        if (restoreFocus()) return 0;
        break;
    case WM_CLOSE: {
        if (closing_) return 0;
        ui::EventArgs a{"", Event::CanClose};
        if (!fire("", Event::CanClose, a)) return 0;
        closing_ = true;
        DestroyWindow(h);
        return 0;
    }
    case WM_DESTROY:
        closing_ = true;
        for (auto& u : units_)
            if (u->unit->kind == Kind::Timer && u->period) KillTimer(h, u->timerId);
        fire("", Event::Destroyed);
        return 0;
    case WM_NCDESTROY: {
        LRESULT r = DefWindowProcW(h, msg, wp, lp);
        hwnd_ = nullptr;
        for (auto& u : units_) u->hwnd = u->frame = nullptr;
        owner_.destroyed(this);
        return r;
    }
    default:
        break;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

// The window's default font: `base` at the layouts' text size at the
// window's DPI, set on the window and kept as the font of the default spec.
void Win32Form::makeDefaultFont(LOGFONTW base) {
    base.lfHeight = -scale(kDefaultFontHeight);
    base.lfWidth = 0;
    defaultFont_ = CreateFontIndirectW(&base);
    fonts_[{"", 0}] = defaultFont_;
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_), FALSE);
}

}  // namespace win32

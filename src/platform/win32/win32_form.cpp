#include "platform/win32/win32_form.h"

#include <commctrl.h>
#include <objidl.h>
#include <shlwapi.h>
#include <windowsx.h>
// GDI+ decodes the JPEG of the splash.
#include <gdiplus.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/win32/wide.h"
#include "ui/address.h"

namespace win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"KorvanWindow";
constexpr wchar_t kPanelClass[] = L"KorvanPanel";
constexpr wchar_t kPictureClass[] = L"KorvanPicture";
constexpr int kDropListExtra = 200;   // height of a drop list's opened list
constexpr UINT kFirstMenuId = 1000;
constexpr int kDefaultFontHeight = 11;   // the layouts' text size, 96-DPI pixels
// Posted to a window whose resting timers start again: their first tick
// counts the periods that went by meanwhile.
constexpr UINT kTimerCatchUp = WM_APP + 0x201;
// Characters per entry of a drawn label's position index.
constexpr size_t kIndexChunk = 64;

using ui::Colour;
using ui::Event;
using ui::Kind;

COLORREF toColorRef(Colour c) { return static_cast<COLORREF>(c); }

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
    HDC dc = GetDC(nullptr);
    int d = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return d > 0 ? d : 96;
}

bool isChineseFace(std::string_view face) {
    for (unsigned char c : face)
        if (c >= 0x80) return true;
    return face == "SimSun" || face == "SimHei" || face == "NSimSun";
}

std::wstring windowText(HWND h) {
    int n = GetWindowTextLengthW(h);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    int got = GetWindowTextW(h, w.data(), n + 1);
    w.resize(static_cast<size_t>(std::max(got, 0)));
    return w;
}

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

// ---------------------------------------------------------------------------

struct Win32Form::UnitRec {
    const ui::Unit* unit = nullptr;
    std::string name;
    UnitRec* parent = nullptr;   // containing unit, nullptr for the window
    HWND hwnd = nullptr;         // the control; for a clip group box the panel
    HWND frame = nullptr;        // clip group box: its BUTTON frame
    bool container = false;      // a real window that clips its units
    ui::Rect rect;               // 96-DPI, relative to the containing unit
    bool visible = true;
    bool enabled = true;
    bool checked = false;        // menu items
    bool fontSet = false;
    ui::Font font;
    Colour fg = ui::kDefaultColour;
    Colour bg = ui::kDefaultColour;
    ui::ScrollBars bars = ui::ScrollBars::None;
    int period = 0;              // timers
    UINT_PTR timerId = 0;
    ULONGLONG lastTick = 0;      // timers: when the last tick was due
    bool resting = false;        // timers flagged kRestsUnseen: stopped while the window is unseen
    UINT menuId = 0;             // menu items
    HMENU menu = nullptr;        // menu: its popup; menu item: the popup it is in
    std::string caption;         // menu captions
    HBITMAP bitmap = nullptr;    // pictures
    HIMAGELIST images = nullptr; // list views
    // List views hold no items of their own (owner data): the rows live
    // here and the control asks for what it draws, so filling a list of
    // tens of thousands of entries costs one message.
    struct Row {
        std::vector<std::string> cells;    // column 0 is the title; UTF-8, widened when drawn
        int value = 0;
        int image = -1;
    };
    std::vector<Row> rows;
    bool redrawOff = false;      // list views: rows added while off are counted when on
    bool countStale = false;
    int rangeMin = 0, rangeMax = 100;
    bool drawn = false;          // a label painted by its canvas; caption holds its text
    // Drawn labels: where every kIndexChunk-th character of the caption
    // starts, so that a paint finds the few characters it has to draw in a
    // caption of megabytes without measuring the rest. Built at the first
    // paint after the caption or the font changed.
    struct TextIndex {
        HFONT font = nullptr;
        std::vector<size_t> bytes;   // offset in the caption of each chunk, then its size
        std::vector<int> x;          // where each chunk starts, physical pixels, then the end
        // The chunks last drawn, widened and measured: a tick draws where the
        // one before drew.
        size_t first = 0, end = 0;
        std::wstring wide;
        std::vector<int> ends;       // extent after each character of `wide`
    } index;
    // Canvases: the background colour of the last whole paint, used when a
    // slide paints the columns it uncovers (kDefaultColour: not known yet).
    Colour face = ui::kDefaultColour;
};

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

    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    LOGFONTW lf = ncm.lfMessageFont;
    lf.lfHeight = -scale(kDefaultFontHeight);
    lf.lfWidth = 0;
    defaultFont_ = CreateFontIndirectW(&lf);
    fonts_[{"", 0}] = defaultFont_;
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(defaultFont_), FALSE);

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
    // also the keyboard order.
    auto isFrame = [](const UnitRec* u) {
        return u->unit->kind == Kind::GroupBox || (u->unit->flags & ui::kBehind);
    };
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
            HWND above = GetWindow(b->hwnd, GW_HWNDPREV);
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
            u.images = ImageList_LoadImageW(inst, widen(d.extra).c_str(), 16, 0, RGB(255, 0, 255), IMAGE_BITMAP,
                                            LR_CREATEDIBSECTION);
            if (u.images) SendMessageW(u.hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(u.images));
        }
        break;
    case Kind::Progress:
        SendMessageW(u.hwnd, PBM_SETRANGE32, u.rangeMin, u.rangeMax);
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
            AppendMenuW(u.menu, MF_STRING | (u.checked ? MF_CHECKED : 0), u.menuId, widen(label).c_str());
            ACCEL a;
            if (parseAccelerator(u.unit->extra, static_cast<WORD>(u.menuId), a)) accels.push_back(a);
        }
    }
    if (menuBar_) SetMenu(hwnd_, menuBar_);
    if (!accels.empty()) accel_ = CreateAcceleratorTableW(accels.data(), static_cast<int>(accels.size()));
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

void Win32Form::invalidateDrawn(const UnitRec& u, const ui::Rect& a) {
    if (!u.parent || !u.parent->hwnd) return;
    RECT r{scale(a.left), scale(a.top), scale(a.left + a.width), scale(a.top + a.height)};
    InvalidateRect(u.parent->hwnd, &r, FALSE);
}

void Win32Form::moveDrawn(UnitRec& u, const ui::Rect& old) {
    HWND canvas = u.parent ? u.parent->hwnd : nullptr;
    if (!canvas || !IsWindowVisible(canvas)) return;   // painted whole when it shows
    auto physical = [this](const ui::Rect& a) {
        return RECT{scale(a.left), scale(a.top), scale(a.left + a.width), scale(a.top + a.height)};
    };
    RECT client, from = physical(old), to = physical(u.rect), band, seen;
    GetClientRect(canvas, &client);
    UnionRect(&band, &from, &to);
    IntersectRect(&band, &band, &client);
    const int dx = to.left - from.left;

    // A label that only slides sideways (the ticker) moves the pixels already
    // drawn; only the columns it uncovers are painted again. The canvas is one
    // colour, so the moved background is still right.
    bool slide = u.visible && !u.caption.empty() && dx != 0 && std::abs(dx) < client.right && old.top == u.rect.top &&
                 old.height == u.rect.height && old.width == u.rect.width;
    for (auto& other : units_) {
        if (!slide) break;
        const UnitRec& o = *other;
        if (&o == &u || !o.drawn || o.parent != u.parent || !o.visible) continue;
        RECT orect = physical(o.rect), both;
        if (IntersectRect(&both, &orect, &band)) slide = false;   // it would move along
    }
    if (!slide) {
        if (IntersectRect(&seen, &from, &client)) InvalidateRect(canvas, &seen, FALSE);
        if (IntersectRect(&seen, &to, &client)) InvalidateRect(canvas, &seen, FALSE);
        return;
    }
    if (IsRectEmpty(&band)) return;   // wholly outside the strip
    // The pixels to move are the current ones: a paint that is due comes
    // before a timer's tick (and a catch-up tick paints first). Straight into
    // the canvas's DC, with no paint message: what the scroll uncovers is
    // drawn at once.
    HDC dc = GetDC(canvas);
    HRGN uncovered = CreateRectRgn(0, 0, 0, 0);
    ScrollDC(dc, dx, 0, &band, &band, uncovered, nullptr);
    RECT box;
    if (GetRgnBox(uncovered, &box) != NULLREGION) paintCanvas(*u.parent, dc, box);
    // Scaled to another DPI the clipping right edge may move a pixel more or
    // less than the text.
    const int edgeA = std::min(from.right + dx, to.right), edgeB = std::max(from.right + dx, to.right);
    RECT edge{edgeA, to.top, edgeB, to.bottom};
    if (edgeA < edgeB && IntersectRect(&seen, &edge, &client)) paintCanvas(*u.parent, dc, seen);
    DeleteObject(uncovered);
    ReleaseDC(canvas, dc);
}

void Win32Form::drawCaption(UnitRec& u, HDC dc, const RECT& r, const RECT& clip) {
    // Only the characters that fall into `clip` are widened, measured and
    // drawn: the caption may be megabytes long.
    UnitRec::TextIndex& idx = u.index;
    const HFONT font = static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT));
    const std::string& text = u.caption;
    if (idx.font != font || idx.bytes.empty()) {
        idx.font = font;
        idx.bytes.clear();
        idx.x.clear();
        size_t pos = 0;
        int x = 0;
        while (pos < text.size()) {
            size_t end = pos;
            for (size_t n = 0; n < kIndexChunk && end < text.size(); ++n) {
                const auto c = static_cast<unsigned char>(text[end]);
                end += c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            }
            end = std::min(end, text.size());
            idx.bytes.push_back(pos);
            idx.x.push_back(x);
            const std::wstring w = widen(std::string_view(text).substr(pos, end - pos));
            SIZE sz{};
            GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &sz);
            x += sz.cx;
            pos = end;
        }
        idx.bytes.push_back(text.size());
        idx.x.push_back(x);
        idx.wide.clear();
    }
    // Text-relative span to draw; chunks [c, e) cover it.
    const int a = clip.left - r.left, b = clip.right - r.left;
    if (b <= 0 || a >= idx.x.back()) return;
    const auto xs = idx.x.begin();
    size_t c = static_cast<size_t>(std::upper_bound(xs, idx.x.end() - 1, a) - xs);
    if (c) --c;
    size_t e = static_cast<size_t>(std::lower_bound(xs + static_cast<long>(c) + 1, idx.x.end(), b) - xs);
    e = std::min(e, idx.x.size() - 1);
    if (idx.wide.empty() || idx.first != c || idx.end != e) {
        idx.first = c;
        idx.end = e;
        idx.wide = widen(std::string_view(text).substr(idx.bytes[c], idx.bytes[e] - idx.bytes[c]));
        idx.ends.assign(idx.wide.size(), 0);
        SIZE sz{};
        GetTextExtentExPointW(dc, idx.wide.c_str(), static_cast<int>(idx.wide.size()), 0, nullptr, idx.ends.data(), &sz);
    }
    const std::wstring& w = idx.wide;
    const std::vector<int>& ends = idx.ends;
    if (w.empty()) return;
    const int base = idx.x[c];
    // The first character that reaches into the span, and one before it for
    // a glyph that overhangs; the last that starts before its end, and one
    // after it.
    size_t first = static_cast<size_t>(std::upper_bound(ends.begin(), ends.end(), a - base) - ends.begin());
    if (first) --first;
    if (first && IS_LOW_SURROGATE(w[first])) --first;
    size_t last = static_cast<size_t>(std::lower_bound(ends.begin(), ends.end(), b - base) - ends.begin()) + 2;
    last = std::min(last, w.size());
    if (last < w.size() && IS_LOW_SURROGATE(w[last])) ++last;
    if (first >= last) return;
    const int x0 = r.left + base + (first ? ends[first - 1] : 0);
    ExtTextOutW(dc, x0, r.top, ETO_CLIPPED, &clip, w.c_str() + first, static_cast<UINT>(last - first), nullptr);
}

void Win32Form::paintCanvas(UnitRec& canvas, HDC dc, const RECT& area, bool whole) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return;
    // A few columns (a tick's) are drawn straight on; more go into an
    // off-screen bitmap of the area first, then in one copy to the screen.
    const bool buffered = w > scale(4);
    HDC mem = dc;
    HBITMAP bmp = nullptr;
    HGDIOBJ oldBmp = nullptr;
    if (buffered) {
        mem = CreateCompatibleDC(dc);
        bmp = CreateCompatibleBitmap(dc, w, h);
        oldBmp = SelectObject(mem, bmp);
        SetViewportOrgEx(mem, -area.left, -area.top, nullptr);
    }
    const int saved = buffered ? 0 : SaveDC(mem);
    HBRUSH face = canvas.bg == ui::kDefaultColour ? nullptr : brushFor(canvas.bg);
    if (!face && (whole || canvas.face == ui::kDefaultColour)) {
        // The window's own label background (skinned or not), as a label
        // standing where the canvas stands would get it. Kept as a colour
        // for the slides: whoever changes it repaints the window.
        face = reinterpret_cast<HBRUSH>(SendMessageW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(mem),
                                                     reinterpret_cast<LPARAM>(canvas.hwnd)));
        LOGBRUSH lb{};
        canvas.face = face && GetObjectW(face, sizeof lb, &lb) && lb.lbStyle == BS_SOLID ? lb.lbColor
                                                                                          : ui::kDefaultColour;
    } else if (!face) {
        face = brushFor(canvas.face);
    }
    if (!face) face = GetSysColorBrush(COLOR_BTNFACE);
    FillRect(mem, &area, face);
    SetBkMode(mem, TRANSPARENT);
    for (auto& up : units_) {
        UnitRec& u = *up;
        if (!u.drawn || u.parent != &canvas || !u.visible || u.rect.width <= 0 || u.caption.empty()) continue;
        RECT r{scale(u.rect.left), scale(u.rect.top), scale(u.rect.left + u.rect.width),
               scale(u.rect.top + u.rect.height)};
        RECT clip;
        if (!IntersectRect(&clip, &r, &area)) continue;
        if (u.bg != ui::kDefaultColour) FillRect(mem, &clip, brushFor(u.bg));
        HGDIOBJ oldFont = SelectObject(mem, u.fontSet ? fontFor(u.font) : defaultFont_);
        SetTextColor(mem, u.fg == ui::kDefaultColour ? GetSysColor(COLOR_WINDOWTEXT) : toColorRef(u.fg));
        drawCaption(u, mem, r, clip);
        SelectObject(mem, oldFont);
    }
    if (!buffered) {
        RestoreDC(mem, saved);
        return;
    }
    SetViewportOrgEx(mem, 0, 0, nullptr);
    BitBlt(dc, area.left, area.top, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
}

void Win32Form::drawLabel(UnitRec& u, HDC dc, const RECT& r) {
    // Colours come the way a standard label gets them, from the window (and
    // whatever paints the window), so explicit and skinned colours apply.
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageW(hwnd_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(u.hwnd)));
    FillRect(dc, &r, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
    if (!IsWindowEnabled(u.hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    std::wstring text = windowText(u.hwnd);
    size_t from = text.find_first_not_of(L"\r\n");
    if (from == std::wstring::npos) return;
    size_t end = text.find_first_of(L"\r\n", from);
    std::wstring line = text.substr(from, end == std::wstring::npos ? std::wstring::npos : end - from);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(u.hwnd, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    RECT tr = r;
    DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &tr, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
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
        if (w == scale(windowLogical_.width)) out.width = windowLogical_.width;
        if (h == scale(windowLogical_.height)) out.height = windowLogical_.height;
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
}

// --- items -------------------------------------------------------------------

namespace {

// Tells a list view how many rows it has, keeping its scroll position and
// repainting only what the change touches.
void syncCount(HWND list, size_t n) {
    SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(n), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

}  // namespace

void Win32Form::clearItems(std::string_view unit) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return;
    if (u->unit->kind == Kind::ListView) {
        u->rows.clear();
        u->countStale = false;
        // Also drops the selection and the focus item.
        SendMessageW(u->hwnd, LVM_DELETEALLITEMS, 0, 0);
    } else {
        SendMessageW(u->hwnd, CB_RESETCONTENT, 0, 0);
    }
}

int Win32Form::addItem(std::string_view unit, std::string_view text, int value, int image) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return -1;
    if (u->unit->kind == Kind::ListView) {
        UnitRec::Row row;
        row.cells.emplace_back(text);
        row.value = value;
        row.image = image;
        u->rows.push_back(std::move(row));
        if (u->redrawOff) u->countStale = true;
        else syncCount(u->hwnd, u->rows.size());
        return static_cast<int>(u->rows.size()) - 1;
    }
    const std::wstring w = widen(text);
    int idx = static_cast<int>(SendMessageW(u->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str())));
    if (idx >= 0) SendMessageW(u->hwnd, CB_SETITEMDATA, idx, static_cast<LPARAM>(value));
    return idx;
}

int Win32Form::itemCount(std::string_view unit) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd) return 0;
    if (u->unit->kind == Kind::ListView) return static_cast<int>(u->rows.size());
    int n = static_cast<int>(SendMessageW(u->hwnd, CB_GETCOUNT, 0, 0));
    return n < 0 ? 0 : n;
}

std::string Win32Form::itemText(std::string_view unit, int index, int column) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd || index < 0 || index >= itemCount(unit)) return {};
    if (u->unit->kind == Kind::ListView) {
        const auto& cells = u->rows[static_cast<size_t>(index)].cells;
        if (column < 0 || static_cast<size_t>(column) >= cells.size()) return {};
        return cells[static_cast<size_t>(column)];
    }
    if (column != 0) return {};
    int len = static_cast<int>(SendMessageW(u->hwnd, CB_GETLBTEXTLEN, index, 0));
    if (len <= 0) return {};
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    SendMessageW(u->hwnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(static_cast<size_t>(len));
    return narrow(buf);
}

void Win32Form::setItemText(std::string_view unit, int index, int column, std::string_view text) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd || u->unit->kind != Kind::ListView) return;
    if (index < 0 || static_cast<size_t>(index) >= u->rows.size() || column < 0 || column > 255) return;
    auto& cells = u->rows[static_cast<size_t>(index)].cells;
    if (cells.size() <= static_cast<size_t>(column)) cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = text;
    if (!u->redrawOff) SendMessageW(u->hwnd, LVM_REDRAWITEMS, index, index);
}

int Win32Form::itemValue(std::string_view unit, int index) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd || index < 0 || index >= itemCount(unit)) return 0;
    if (u->unit->kind == Kind::ListView) return u->rows[static_cast<size_t>(index)].value;
    return static_cast<int>(SendMessageW(u->hwnd, CB_GETITEMDATA, index, 0));
}

int Win32Form::selection(std::string_view unit) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd) return -1;
    if (u->unit->kind == Kind::ListView)
        return static_cast<int>(SendMessageW(u->hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return static_cast<int>(SendMessageW(u->hwnd, CB_GETCURSEL, 0, 0));
}

void Win32Form::setSelection(std::string_view unit, int index) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return;
    int n = itemCount(unit);
    int target = (index < 0 || n == 0) ? -1 : std::min(index, n - 1);
    if (u->unit->kind == Kind::ListView) {
        LVITEMW it{};
        it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        it.state = 0;
        SendMessageW(u->hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
        if (target >= 0) {
            it.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(u->hwnd, LVM_SETITEMSTATE, target, reinterpret_cast<LPARAM>(&it));
        }
        return;
    }
    SendMessageW(u->hwnd, CB_SETCURSEL, target, 0);
}

void Win32Form::setColumns(std::string_view unit, const std::vector<ui::Column>& columns) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd || u->unit->kind != Kind::ListView) return;
    while (SendMessageW(u->hwnd, LVM_DELETECOLUMN, 0, 0)) {
    }
    int i = 0;
    for (const ui::Column& c : columns) {
        std::wstring w = widen(c.text);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = w.data();
        col.cx = scale(c.width);
        col.iSubItem = i;
        SendMessageW(u->hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
        ++i;
    }
}

void Win32Form::setRedraw(std::string_view unit, bool on) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return;
    u->redrawOff = !on;
    if (on && u->countStale) {
        u->countStale = false;
        syncCount(u->hwnd, u->rows.size());
    }
    SendMessageW(u->hwnd, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    if (on) InvalidateRect(u->hwnd, nullptr, TRUE);
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

int Win32Form::timerPeriod(std::string_view unit) const {
    const UnitRec* u = find(unit);
    return u ? u->period : 0;
}

void Win32Form::setTimerPeriod(std::string_view unit, int ms) {
    UnitRec* u = find(unit);
    if (!u || u->unit->kind != Kind::Timer || !hwnd_) return;
    u->period = ms > 0 ? ms : 0;
    u->lastTick = GetTickCount64();
    u->resting = false;
    if (u->period) SetTimer(hwnd_, u->timerId, static_cast<UINT>(u->period), nullptr);
    else KillTimer(hwnd_, u->timerId);
    syncResting();
}

void Win32Form::syncResting() {
    if (!hwnd_ || closing_) return;
    const bool seen = IsWindowVisible(hwnd_) && !IsIconic(hwnd_);
    for (auto& up : units_) {
        UnitRec& u = *up;
        if (u.unit->kind != Kind::Timer || !(u.unit->flags & ui::kRestsUnseen) || !u.period) continue;
        if (!seen && !u.resting) {
            KillTimer(hwnd_, u.timerId);
            u.resting = true;
        } else if (seen && u.resting) {
            u.resting = false;
            SetTimer(hwnd_, u.timerId, static_cast<UINT>(u.period), nullptr);
            PostMessageW(hwnd_, kTimerCatchUp, u.timerId, 0);
        }
    }
}

void Win32Form::catchUp(UINT_PTR timerId) {
    UnitRec* u = byTimer(timerId);
    if (!u || !u->period || u->resting) return;
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG missed = (now - u->lastTick) / static_cast<ULONGLONG>(u->period);
    if (!missed) return;
    u->lastTick += missed * static_cast<ULONGLONG>(u->period);
    // The window has just come back and waits for its paint; paint it first,
    // so what the tick moves on the screen is what is meant to be there.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ui::EventArgs a{u->name, Event::Tick};
    a.code = static_cast<int>(std::min<ULONGLONG>(missed, INT_MAX));
    fire(u->name, Event::Tick, a);
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
    switch (msg) {
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
        if ((k == Kind::Button || k == Kind::FlatButton || k == Kind::CheckBox || k == Kind::Radio) && code == BN_CLICKED)
            fire(u->name, Event::Click);
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
        if (hdr->code == NM_DBLCLK) {
            fire(u->name, Event::DoubleClick);
        } else if (hdr->code == LVN_ITEMCHANGED) {
            auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
            if ((nm->uChanged & LVIF_STATE) && (nm->uNewState & LVIS_SELECTED) && !(nm->uOldState & LVIS_SELECTED)) {
                ui::EventArgs a{u->name, Event::Selected};
                a.index = nm->iItem;
                fire(u->name, Event::Selected, a);
            }
        } else if (hdr->code == LVN_GETDISPINFOW) {
            auto& item = reinterpret_cast<NMLVDISPINFOW*>(lp)->item;
            if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= u->rows.size()) return 0;
            const UnitRec::Row& row = u->rows[static_cast<size_t>(item.iItem)];
            if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
                // Only the cells in view are ever widened.
                const size_t col = item.iSubItem < 0 ? 0 : static_cast<size_t>(item.iSubItem);
                const std::wstring cell = col < row.cells.size() ? widen(row.cells[col]) : std::wstring();
                const size_t n = std::min(cell.size(), static_cast<size_t>(item.cchTextMax) - 1);
                if (n) wmemcpy(item.pszText, cell.data(), n);
                item.pszText[n] = L'\0';
            }
            if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) item.iImage = row.image;
            if (item.mask & LVIF_PARAM) item.lParam = row.value;
            return 0;
        } else if (hdr->code == LVN_ENDLABELEDITW) {
            auto* di = reinterpret_cast<NMLVDISPINFOW*>(lp);
            if (!di->item.pszText) return FALSE;   // editing cancelled
            const int index = di->item.iItem;
            if (index < 0 || static_cast<size_t>(index) >= u->rows.size()) return FALSE;
            ui::EventArgs a{u->name, Event::LabelEdited};
            a.index = index;
            a.text = narrow(di->item.pszText);
            if (!fire(u->name, Event::LabelEdited, a)) return FALSE;
            // An owner-data list keeps no text: the accepted title is ours to
            // keep. The handler may have refilled the list meanwhile.
            if (static_cast<size_t>(index) < u->rows.size()) {
                u->rows[static_cast<size_t>(index)].cells[0] = a.text;
                SendMessageW(u->hwnd, LVM_REDRAWITEMS, index, index);
            }
            return TRUE;
        }
        return 0;
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

LRESULT CALLBACK Win32Form::panelProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_DRAWITEM:
        // Units inside a container report to the window like all others.
        return SendMessageW(GetAncestor(h, GA_ROOT), msg, wp, lp);
    case WM_PAINT: {
        HWND root = GetAncestor(h, GA_ROOT);
        auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(root, GWLP_USERDATA));
        UnitRec* u = self ? self->byHwnd(h) : nullptr;
        if (!u || u->unit->kind != Kind::Canvas) return DefWindowProcW(h, msg, wp, lp);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        self->paintCanvas(*u, dc, ps.rcPaint, true);
        EndPaint(h, &ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        HWND root = GetAncestor(h, GA_ROOT);
        auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(root, GWLP_USERDATA));
        if (self)
            if (UnitRec* u = self->byHwnd(h); u && u->unit->kind == Kind::Canvas) return 1;   // painted whole in WM_PAINT
        Colour bg = ui::kDefaultColour;
        if (self)
            if (UnitRec* u = self->byHwnd(h)) bg = u->bg;
        RECT r;
        GetClientRect(h, &r);
        HBRUSH b = bg == ui::kDefaultColour ? GetSysColorBrush(COLOR_BTNFACE) : self->brushFor(bg);
        FillRect(reinterpret_cast<HDC>(wp), &r, b);
        return 1;
    }
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

LRESULT CALLBACK Win32Form::pictureProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    HWND root = GetAncestor(h, GA_ROOT);
    auto* self = reinterpret_cast<Win32Form*>(GetWindowLongPtrW(root, GWLP_USERDATA));
    UnitRec* u = self ? self->byHwnd(h) : nullptr;
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        RECT r;
        GetClientRect(h, &r);
        if (u && u->bitmap) {
            BITMAP bm{};
            GetObjectW(u->bitmap, sizeof bm, &bm);
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, u->bitmap);
            SetStretchBltMode(dc, HALFTONE);
            StretchBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        } else {
            FillRect(dc, &r, GetSysColorBrush(COLOR_APPWORKSPACE));
        }
        EndPaint(h, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
        if (u) self->fire(u->name, Event::MouseDown);   // may destroy the window
        return 0;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

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

// ---------------------------------------------------------------------------

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

HBITMAP loadPictureResource(const wchar_t* name) {
    HMODULE mod = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(mod, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!res) return nullptr;
    HGLOBAL data = LoadResource(mod, res);
    DWORD size = SizeofResource(mod, res);
    const void* bytes = data ? LockResource(data) : nullptr;
    if (!bytes || !size) return nullptr;
    IStream* stream = SHCreateMemStream(static_cast<const BYTE*>(bytes), size);
    if (!stream) return nullptr;
    HBITMAP out = nullptr;
    {
        Gdiplus::Bitmap bmp(stream);
        if (bmp.GetLastStatus() == Gdiplus::Ok) bmp.GetHBITMAP(Gdiplus::Color(0, 0, 0), &out);
    }
    stream->Release();
    return out;
}

}  // namespace win32

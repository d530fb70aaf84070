// The skin library: once attached, every window of the attaching thread,
// present and future, is drawn from the palette of skinh.she (read from the
// library's own directory). Controls stay the standard ones; the library
// only subclasses them to paint.
//
// Entry points (all return 0 and never throw):
//   SkinH_Attach()                      read the palette, skin the thread's windows
//   SkinH_AdjustHSV(hue, sat, bright)   turn the palette's hue, scale the rest
//   SkinH_SetAero(on)                   translucent glass look on or off
//
// Built with KORVAN_SKIN_RECORDING it also appends each call to the file
// named by KORVAN_SKIN_LOG, for the tests.
#include <windows.h>
#include <commctrl.h>
#include <dwmapi.h>
#include <uxtheme.h>

#include <cstdio>
#include <string>
#include <vector>

#include "skin/palette.h"

namespace {

using skin::Palette;
using skin::Role;

HINSTANCE g_module = nullptr;
HHOOK g_hook = nullptr;
bool g_attached = false;
bool g_aero = false;
Palette g_palette = skin::builtInPalette();
HBRUSH g_brushes[skin::kRoleCount] = {};
constexpr UINT_PTR kSubclassId = 0x5348;   // "SH"

COLORREF col(Role r) { return static_cast<COLORREF>(g_palette[r]); }

HBRUSH brush(Role r) {
    if (!g_brushes[r]) g_brushes[r] = CreateSolidBrush(col(r));
    return g_brushes[r];
}

void resetBrushes() {
    for (auto& b : g_brushes) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
}

#ifdef KORVAN_SKIN_RECORDING
void record(const char* line) {
    wchar_t path[MAX_PATH];
    if (!GetEnvironmentVariableW(L"KORVAN_SKIN_LOG", path, MAX_PATH)) return;
    HANDLE f = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD n = 0;
    WriteFile(f, line, static_cast<DWORD>(strlen(line)), &n, nullptr);
    WriteFile(f, "\n", 1, &n, nullptr);
    CloseHandle(f);
}
#else
void record(const char*) {}
#endif

std::wstring classOf(HWND h) {
    wchar_t buf[64] = {};
    GetClassNameW(h, buf, 64);
    return buf;
}

bool sameClass(const std::wstring& c, const wchar_t* name) { return _wcsicmp(c.c_str(), name) == 0; }

std::wstring textOf(HWND h) {
    int n = GetWindowTextLengthW(h);
    std::wstring w(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(h, w.data(), n + 1);
    w.resize(static_cast<size_t>(n));
    return w;
}

void fillGradient(HDC dc, const RECT& r, COLORREF top, COLORREF bottom) {
    TRIVERTEX v[2] = {};
    v[0].x = r.left;
    v[0].y = r.top;
    v[0].Red = static_cast<COLOR16>(GetRValue(top) << 8);
    v[0].Green = static_cast<COLOR16>(GetGValue(top) << 8);
    v[0].Blue = static_cast<COLOR16>(GetBValue(top) << 8);
    v[1].x = r.right;
    v[1].y = r.bottom;
    v[1].Red = static_cast<COLOR16>(GetRValue(bottom) << 8);
    v[1].Green = static_cast<COLOR16>(GetGValue(bottom) << 8);
    v[1].Blue = static_cast<COLOR16>(GetBValue(bottom) << 8);
    GRADIENT_RECT gr{0, 1};
    GradientFill(dc, v, 2, &gr, 1, GRADIENT_FILL_RECT_V);
}

// The window's DPI (per monitor where the system knows it): what the skin
// draws itself scales with it, as the controls do.
int dpiOf(HWND h) {
    using Fn = UINT(WINAPI*)(HWND);
    static const auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (fn) {
        if (UINT d = fn(h)) return static_cast<int>(d);
    }
    HDC dc = GetDC(nullptr);
    const int d = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(nullptr, dc);
    return d > 0 ? d : 96;
}

int px(HWND h, int v) { return MulDiv(v, dpiOf(h), 96); }

int metric(int index, int dpi) {
    using Fn = int(WINAPI*)(int, UINT);
    static const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
    return fn ? fn(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}

// The caption font at a DPI.
LOGFONTW captionFont(int dpi) {
    using Fn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    if (!fn || !fn(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0, static_cast<UINT>(dpi)))
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    return ncm.lfCaptionFont;
}

void roundFrame(HDC dc, const RECT& r, COLORREF pen, int radius) {
    HPEN p = CreatePen(PS_SOLID, 1, pen);
    HGDIOBJ op = SelectObject(dc, p);
    HGDIOBJ ob = SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(p);
}

// --- glass -------------------------------------------------------------------

using DwmBlurFn = HRESULT(WINAPI*)(HWND, const DWM_BLURBEHIND*);
using DwmEnabledFn = HRESULT(WINAPI*)(BOOL*);

void applyGlass(HWND h, bool on) {
    static HMODULE dwm = LoadLibraryW(L"dwmapi.dll");
    static auto blur = dwm ? reinterpret_cast<DwmBlurFn>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmEnableBlurBehindWindow"))) : nullptr;
    static auto enabled = dwm ? reinterpret_cast<DwmEnabledFn>(reinterpret_cast<void*>(GetProcAddress(dwm, "DwmIsCompositionEnabled"))) : nullptr;
    BOOL composed = FALSE;
    if (enabled) enabled(&composed);
    if (blur && composed) {
        DWM_BLURBEHIND bb{};
        bb.dwFlags = DWM_BB_ENABLE;
        bb.fEnable = on;
        blur(h, &bb);
    }
    // The translucency itself: a layered window with a fixed alpha.
    LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
    if (on) {
        SetWindowLongPtrW(h, GWL_EXSTYLE, ex | WS_EX_LAYERED);
        SetLayeredWindowAttributes(h, 0, composed ? 235 : 222, LWA_ALPHA);
    } else if (ex & WS_EX_LAYERED) {
        SetWindowLongPtrW(h, GWL_EXSTYLE, ex & ~WS_EX_LAYERED);
        RedrawWindow(h, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

// --- painting of the controls --------------------------------------------------

// Colours a control asks its parent for: the tool's own choices stay, the
// system defaults are replaced by the palette's.
LRESULT skinControlColour(UINT msg, HDC dc, LRESULT given) {
    COLORREF bk = GetBkColor(dc);
    COLORREF fg = GetTextColor(dc);
    bool editFace = msg == WM_CTLCOLOREDIT || msg == WM_CTLCOLORLISTBOX;
    bool defaultBk = bk == GetSysColor(COLOR_BTNFACE) || bk == GetSysColor(COLOR_WINDOW) || bk == GetSysColor(COLOR_3DFACE);
    if (!given || defaultBk) {
        Role face = editFace || bk == GetSysColor(COLOR_WINDOW) ? skin::kEdit : skin::kWindow;
        if (fg == GetSysColor(COLOR_WINDOWTEXT) || fg == GetSysColor(COLOR_BTNTEXT))
            SetTextColor(dc, col(editFace ? skin::kEditText : skin::kText));
        SetBkColor(dc, col(face));
        return reinterpret_cast<LRESULT>(brush(face));
    }
    return given;
}

void paintButton(HWND h, HDC dc) {
    RECT r;
    GetClientRect(h, &r);
    LONG style = GetWindowLongW(h, GWL_STYLE);
    bool flat = style & BS_FLAT;
    LRESULT state = SendMessageW(h, BM_GETSTATE, 0, 0);
    bool pressed = state & BST_PUSHED;
    bool hot = GetPropW(h, L"KorvanSkinHot") != nullptr;
    bool enabled = IsWindowEnabled(h);
    bool focused = GetFocus() == h;

    FillRect(dc, &r, brush(skin::kWindow));
    RECT face = r;
    if (pressed) {
        HBRUSH b = CreateSolidBrush(col(skin::kButtonPressed));
        FillRect(dc, &face, b);
        DeleteObject(b);
    } else if (hot && enabled) {
        fillGradient(dc, face, col(skin::kButtonTop), col(skin::kButtonHot));
    } else if (!flat) {
        fillGradient(dc, face, col(skin::kButtonTop), col(skin::kButtonBottom));
    }
    const bool isDefault = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON && enabled;
    if (!flat || hot || pressed || isDefault)
        roundFrame(dc, r, col(hot || focused || isDefault ? skin::kAccent : skin::kButtonBorder), px(h, 4));
    if (isDefault) {
        // The default button (what Enter presses) has a second ring.
        RECT inner = r;
        InflateRect(&inner, -1, -1);
        roundFrame(dc, inner, col(skin::kAccent), px(h, 4));
    }

    HFONT f = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    HGDIOBJ of = SelectObject(dc, f ? f : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, enabled ? col(skin::kButtonText) : GetSysColor(COLOR_GRAYTEXT));
    RECT tr = r;
    if (pressed) OffsetRect(&tr, 1, 1);
    std::wstring text = textOf(h);
    DrawTextW(dc, text.c_str(), -1, &tr, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, of);
    if (focused && !(SendMessageW(h, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS)) {
        RECT fr = r;
        InflateRect(&fr, -px(h, 3), -px(h, 3));
        DrawFocusRect(dc, &fr);
    }
}

void paintGroup(HWND h, HDC dc) {
    RECT r;
    GetClientRect(h, &r);
    FillRect(dc, &r, brush(skin::kWindow));
    std::wstring text = textOf(h);
    HFONT f = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    HGDIOBJ of = SelectObject(dc, f ? f : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    RECT frame = r;
    frame.top += text.empty() ? 0 : tm.tmHeight / 2;
    roundFrame(dc, frame, col(skin::kFrame), px(h, 6));
    if (!text.empty()) {
        SIZE s{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &s);
        RECT tr{r.left + px(h, 8), r.top, r.left + px(h, 8) + s.cx + px(h, 6), r.top + tm.tmHeight};
        FillRect(dc, &tr, brush(skin::kWindow));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, col(skin::kAccent));
        tr.left += 3;
        DrawTextW(dc, text.c_str(), -1, &tr, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, of);
}

void paintHeader(HWND h, HDC dc) {
    RECT r;
    GetClientRect(h, &r);
    fillGradient(dc, r, col(skin::kButtonTop), col(skin::kHeader));
    HFONT f = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    HGDIOBJ of = SelectObject(dc, f ? f : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, col(skin::kText));
    HPEN pen = CreatePen(PS_SOLID, 1, col(skin::kFrame));
    HGDIOBJ op = SelectObject(dc, pen);
    int n = static_cast<int>(SendMessageW(h, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        RECT ir;
        SendMessageW(h, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&ir));
        wchar_t buf[128] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = buf;
        item.cchTextMax = 128;
        SendMessageW(h, HDM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        RECT tr = ir;
        tr.left += 6;
        DrawTextW(dc, buf, -1, &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        MoveToEx(dc, ir.right - 1, ir.top + 3, nullptr);
        LineTo(dc, ir.right - 1, ir.bottom - 3);
    }
    MoveToEx(dc, r.left, r.bottom - 1, nullptr);
    LineTo(dc, r.right, r.bottom - 1);
    SelectObject(dc, op);
    DeleteObject(pen);
    SelectObject(dc, of);
}

// A thin border in the frame colour over the edit's sunken edge.
void paintEditBorder(HWND h) {
    LONG_PTR ex = GetWindowLongPtrW(h, GWL_EXSTYLE);
    if (!(ex & WS_EX_CLIENTEDGE)) return;
    HDC dc = GetWindowDC(h);
    RECT r;
    GetWindowRect(h, &r);
    OffsetRect(&r, -r.left, -r.top);
    HBRUSH fb = CreateSolidBrush(col(GetFocus() == h ? skin::kAccent : skin::kFrame));
    FrameRect(dc, &r, fb);
    DeleteObject(fb);
    InflateRect(&r, -1, -1);
    HBRUSH inner = CreateSolidBrush(IsWindowEnabled(h) ? col(skin::kEdit) : col(skin::kWindow));
    FrameRect(dc, &r, inner);
    DeleteObject(inner);
    ReleaseDC(h, dc);
}

// The caption bar left of the caption buttons: the accent gradient, the
// small icon and the title, drawn after the system has drawn its frame.
void paintCaption(HWND h, bool active) {
    LONG style = GetWindowLongW(h, GWL_STYLE);
    if ((style & WS_CAPTION) != WS_CAPTION || IsIconic(h)) return;
    RECT wr;
    GetWindowRect(h, &wr);
    OffsetRect(&wr, -wr.left, -wr.top);
    bool sizing = style & WS_THICKFRAME;
    const int dpi = dpiOf(h);
    int bx = metric(sizing ? SM_CXSIZEFRAME : SM_CXFIXEDFRAME, dpi);
    int by = metric(sizing ? SM_CYSIZEFRAME : SM_CYFIXEDFRAME, dpi);
    int ch = metric(SM_CYCAPTION, dpi) - 1;
    int buttons = (style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) ? 3 : 1;
    RECT bar{bx, by, wr.right - bx - buttons * metric(SM_CXSIZE, dpi) - 2, by + ch};
    if (bar.right <= bar.left) return;
    HDC dc = GetWindowDC(h);
    COLORREF base = active ? col(skin::kAccent) : col(skin::kButtonBorder);
    COLORREF top = base, bottom = skin::adjustColour(base, 0, 0, -18);
    fillGradient(dc, bar, top, bottom);
    int x = bar.left + 3;
    HICON icon = reinterpret_cast<HICON>(SendMessageW(h, WM_GETICON, ICON_SMALL2, 0));
    if (!icon) icon = reinterpret_cast<HICON>(GetClassLongPtrW(h, GCLP_HICONSM));
    int is = metric(SM_CXSMICON, dpi);
    if (icon) {
        DrawIconEx(dc, x, bar.top + (ch - is) / 2, icon, is, is, 0, nullptr, DI_NORMAL);
        x += is + 4;
    }
    const LOGFONTW lf = captionFont(dpi);
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ of = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, col(skin::kCaptionText));
    RECT tr{x, bar.top, bar.right - 2, bar.bottom};
    std::wstring title = textOf(h);
    DrawTextW(dc, title.c_str(), -1, &tr, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    SelectObject(dc, of);
    DeleteObject(font);
    ReleaseDC(h, dc);
}

enum class Kind { TopLevel, Button, Group, Edit, Header, Panel, Other };

Kind kindOf(HWND h) {
    std::wstring c = classOf(h);
    if (!(GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) return Kind::TopLevel;
    if (sameClass(c, WC_BUTTONW)) {
        LONG t = GetWindowLongW(h, GWL_STYLE) & BS_TYPEMASK;
        if (t == BS_PUSHBUTTON || t == BS_DEFPUSHBUTTON) return Kind::Button;
        if (t == BS_GROUPBOX) return Kind::Group;
        return Kind::Other;
    }
    if (sameClass(c, WC_EDITW)) return Kind::Edit;
    if (sameClass(c, L"KorvanPanel")) return Kind::Panel;
    if (sameClass(c, WC_HEADERW)) return Kind::Header;
    return Kind::Other;
}

LRESULT CALLBACK skinProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    const Kind kind = static_cast<Kind>(data);
    switch (msg) {
    case WM_NCDESTROY:
        RemovePropW(h, L"KorvanSkinHot");
        RemovePropW(h, L"KorvanSkinned");
        RemoveWindowSubclass(h, skinProc, kSubclassId);
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORDLG:
        return skinControlColour(msg, reinterpret_cast<HDC>(wp), DefSubclassProc(h, msg, wp, lp));
    case WM_ERASEBKGND:
        if (kind == Kind::TopLevel || kind == Kind::Group || kind == Kind::Button || kind == Kind::Panel) {
            RECT r;
            GetClientRect(h, &r);
            FillRect(reinterpret_cast<HDC>(wp), &r, brush(skin::kWindow));
            return 1;
        }
        break;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (kind == Kind::Button || kind == Kind::Group || kind == Kind::Header) {
            PAINTSTRUCT ps{};
            HDC dc = msg == WM_PAINT ? BeginPaint(h, &ps) : reinterpret_cast<HDC>(wp);
            if (kind == Kind::Button) paintButton(h, dc);
            else if (kind == Kind::Group) paintGroup(h, dc);
            else paintHeader(h, dc);
            if (msg == WM_PAINT) EndPaint(h, &ps);
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (kind == Kind::Button && !GetPropW(h, L"KorvanSkinHot")) {
            SetPropW(h, L"KorvanSkinHot", reinterpret_cast<HANDLE>(1));
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, h, 0};
            TrackMouseEvent(&t);
            InvalidateRect(h, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        if (kind == Kind::Button) {
            RemovePropW(h, L"KorvanSkinHot");
            InvalidateRect(h, nullptr, FALSE);
        }
        break;
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case BM_SETSTATE:
    case WM_SETTEXT:
    case WM_UPDATEUISTATE:
        if (kind == Kind::Button || kind == Kind::Group) {
            LRESULT r = DefSubclassProc(h, msg, wp, lp);
            InvalidateRect(h, nullptr, FALSE);
            return r;
        }
        if (kind == Kind::TopLevel && msg == WM_SETTEXT) {
            LRESULT r = DefSubclassProc(h, msg, wp, lp);
            paintCaption(h, GetActiveWindow() == h);
            return r;
        }
        if (kind == Kind::Edit && (msg == WM_SETFOCUS || msg == WM_KILLFOCUS || msg == WM_ENABLE)) {
            LRESULT r = DefSubclassProc(h, msg, wp, lp);
            paintEditBorder(h);
            return r;
        }
        break;
    case WM_NCPAINT:
        if (kind == Kind::TopLevel) {
            LRESULT r = DefSubclassProc(h, msg, wp, lp);
            paintCaption(h, GetActiveWindow() == h);
            return r;
        }
        if (kind == Kind::Edit) {
            LRESULT r = DefSubclassProc(h, msg, wp, lp);
            paintEditBorder(h);
            return r;
        }
        break;
    case WM_NCACTIVATE:
        if (kind == Kind::TopLevel) {
            LRESULT r = DefSubclassProc(h, msg, wp, lp);
            paintCaption(h, wp != FALSE);
            return r;
        }
        break;
    case WM_SHOWWINDOW:
        if (kind == Kind::TopLevel && wp && g_aero) applyGlass(h, true);
        break;
    default:
        break;
    }
    return DefSubclassProc(h, msg, wp, lp);
}

void skinWindow(HWND h) {
    if (GetPropW(h, L"KorvanSkinned")) return;
    SetPropW(h, L"KorvanSkinned", reinterpret_cast<HANDLE>(1));
    Kind kind = kindOf(h);
    std::wstring c = classOf(h);
    if (sameClass(c, WC_LISTVIEWW)) {
        SendMessageW(h, LVM_SETBKCOLOR, 0, col(skin::kEdit));
        SendMessageW(h, LVM_SETTEXTBKCOLOR, 0, col(skin::kEdit));
        SendMessageW(h, LVM_SETTEXTCOLOR, 0, col(skin::kEditText));
    } else if (sameClass(c, PROGRESS_CLASSW)) {
        SetWindowTheme(h, L"", L"");
        SendMessageW(h, PBM_SETBARCOLOR, 0, col(skin::kProgress));
        SendMessageW(h, PBM_SETBKCOLOR, 0, col(skin::kEdit));
    }
    SetWindowSubclass(h, skinProc, kSubclassId, static_cast<DWORD_PTR>(kind));
    if (kind == Kind::TopLevel && g_aero && IsWindowVisible(h)) applyGlass(h, true);
}

BOOL CALLBACK skinChild(HWND h, LPARAM) {
    skinWindow(h);
    return TRUE;
}

BOOL CALLBACK skinTop(HWND h, LPARAM) {
    skinWindow(h);
    EnumChildWindows(h, skinChild, 0);
    RedrawWindow(h, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    return TRUE;
}

LRESULT CALLBACK cbtProc(int code, WPARAM wp, LPARAM lp) {
    if (code == HCBT_CREATEWND) {
        // Subclassing at creation sees the window before its first paint;
        // header controls of list views come this way too.
        skinWindow(reinterpret_cast<HWND>(wp));
    }
    return CallNextHookEx(g_hook, code, wp, lp);
}

void loadPalette() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring dir(path, n);
    dir = dir.substr(0, dir.find_last_of(L"\\/") + 1);
    HANDLE f = CreateFileW((dir + L"skinh.she").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    std::string bytes(4096, '\0');
    DWORD got = 0;
    ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(f);
    bytes.resize(got);
    if (auto p = skin::parsePalette(bytes)) g_palette = *p;
}

BOOL CALLBACK redrawTop(HWND h, LPARAM) {
    RedrawWindow(h, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    EnumChildWindows(h, [](HWND c, LPARAM) -> BOOL {
        std::wstring cls = classOf(c);
        if (sameClass(cls, WC_LISTVIEWW) || sameClass(cls, PROGRESS_CLASSW)) {
            RemoveWindowSubclass(c, skinProc, kSubclassId);
            RemovePropW(c, L"KorvanSkinned");
            skinWindow(c);
        }
        return TRUE;
    }, 0);
    return TRUE;
}

}  // namespace

extern "C" {

__declspec(dllexport) int __stdcall SkinH_Attach() {
    try {
        record("SkinH_Attach");
        if (g_attached) return 0;
        g_attached = true;
        loadPalette();
        resetBrushes();
        g_hook = SetWindowsHookExW(WH_CBT, cbtProc, nullptr, GetCurrentThreadId());
        EnumThreadWindows(GetCurrentThreadId(), skinTop, 0);
    } catch (...) {
    }
    return 0;
}

__declspec(dllexport) int __stdcall SkinH_AdjustHSV(int hue, int saturation, int brightness) {
    try {
        char line[96];
        std::snprintf(line, sizeof line, "SkinH_AdjustHSV %d %d %d", hue, saturation, brightness);
        record(line);
        g_palette = skin::adjustHsv(g_palette, hue, saturation, brightness);
        resetBrushes();
        EnumThreadWindows(GetCurrentThreadId(), redrawTop, 0);
    } catch (...) {
    }
    return 0;
}

__declspec(dllexport) int __stdcall SkinH_SetAero(int on) {
    try {
        char line[48];
        std::snprintf(line, sizeof line, "SkinH_SetAero %d", on);
        record(line);
        g_aero = on != 0;
        EnumThreadWindows(GetCurrentThreadId(), [](HWND h, LPARAM) -> BOOL {
            if (IsWindowVisible(h)) applyGlass(h, g_aero);
            return TRUE;
        }, 0);
    } catch (...) {
    }
    return 0;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = inst;
        DisableThreadLibraryCalls(inst);
    } else if (reason == DLL_PROCESS_DETACH) {
        if (g_hook) UnhookWindowsHookEx(g_hook);
        resetBrushes();
    }
    return TRUE;
}

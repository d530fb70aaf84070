// Painting: one-line labels drawn by the window, canvases and the labels
// drawn on them (the ticker's strip: double buffered, slides scrolled), the
// panels that host canvases and clipping group boxes, and pictures.
#include "platform/win32/win32_form.h"

#include <objidl.h>
#include <shlwapi.h>
// GDI+ decodes the JPEG of the splash.
#include <gdiplus.h>

#include <algorithm>
#include <cstdlib>

#include "platform/win32/wide.h"
#include "platform/win32/win32_form_internal.h"

namespace win32 {

namespace {

// Characters per entry of a drawn label's position index.
constexpr size_t kIndexChunk = 64;

using ui::Colour;
using ui::Event;
using ui::Kind;

}  // namespace

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

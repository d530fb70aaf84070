// The idle benchmark's yardstick: a bare 563 x 543 window that scrolls one
// line of text through a 471 x 22 strip, 1 pixel every 20 ms, at the place
// and in the font of the tool's ticker, done as cheaply as Win32 allows: each
// tick scrolls the pixels already on the screen and draws only the column
// that comes into view, straight into the window's DC (no paint message, no
// off-screen copy). A paint (exposure) draws the strip whole.
//
//   idle_reference   (its title: "idle reference")
#include <windows.h>

namespace {

constexpr int kStripLeft = 77, kStripTop = 470, kStripWidth = 471, kStripHeight = 22;
constexpr int kTextTop = 3;
constexpr UINT_PTR kTimer = 1;
const wchar_t kText[] = L"暂无最新公告，更多资讯请登录我司官方网站——http://www.korvan.example！";

HFONT g_font;
int g_left = kStripWidth;   // the text's left edge in the strip
int g_textWidth = 0;

void drawStrip(HDC dc, const RECT& area) {
    // area is in strip coordinates.
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ old = SelectObject(dc, g_font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 255));
    ExtTextOutW(dc, g_left, kTextTop, ETO_CLIPPED, &area, kText, static_cast<UINT>(wcslen(kText)), nullptr);
    SelectObject(dc, old);
}

LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_TIMER: {
        if (g_left + g_textWidth == 0) g_left = kStripWidth;
        --g_left;
        HDC dc = GetDC(h);
        SetViewportOrgEx(dc, kStripLeft, kStripTop, nullptr);
        RECT strip{0, 0, kStripWidth, kStripHeight};
        ScrollDC(dc, -1, 0, &strip, &strip, nullptr, nullptr);
        RECT column{kStripWidth - 1, 0, kStripWidth, kStripHeight};
        drawStrip(dc, column);
        ReleaseDC(h, dc);
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
        SetViewportOrgEx(dc, kStripLeft, kStripTop, nullptr);
        drawStrip(dc, RECT{0, 0, kStripWidth, kStripHeight});
        EndPaint(h, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    LOGFONTW lf = ncm.lfMessageFont;
    lf.lfHeight = -11;
    lf.lfWidth = 0;
    g_font = CreateFontIndirectW(&lf);

    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;   // WM_PAINT fills
    wc.lpszClassName = L"IdleReference";
    RegisterClassW(&wc);
    HWND h = CreateWindowW(L"IdleReference", L"idle reference", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                           CW_USEDEFAULT, CW_USEDEFAULT, 563, 543, nullptr, nullptr, inst, nullptr);
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, g_font);
    SIZE sz{};
    GetTextExtentPoint32W(dc, kText, static_cast<int>(wcslen(kText)), &sz);
    g_textWidth = sz.cx;
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    ShowWindow(h, SW_SHOW);
    SetTimer(h, kTimer, 20, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

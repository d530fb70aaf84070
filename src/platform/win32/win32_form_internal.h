// Shared by the files of the Win32 backend of the unit model (win32_form.cpp
// and its neighbours, one per concern): the record the form keeps for every
// unit, the window classes, and the few helpers more than one of them uses.
// Only those files include it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/win32/win32_form.h"

namespace win32 {

inline constexpr wchar_t kWindowClass[] = L"KorvanWindow";
inline constexpr wchar_t kPanelClass[] = L"KorvanPanel";
inline constexpr wchar_t kPictureClass[] = L"KorvanPicture";
// Posted to a window whose resting timers start again: their first tick
// counts the periods that went by meanwhile.
inline constexpr UINT kTimerCatchUp = WM_APP + 0x201;

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

// Whether the keyboard's Tab may land on a unit of this kind (where it is
// visible and enabled): the fields and buttons, not a frame.
bool takesTab(const ui::Unit& u);

// The layouts' text size, 96-DPI pixels.
inline constexpr int kDefaultFontHeight = 11;

// The screen's DPI (the system DPI), 96 when it cannot be read.
int systemDpi();

// A system metric at a DPI (GetSystemMetricsForDpi where the system has it,
// else the system DPI's value scaled).
int metricForDpi(int index, int dpi);

inline COLORREF toColorRef(ui::Colour c) { return static_cast<COLORREF>(c); }

// A window's text, UTF-16 as the window holds it.
std::wstring windowText(HWND h);

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
    ui::Colour fg = ui::kDefaultColour;
    ui::Colour bg = ui::kDefaultColour;
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
    std::vector<int> columnWidths;   // list views: 96-DPI widths as last set
    // IP address fields: the inner edits and their places when the field
    // was made at innerDpi, the base of every later placement.
    std::vector<std::pair<HWND, RECT>> inner;
    int innerDpi = 96;
    std::wstring accName;        // the accessible name, "" for the default one
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
    ui::Colour face = ui::kDefaultColour;
};

}  // namespace win32

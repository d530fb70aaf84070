// Every window of the tool told that it moved to a monitor of 144 DPI (the
// message the system sends, sent here by hand): it stands at the suggested
// rectangle, its controls at their 96-DPI places and sizes times 1.5, its
// fonts (the IP fields' inner edits too) and list columns likewise; told
// 96 again at its old rectangle it is exactly as before. A window placed
// over its owner follows the owner.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "resources/layouts.h"
#include "win_helpers.h"

namespace {

struct Snapshot {
    RECT window{};
    std::map<HWND, RECT> places;    // every child, relative to its parent's client area
    std::map<HWND, LONG> fonts;     // font height of every child that has a font
};

std::string classOf(HWND h) {
    wchar_t buf[64] = {};
    GetClassNameW(h, buf, 64);
    return win32::narrow(buf);
}

Snapshot take(HWND top) {
    Snapshot s;
    GetWindowRect(top, &s.window);
    EnumChildWindows(
        top,
        [](HWND c, LPARAM lp) -> BOOL {
            auto& s = *reinterpret_cast<Snapshot*>(lp);
            // The tool's own placements: a system control lays out its own
            // parts (a list's header) by its own rules.
            const std::string parent = classOf(GetParent(c));
            if (parent != "KorvanWindow" && parent != "KorvanPanel" && parent != "SysIPAddress32") return TRUE;
            RECT r;
            GetWindowRect(c, &r);
            MapWindowPoints(nullptr, GetParent(c), reinterpret_cast<POINT*>(&r), 2);
            s.places[c] = r;
            if (auto f = reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0))) {
                LOGFONTW lf{};
                GetObjectW(f, sizeof lf, &lf);
                s.fonts[c] = lf.lfHeight;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&s));
    return s;
}

void sendDpi(HWND h, int dpi, const RECT& r) {
    SendMessageW(h, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&r));
}

// Told 144 DPI and then 96 again, with a list of columns where it has one.
// Counts the fonts it checked.
void checkWindow(const ui::Layout& layout, int& fonts) {
    SCOPED_TRACE(std::string(layout.name));
    win32::Win32Windows windows;
    auto* f = static_cast<win32::Win32Form*>(windows.create(layout));
    ASSERT_TRUE(f->alive());
    HWND list = nullptr;
    for (const ui::Unit& u : layout.units)
        if (u.kind == ui::Kind::ListView && !list) {
            f->setColumns(u.name, {{"名称", 100}, {"大小", 61}});
            list = f->unitHwnd(u.name);
        }
    f->setVisible("", true);
    windows.pump();
    const Snapshot before = take(f->hwnd());
    ASSERT_FALSE(before.places.empty());

    const RECT wide{40, 30, 40 + MulDiv(before.window.right - before.window.left, 3, 2),
                    30 + MulDiv(before.window.bottom - before.window.top, 3, 2)};
    sendDpi(f->hwnd(), 144, wide);
    EXPECT_EQ(f->dpi(), 144);
    const Snapshot after = take(f->hwnd());
    EXPECT_TRUE(EqualRect(&after.window, &wide));
    for (const auto& [h, r] : before.places) {
        const RECT& n = after.places.at(h);
        const std::string what = classOf(h) + " " + wintest::windowText(h);
        EXPECT_NEAR(n.left, r.left * 1.5, 1) << what;
        EXPECT_NEAR(n.top, r.top * 1.5, 1) << what;
        if (classOf(h) != "ComboBox") {   // its height is the font's
            EXPECT_NEAR(n.right - n.left, (r.right - r.left) * 1.5, 1) << what;
            EXPECT_NEAR(n.bottom - n.top, (r.bottom - r.top) * 1.5, 1) << what;
        }
    }
    for (const auto& [h, height] : before.fonts) {
        EXPECT_NEAR(after.fonts.at(h), height * 1.5, 1) << classOf(h);
        ++fonts;
    }
    if (list) EXPECT_NEAR(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), MulDiv(61, f->dpi(), 96), 1);
    // What the handlers see stays in 96-DPI pixels.
    EXPECT_EQ(f->rect("").width, layout.width);

    sendDpi(f->hwnd(), 96, before.window);
    const Snapshot back = take(f->hwnd());
    EXPECT_TRUE(EqualRect(&back.window, &before.window));
    for (const auto& [h, r] : before.places) EXPECT_TRUE(EqualRect(&back.places.at(h), &r)) << classOf(h);
    EXPECT_EQ(back.fonts, before.fonts);
    if (list) EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, 1, 0), 61);
}

}  // namespace

TEST(Dpi, EveryWindowFollowsTheMonitorAndComesBackExactly) {
    int fonts = 0;
    for (const ui::Layout* l : layouts::all()) checkWindow(*l, fonts);
    EXPECT_GT(fonts, 40);
}

TEST(Dpi, UnitsMovedByHandlersKeepTheirPlaceAndAWindowOverItsOwnerFollowsIt) {
    win32::Win32Windows windows;
    auto* main = static_cast<win32::Win32Form*>(windows.create(layouts::mainWindow()));
    main->setVisible("", true);
    // The ticker has moved its label; the window is at its start width.
    main->setRect("标签11", {-40, 3, 300, 16});
    main->setRect("", {10, 10, 563, 543});
    auto* question = static_cast<win32::Win32Form*>(windows.create(layouts::confirmWindow()));
    question->placeOverOwner(main->hwnd());
    question->setVisible("", true);

    RECT r;
    GetWindowRect(main->hwnd(), &r);
    const RECT moved{0, 0, MulDiv(r.right - r.left, 3, 2), MulDiv(r.bottom - r.top, 3, 2)};
    sendDpi(main->hwnd(), 144, moved);
    EXPECT_EQ(main->rect("").width, 563);
    EXPECT_EQ(main->rect("标签11"), (ui::Rect{-40, 3, 300, 16}));
    // The whois box lies where 96-DPI 728 puts it: past the narrow edge.
    RECT box;
    GetWindowRect(main->unitHwnd("编辑框6"), &box);
    MapWindowPoints(nullptr, main->hwnd(), reinterpret_cast<POINT*>(&box), 2);
    EXPECT_NEAR(box.left, 728 * 1.5, 1);

    RECT q;
    GetWindowRect(question->hwnd(), &q);
    EXPECT_NEAR((q.left + q.right) / 2, (moved.left + moved.right) / 2, 1);
    EXPECT_NEAR((q.top + q.bottom) / 2, (moved.top + moved.bottom) / 2, 1);
}

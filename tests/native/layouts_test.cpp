// Checks over every window's table: each input unit has a name, the tables
// are in reading order (the keyboard follows them), and the keys name real
// buttons. A new window is checked by being listed in layouts::all().
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/layouts.h"

namespace {

using ui::Kind;

bool tabStop(const ui::Unit& u) {
    if (u.flags & (ui::kHidden | ui::kBehind)) return false;
    switch (u.kind) {
    case Kind::Edit: case Kind::Button: case Kind::FlatButton: case Kind::CheckBox: case Kind::Radio:
    case Kind::DropList: case Kind::DriveBox: case Kind::IpAddress: case Kind::ListView:
        return true;
    default:
        return false;
    }
}

struct Block {
    std::string name;
    int left, top, right, bottom;
};

// The absolute rect of a unit (containers' offsets added).
Block absolute(const ui::Layout& l, const ui::Unit& u) {
    int x = u.left, y = u.top;
    for (const ui::Unit* p = ui::findUnit(l, u.parent); p; p = ui::findUnit(l, p->parent)) {
        x += p->left;
        y += p->top;
    }
    return {std::string(u.name), x, y, x + u.width, y + u.height};
}

bool holdsStop(const ui::Layout& l, std::string_view container) {
    for (const ui::Unit& u : l.units)
        if (u.parent == container && !(u.flags & ui::kHidden) && (tabStop(u) || holdsStop(l, u.name))) return true;
    return false;
}

// Units side by side (their heights overlap) read left to right, else top
// to bottom.
bool readsBefore(const Block& a, const Block& b) {
    if (a.top < b.bottom && b.top < a.bottom) return a.left < b.left;
    return a.top < b.top;
}

// Checks the order of the blocks of one container, then inside each.
void checkOrder(const ui::Layout& l, std::string_view container) {
    std::vector<Block> blocks;
    bool inOptions = false;
    for (const ui::Unit& u : l.units) {
        if (u.parent != container) continue;
        const bool stop = tabStop(u), holder = !stop && holdsStop(l, u.name);
        if (!stop && !holder) continue;
        Block b = absolute(l, u);
        if (u.kind == Kind::Radio && inOptions) {   // the options are one block
            Block& g = blocks.back();
            g = {g.name, std::min(g.left, b.left), std::min(g.top, b.top), std::max(g.right, b.right),
                 std::max(g.bottom, b.bottom)};
            continue;
        }
        inOptions = u.kind == Kind::Radio;
        blocks.push_back(b);
        if (holder) checkOrder(l, u.name);
    }
    for (size_t i = 0; i < blocks.size(); ++i)
        for (size_t j = i + 1; j < blocks.size(); ++j)
            EXPECT_FALSE(readsBefore(blocks[j], blocks[i]))
                << l.name << ": " << blocks[j].name << " reads before " << blocks[i].name;
}

bool isButton(const ui::Layout& l, std::string_view name) {
    const ui::Unit* u = ui::findUnit(l, name);
    return u && (u->kind == Kind::Button || u->kind == Kind::FlatButton);
}

TEST(Layouts, EveryInputUnitHasAName) {
    for (const ui::Layout* l : layouts::all()) {
        for (const ui::Unit& u : l->units) {
            if (ui::needsName(u.kind)) {
                EXPECT_NE(ui::accessibleName(*l, u.name), "") << l->name << ": " << u.name;
            }
        }
        for (const ui::UnitName& n : l->names) EXPECT_NE(ui::findUnit(*l, n.unit), nullptr) << l->name << ": " << n.unit;
    }
    // The label right before, its colon dropped; an explicit name wins.
    EXPECT_EQ(ui::accessibleName(layouts::mainWindow(), "地址编辑框"), "FTP地址");
    EXPECT_EQ(ui::accessibleName(layouts::mainWindow(), "IP编辑框4"), "首选 DNS");
    EXPECT_EQ(ui::accessibleName(layouts::mainWindow(), "编辑框6"), "要查询的域名");
    EXPECT_EQ(ui::accessibleName(layouts::mainWindow(), "按钮1"), "");
}

TEST(Layouts, TablesAreInReadingOrder) {
    for (const ui::Layout* l : layouts::all()) checkOrder(*l, "");
}

TEST(Layouts, KeysNameButtons) {
    for (const ui::Layout* l : layouts::all()) {
        const ui::Keys& k = l->keys;
        EXPECT_TRUE(k.defaultButton.empty() || isButton(*l, k.defaultButton)) << l->name;
        EXPECT_TRUE(k.cancelButton.empty() || isButton(*l, k.cancelButton)) << l->name;
        EXPECT_FALSE(!k.cancelButton.empty() && k.escapeCloses) << l->name;
        for (const ui::EnterKey& e : k.enterKeys) {
            EXPECT_NE(ui::findUnit(*l, e.unit), nullptr) << l->name << ": " << e.unit;
            EXPECT_TRUE(isButton(*l, e.button)) << l->name << ": " << e.button;
        }
    }
}

}  // namespace

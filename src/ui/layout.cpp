#include "ui/layout.h"

namespace ui {

const Unit* findUnit(const Layout& layout, std::string_view name) {
    for (const Unit& u : layout.units)
        if (u.name == name) return &u;
    return nullptr;
}

bool needsName(Kind kind) {
    switch (kind) {
    case Kind::Edit:
    case Kind::IpAddress:
    case Kind::DropList:
    case Kind::DriveBox:
    case Kind::ListView:
    case Kind::Progress:
        return true;
    default:
        return false;
    }
}

namespace {

// A label's caption as a name: "FTP地址：" -> "FTP地址".
std::string_view withoutColon(std::string_view s) {
    for (;;) {
        if (s.ends_with("：")) s.remove_suffix(std::string_view("：").size());
        else if (s.ends_with(":") || s.ends_with(" ")) s.remove_suffix(1);
        else return s;
    }
}

}  // namespace

std::string_view accessibleName(const Layout& layout, std::string_view unit) {
    for (const UnitName& n : layout.names)
        if (n.unit == unit) return n.name;
    const Unit* prev = nullptr;
    for (const Unit& u : layout.units) {
        if (u.name == unit) return prev && prev->kind == Kind::Label ? withoutColon(prev->text) : std::string_view{};
        prev = &u;
    }
    return {};
}

std::string_view enterButton(const Layout& layout, std::string_view focused) {
    const Unit* f = focused.empty() ? nullptr : findUnit(layout, focused);
    if (f && (f->kind == Kind::Button || f->kind == Kind::FlatButton)) return f->name;
    // The focused unit or a container of it.
    for (const Unit* u = f; u; u = u->parent.empty() ? nullptr : findUnit(layout, u->parent))
        for (const EnterKey& k : layout.keys.enterKeys)
            if (k.unit == u->name) return k.button;
    return layout.keys.defaultButton;
}

}  // namespace ui

#include "ui/layout.h"

namespace ui {

const Unit* findUnit(const Layout& layout, std::string_view name) {
    for (const Unit& u : layout.units)
        if (u.name == name) return &u;
    return nullptr;
}

}  // namespace ui

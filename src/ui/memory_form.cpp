#include "ui/memory_form.h"

#include <algorithm>

#include "ui/address.h"

namespace ui {

MemoryForm::MemoryForm(const Layout& layout) : layout_(layout) {
    State window;
    window.text = std::string(layout.title);
    window.rect = {0, 0, layout.width, layout.height};
    window.visible = false;   // windows are created hidden
    states_.emplace("", window);
    for (const Unit& u : layout.units) {
        State s;
        s.unit = &u;
        s.rect = {u.left, u.top, u.width, u.height};
        s.visible = !(u.flags & kHidden);
        s.enabled = !(u.flags & kDisabled);
        s.checked = (u.flags & kChecked) != 0;
        s.font = u.font;
        s.textColour = u.textColour;
        s.backColour = u.backColour;
        s.bars = (u.flags & kVScroll) ? ScrollBars::Vertical : ScrollBars::None;
        if (u.kind != Kind::Progress) s.text = std::string(u.text);
        states_.emplace(std::string(u.name), std::move(s));
    }
}

MemoryForm::State* MemoryForm::find(std::string_view unit) {
    auto it = states_.find(unit);
    return it == states_.end() ? nullptr : &it->second;
}

const MemoryForm::State* MemoryForm::find(std::string_view unit) const {
    auto it = states_.find(unit);
    return it == states_.end() ? nullptr : &it->second;
}

bool MemoryForm::has(std::string_view unit) const { return find(unit) != nullptr; }

std::string MemoryForm::text(std::string_view unit) const {
    const State* s = find(unit);
    if (!s) return {};
    if (s->unit && (s->unit->kind == Kind::DropList || s->unit->kind == Kind::DriveBox)) {
        if (s->selection < 0 || s->selection >= static_cast<int>(s->items.size())) return {};
        return s->items[s->selection].columns[0];
    }
    return s->text;
}

void MemoryForm::setText(std::string_view unit, std::string_view text) {
    if (State* s = find(unit)) {
        if (s->unit && s->unit->kind == Kind::IpAddress) {
            auto a = parseAddressText(text);
            s->text = a ? formatAddress(*a) : std::string();
            return;
        }
        bool changed = s->text != text;
        s->text = std::string(text);
        if (changed && s->unit && s->unit->kind == Kind::Edit) fire(unit, Event::Changed);
    }
}

Rect MemoryForm::rect(std::string_view unit) const {
    const State* s = find(unit);
    return s ? s->rect : Rect{};
}

void MemoryForm::setRect(std::string_view unit, const Rect& r) {
    if (State* s = find(unit)) s->rect = r;
}

bool MemoryForm::visible(std::string_view unit) const {
    const State* s = find(unit);
    return s && s->visible;
}

void MemoryForm::setVisible(std::string_view unit, bool on) {
    if (State* s = find(unit)) s->visible = on;
}

bool MemoryForm::enabled(std::string_view unit) const {
    const State* s = find(unit);
    return s && s->enabled;
}

void MemoryForm::setEnabled(std::string_view unit, bool on) {
    if (State* s = find(unit)) s->enabled = on;
}

bool MemoryForm::checked(std::string_view unit) const {
    const State* s = find(unit);
    return s && s->checked;
}

void MemoryForm::setChecked(std::string_view unit, bool on) {
    if (State* s = find(unit)) s->checked = on;
}

void MemoryForm::clearItems(std::string_view unit) {
    if (State* s = find(unit)) {
        s->items.clear();
        s->selection = -1;
    }
}

int MemoryForm::addItem(std::string_view unit, std::string_view text, int value, int image) {
    State* s = find(unit);
    if (!s) return -1;
    Item item;
    item.columns.emplace_back(text);
    item.value = value;
    item.image = image;
    s->items.push_back(std::move(item));
    return static_cast<int>(s->items.size()) - 1;
}

int MemoryForm::itemCount(std::string_view unit) const {
    const State* s = find(unit);
    return s ? static_cast<int>(s->items.size()) : 0;
}

std::string MemoryForm::itemText(std::string_view unit, int index, int column) const {
    const State* s = find(unit);
    if (!s || index < 0 || index >= static_cast<int>(s->items.size()) || column < 0) return {};
    const auto& cols = s->items[index].columns;
    return column < static_cast<int>(cols.size()) ? cols[column] : std::string();
}

void MemoryForm::setItemText(std::string_view unit, int index, int column, std::string_view text) {
    State* s = find(unit);
    if (!s || index < 0 || index >= static_cast<int>(s->items.size()) || column < 0) return;
    auto& cols = s->items[index].columns;
    if (static_cast<int>(cols.size()) <= column) cols.resize(column + 1);
    cols[column] = std::string(text);
}

int MemoryForm::itemValue(std::string_view unit, int index) const {
    const State* s = find(unit);
    if (!s || index < 0 || index >= static_cast<int>(s->items.size())) return 0;
    return s->items[index].value;
}

int MemoryForm::selection(std::string_view unit) const {
    const State* s = find(unit);
    return s ? s->selection : -1;
}

void MemoryForm::setSelection(std::string_view unit, int index) {
    State* s = find(unit);
    if (!s) return;
    int n = static_cast<int>(s->items.size());
    if (index < 0 || n == 0) s->selection = -1;
    else s->selection = std::min(index, n - 1);
}

void MemoryForm::setColumns(std::string_view unit, const std::vector<Column>& columns) {
    if (State* s = find(unit)) s->columns = columns;
}

Font MemoryForm::font(std::string_view unit) const {
    const State* s = find(unit);
    return s ? s->font : Font{};
}

void MemoryForm::setFont(std::string_view unit, const Font& font) {
    if (State* s = find(unit)) s->font = font;
}

Size MemoryForm::measureText(std::string_view unit, std::string_view text) const {
    const State* s = find(unit);
    int h = (s && s->font.height > 0) ? s->font.height : defaultHeight;
    return {static_cast<int>(text.size()) * charWidth, h};
}

void MemoryForm::setTextColour(std::string_view unit, Colour c) {
    if (State* s = find(unit)) s->textColour = c;
}

Colour MemoryForm::textColour(std::string_view unit) const {
    const State* s = find(unit);
    return s ? s->textColour : kDefaultColour;
}

void MemoryForm::setBackColour(std::string_view unit, Colour c) {
    if (State* s = find(unit)) s->backColour = c;
}

Colour MemoryForm::backColour(std::string_view unit) const {
    const State* s = find(unit);
    return s ? s->backColour : kDefaultColour;
}

void MemoryForm::setScrollBars(std::string_view unit, ScrollBars bars) {
    if (State* s = find(unit)) s->bars = bars;
}

ScrollBars MemoryForm::scrollBars(std::string_view unit) const {
    const State* s = find(unit);
    return s ? s->bars : ScrollBars::None;
}

int MemoryForm::timerPeriod(std::string_view unit) const {
    const State* s = find(unit);
    return s ? s->timer : 0;
}

void MemoryForm::setTimerPeriod(std::string_view unit, int ms) {
    if (State* s = find(unit)) s->timer = ms < 0 ? 0 : ms;
}

int MemoryForm::position(std::string_view unit) const {
    const State* s = find(unit);
    return s ? s->position : 0;
}

void MemoryForm::setPosition(std::string_view unit, int pos) {
    if (State* s = find(unit)) s->position = pos;
}

void MemoryForm::repaint(std::string_view unit) { repaints.emplace_back(unit); }

void MemoryForm::focus(std::string_view unit) { focused = std::string(unit); }

bool MemoryForm::hasFocus(std::string_view unit) const { return focused == unit; }

void MemoryForm::setShield(std::string_view unit, bool on) {
    if (!find(unit)) return;
    if (on) shields.emplace(unit);
    else shields.erase(std::string(unit));
}

void MemoryForm::close() {
    if (closed) return;
    if (!fire("", Event::CanClose)) return;
    closed = true;
    states_[""].visible = false;
    fire("", Event::Destroyed);
}

void MemoryForm::on(std::string_view unit, Event event, Handler handler) {
    handlers_.push_back({{std::string(unit), event}, std::move(handler)});
}

bool MemoryForm::fire(std::string_view unit, Event event, int code, int index, std::string text) {
    EventArgs args{unit, event, code, index, std::move(text), true};
    // Handlers may bind further handlers; iterate by index over a stable count.
    size_t n = handlers_.size();
    for (size_t i = 0; i < n; ++i) {
        if (handlers_[i].first.first == unit && handlers_[i].first.second == event) {
            Handler h = handlers_[i].second;
            h(args);
        }
    }
    if (!args.accept) return false;
    State* s = find(unit);
    if (s && s->unit && s->unit->kind == Kind::Edit) {
        if (event == Event::Char) {
            if (code == 8) {
                if (!s->text.empty()) s->text.pop_back();
            } else if (code >= 32 && code < 127) {
                s->text.push_back(static_cast<char>(code));
            }
            fire(unit, Event::Changed);
        } else if (event == Event::Paste) {
            s->text += args.text;
            fire(unit, Event::Changed);
        }
    }
    return true;
}

void MemoryForm::click(std::string_view unit) {
    State* s = find(unit);
    if (s && s->unit) {
        if (s->unit->kind == Kind::Radio) {
            for (auto& [name, other] : states_)
                if (other.unit && other.unit->kind == Kind::Radio && other.unit->parent == s->unit->parent)
                    other.checked = false;
            s->checked = true;
        } else if (s->unit->kind == Kind::CheckBox) {
            s->checked = !s->checked;
        }
    }
    fire(unit, Event::Click);
}

void MemoryForm::select(std::string_view unit, int index) {
    setSelection(unit, index);
    fire(unit, Event::Selected, 0, selection(unit));
}

void MemoryForm::type(std::string_view unit, std::string_view ascii) {
    for (char c : ascii) fire(unit, Event::Char, static_cast<unsigned char>(c));
}

Form* MemoryWindows::create(const Layout& layout) {
    forms.push_back(std::make_unique<MemoryForm>(layout));
    return forms.back().get();
}

void MemoryWindows::runModal(Form& form) {
    auto& mf = static_cast<MemoryForm&>(form);
    mf.setVisible("", true);
    if (onModal) onModal(mf);
}

MemoryForm* MemoryWindows::find(std::string_view layoutName) const {
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        if ((*it)->layoutName() == layoutName) return it->get();
    return nullptr;
}

}  // namespace ui

// The in-memory backend of Form: units are plain records built from the
// layout. Used by the native tests to drive handlers; `fire` raises an event
// the way the Win32 backend would, and the record of repaints and focus
// changes lets a test see what the handler did in which order.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/windows.h"

namespace ui {

class MemoryForm : public Form {
public:
    explicit MemoryForm(const Layout& layout);

    std::string_view layoutName() const override { return layout_.name; }
    bool has(std::string_view unit) const override;

    std::string text(std::string_view unit) const override;
    void setText(std::string_view unit, std::string_view text) override;
    Rect rect(std::string_view unit) const override;
    void setRect(std::string_view unit, const Rect& r) override;
    bool visible(std::string_view unit) const override;
    void setVisible(std::string_view unit, bool on) override;
    bool enabled(std::string_view unit) const override;
    void setEnabled(std::string_view unit, bool on) override;
    bool checked(std::string_view unit) const override;
    void setChecked(std::string_view unit, bool on) override;

    void clearItems(std::string_view unit) override;
    int addItem(std::string_view unit, std::string_view text, int value, int image) override;
    int itemCount(std::string_view unit) const override;
    std::string itemText(std::string_view unit, int index, int column) const override;
    void setItemText(std::string_view unit, int index, int column, std::string_view text) override;
    int itemValue(std::string_view unit, int index) const override;
    int selection(std::string_view unit) const override;
    void setSelection(std::string_view unit, int index) override;
    void setColumns(std::string_view unit, const std::vector<Column>& columns) override;

    Font font(std::string_view unit) const override;
    void setFont(std::string_view unit, const Font& font) override;
    Size measureText(std::string_view unit, std::string_view text) const override;
    void setTextColour(std::string_view unit, Colour c) override;
    Colour textColour(std::string_view unit) const override;
    void setBackColour(std::string_view unit, Colour c) override;
    Colour backColour(std::string_view unit) const override;
    void setScrollBars(std::string_view unit, ScrollBars bars) override;
    ScrollBars scrollBars(std::string_view unit) const override;
    int timerPeriod(std::string_view unit) const override;
    void setTimerPeriod(std::string_view unit, int ms) override;
    int position(std::string_view unit) const override;
    void setPosition(std::string_view unit, int pos) override;

    void setShield(std::string_view unit, bool on) override;
    void repaint(std::string_view unit) override;
    void focus(std::string_view unit) override;
    bool hasFocus(std::string_view unit) const override;
    void bringToFront() override { ++frontCount; }
    void close() override;

    void on(std::string_view unit, Event event, Handler handler) override;

    // --- test side ---
    // Raises an event as the platform would; returns the handlers' verdict
    // (accept). For Char, Paste and MouseDown the control's own reaction
    // follows when accepted: the character is appended, the paste text is
    // appended, nothing for MouseDown.
    bool fire(std::string_view unit, Event event, int code = 0, int index = -1, std::string text = {});
    // Clicks a unit: for a radio, checks it and clears its siblings first;
    // for a check box, flips it; then raises Click.
    void click(std::string_view unit);
    // Sets the selection as the user would and raises Selected.
    void select(std::string_view unit, int index);
    // Types each character of an ASCII text through Char.
    void type(std::string_view unit, std::string_view ascii);

    // Font metrics of the measuring stand-in: every byte of a measured text
    // is charWidth wide; the extent's height is the font's height (or
    // defaultHeight).
    int charWidth = 6;
    int defaultHeight = 12;

    bool closed = false;         // close() accepted by CanClose
    std::set<std::string, std::less<>> shields;   // buttons showing the consent shield
    int frontCount = 0;
    std::vector<std::string> repaints;   // unit names, in order
    std::string focused;
    // Events in order of arrival, as "unit:event" lines, plus what the
    // handlers set (captions) when asked for by a test through `log`.
    std::vector<std::string> log;

private:
    struct Item {
        std::vector<std::string> columns;
        int value = 0;
        int image = -1;
    };
    struct State {
        const Unit* unit = nullptr;
        std::string text;
        Rect rect;
        bool visible = true, enabled = true, checked = false;
        std::vector<Item> items;
        std::vector<Column> columns;
        int selection = -1;
        Font font;
        Colour textColour = kDefaultColour, backColour = kDefaultColour;
        ScrollBars bars = ScrollBars::None;
        int timer = 0;
        int position = 0;
    };
    State* find(std::string_view unit);
    const State* find(std::string_view unit) const;

    const Layout& layout_;
    std::map<std::string, State, std::less<>> states_;
    std::vector<std::pair<std::pair<std::string, Event>, Handler>> handlers_;
};

// Windows of the in-memory backend. Every created form is kept until the
// factory goes; runModal raises nothing and returns at once unless a test
// installed `onModal`, which then plays the user.
class MemoryWindows : public Windows {
public:
    Form* create(const Layout& layout) override;
    void runModal(Form& form) override;

    std::function<void(MemoryForm&)> onModal;
    std::vector<std::unique_ptr<MemoryForm>> forms;
    // The most recently created form of a layout, open or closed.
    MemoryForm* find(std::string_view layoutName) const;
};

}  // namespace ui

// The Form interface: one window built from a layout, its units addressed by
// name. Handlers read and write units only through this interface, so the
// same handler runs over the in-memory backend (native tests) and over real
// Win32 windows.
//
// The empty unit name "" stands for the window itself (its title, outer
// size, visibility, and the window events CanClose, Deactivated, Destroyed).
//
// All positions and sizes are 96-DPI pixels; a backend that scales for the
// monitor converts at its edge. Every call is made on the user-interface
// thread. Asking for a unit that does not exist is a programming error:
// getters return empty values and setters do nothing.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/layout.h"

namespace ui {

struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};

struct Size {
    int width = 0, height = 0;
    bool operator==(const Size&) const = default;
};

enum class Event {
    Click,        // button, check box, radio, menu item, hyperlink
    Changed,      // edit: content changed
    Selected,     // drop list / drive box / list view: selection changed by the user
    DoubleClick,  // list view
    MouseDown,    // left mouse button pressed in the unit (before the control acts)
    Char,         // edit: a character typed; set accept = false to discard it
    Paste,        // edit: text about to be pasted (text); set accept = false to refuse,
                  // or change text to paste something else
    Enter,        // edit: Enter pressed; set accept = false to consume the key
    Tick,         // timer period elapsed
    CanClose,     // window: may it close? set accept = false to refuse
    Deactivated,  // window: lost the activation / input focus
    Destroyed,    // window: being destroyed; the Form is gone after the handlers ran
    LabelEdited,  // list view: in-place edit ended (index, text); accept keeps the text
};

struct EventArgs {
    std::string_view unit;
    Event event;
    int code = 0;        // Char: the character code (UTF-16 unit); Tick: the periods
                         // elapsed, 1 unless the timer rested (see kRestsUnseen)
    int index = -1;      // LabelEdited, Selected: item index
    std::string text;    // LabelEdited: the new title; Paste: the text
    bool accept = true;  // see Event
};

using Handler = std::function<void(EventArgs&)>;

enum class ScrollBars { None, Horizontal, Vertical, Both };

// A unit's font as a form hands it out and takes it in: the face name is
// the value's own, so it stays valid whatever the form does afterwards.
struct Font {
    std::string face;   // empty = the window's default face
    int height = 0;     // character height, 96-DPI pixels (0 = default size)
    bool bold = false;
    bool underline = false;

    Font() = default;
    Font(std::string f, int h, bool b = false, bool u = false) : face(std::move(f)), height(h), bold(b), underline(u) {}
    // From a layout table's font.
    Font(const FontSpec& s) : face(s.face), height(s.height), bold(s.bold), underline(s.underline) {}
    bool operator==(const Font&) const = default;
};

// One column of a list view.
struct Column {
    std::string text;
    int width = 0;
};

class Form {
public:
    virtual ~Form() = default;

    virtual std::string_view layoutName() const = 0;
    virtual bool has(std::string_view unit) const = 0;

    // Caption of a window, label, button or menu item; content of an edit
    // box; the address text of an IP address field; the shown text of a list.
    virtual std::string text(std::string_view unit) const = 0;
    virtual void setText(std::string_view unit, std::string_view text) = 0;

    // Position relative to the container; for "" the window's outer rect.
    virtual Rect rect(std::string_view unit) const = 0;
    virtual void setRect(std::string_view unit, const Rect& r) = 0;

    virtual bool visible(std::string_view unit) const = 0;
    virtual void setVisible(std::string_view unit, bool on) = 0;
    virtual bool enabled(std::string_view unit) const = 0;
    virtual void setEnabled(std::string_view unit, bool on) = 0;
    virtual bool checked(std::string_view unit) const = 0;
    virtual void setChecked(std::string_view unit, bool on) = 0;

    // Items of a drop list, drive box or list view. Each item carries a text
    // and an integer value; list views also an image index and sub-items.
    virtual void clearItems(std::string_view unit) = 0;
    virtual int addItem(std::string_view unit, std::string_view text, int value, int image = -1) = 0;
    virtual int itemCount(std::string_view unit) const = 0;
    virtual std::string itemText(std::string_view unit, int index, int column = 0) const = 0;
    virtual void setItemText(std::string_view unit, int index, int column, std::string_view text) = 0;
    virtual int itemValue(std::string_view unit, int index) const = 0;
    // Selected item index, -1 for none. Setting it never raises Selected;
    // an index past the end selects the last item, a negative one clears.
    virtual int selection(std::string_view unit) const = 0;
    virtual void setSelection(std::string_view unit, int index) = 0;
    virtual void setColumns(std::string_view unit, const std::vector<Column>& columns) = 0;
    // Stops (false) and resumes (true) drawing a list while many items are
    // added, so it is drawn once when filled. Backends that draw nothing
    // ignore it.
    virtual void setRedraw(std::string_view unit, bool on) {}

    virtual Font font(std::string_view unit) const = 0;
    virtual void setFont(std::string_view unit, const Font& font) = 0;
    // Extent of a text drawn in the unit's font.
    virtual Size measureText(std::string_view unit, std::string_view text) const = 0;
    virtual void setTextColour(std::string_view unit, Colour c) = 0;
    virtual Colour textColour(std::string_view unit) const = 0;
    virtual void setBackColour(std::string_view unit, Colour c) = 0;
    virtual Colour backColour(std::string_view unit) const = 0;
    virtual void setScrollBars(std::string_view unit, ScrollBars bars) = 0;
    virtual ScrollBars scrollBars(std::string_view unit) const = 0;

    // Timers: period in milliseconds, 0 = stopped.
    virtual int timerPeriod(std::string_view unit) const = 0;
    virtual void setTimerPeriod(std::string_view unit, int ms) = 0;

    // Progress bar position (range from the layout's text, "min,max").
    virtual int position(std::string_view unit) const = 0;
    virtual void setPosition(std::string_view unit, int pos) = 0;

    // A button's consent shield: shown on a button whose action asks for
    // administrator rights first.
    virtual void setShield(std::string_view unit, bool on) = 0;

    // Paints the unit now, before the thread blocks in a long call.
    virtual void repaint(std::string_view unit) = 0;
    virtual void focus(std::string_view unit) = 0;
    virtual bool hasFocus(std::string_view unit) const = 0;

    // Window operations.
    virtual void bringToFront() = 0;
    virtual void close() = 0;   // asks the window to close (CanClose runs)

    // Binds a handler; several handlers of one event run in binding order.
    virtual void on(std::string_view unit, Event event, Handler handler) = 0;
};

}  // namespace ui

// Window layouts as data.
//
// A window is a table of named units. Each unit has a kind, the name of the
// unit that contains it (empty for the window's client area), a position and
// size in 96-DPI pixels relative to that container, a caption or content and
// a few flags. The backends (in-memory and Win32) build their units from these
// tables; handlers address units by name only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace ui {

enum class Kind : std::uint8_t {
    GroupBox,     // frame with an optional caption; contains other units
    Canvas,       // plain drawing surface; clips the units inside it
    Label,        // static text
    Hyperlink,    // static text that opens its target when clicked
    Edit,         // edit box (single or multi-line, see flags)
    Button,       // push button
    FlatButton,   // push button drawn flat; still a standard button
    CheckBox,
    Radio,        // option button; the radios of one container form one choice
    DropList,     // combo box in drop-down-list mode (not typed into, unsorted)
    DriveBox,     // drop-down list of the machine's drives
    IpAddress,    // IPv4 address field
    ListView,     // list in report view with columns and small images
    Progress,     // progress bar
    Browser,      // embedded web browser
    Picture,      // a bitmap resource shown at its unit's size
    Timer,        // not a window; has a period and a tick event
    Menu,         // a top-level menu of the window's menu bar
    MenuItem,     // an item of a menu; parent is the menu
};

enum Flag : std::uint32_t {
    kHidden     = 1u << 0,   // not visible at start
    kDisabled   = 1u << 1,   // disabled at start
    kMultiLine  = 1u << 2,   // edit: multi-line (wants Enter, wraps)
    kPassword   = 1u << 3,   // edit: masked input
    kVScroll    = 1u << 4,   // edit: vertical scroll bar at start
    kReadOnly   = 1u << 5,   // edit: read only
    kEditLabels = 1u << 6,   // list view: titles editable in place
    kClip       = 1u << 7,   // group box: a real container that clips its units
    kSunken     = 1u << 8,   // edit: shallow sunken (static-edge) border
    kChecked    = 1u << 9,   // check box / radio / menu item: checked at start
    kNoBorder   = 1u << 10,  // edit: no border
    kCentre     = 1u << 11,  // label: centred text
    kBehind     = 1u << 12,  // drawn behind the units that overlap it (a frame)
    kLineBorder = 1u << 13,  // edit: a single-line (flat) border instead of the sunken edge
    kRestsUnseen = 1u << 14, // timer: rests while its window is minimised or hidden; the
                             // first tick after it counts the periods that went by
    kSeparatorBefore = 1u << 15, // menu item: a separator line stands before it
};

// A colour as 0x00BBGGRR (the Windows COLORREF layout); kDefaultColour
// leaves the platform's colour in place.
using Colour = std::uint32_t;
inline constexpr Colour kDefaultColour = 0xFFFFFFFFu;
constexpr Colour rgb(unsigned r, unsigned g, unsigned b) {
    return (r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16);
}

// Font of a unit. An empty face means the window's default font; height is
// the character height in 96-DPI pixels (0 = default size).
struct FontSpec {
    std::string_view face{};
    int height = 0;
    bool bold = false;
    bool underline = false;
    bool operator==(const FontSpec&) const = default;
};

struct Unit {
    std::string_view name;
    Kind kind;
    std::string_view parent;   // "" = the window itself
    int left = 0, top = 0, width = 0, height = 0;
    std::string_view text{};   // caption / content / hyperlink text
    std::uint32_t flags = 0;
    Colour textColour = kDefaultColour;
    Colour backColour = kDefaultColour;
    FontSpec font{};
    // Kind-specific extra: accelerator text of a menu item ("Ctrl+A"), the
    // target of a hyperlink, the resource name of a picture.
    std::string_view extra{};
};

// Enter while the focus is in `unit` (an edit box, an IP address field, a
// list) presses `button` rather than the window's default button.
struct EnterKey {
    std::string_view unit;
    std::string_view button;
};

// What Enter and Esc do in a window. Enter on a focused push button always
// presses that button; elsewhere it presses the button of an EnterKey whose
// unit holds the focus, else the default button (drawn as the default).
// Esc presses the cancel button, or closes the window (its CanClose runs, as
// for the close box) with escapeCloses; with neither, Esc does nothing.
// A button that is hidden or disabled is not pressed.
struct Keys {
    std::string_view defaultButton{};
    std::string_view cancelButton{};
    bool escapeCloses = false;
    std::span<const EnterKey> enterKeys{};
};

// The accessible name of a unit (what a screen reader says for it). Edit
// boxes, IP address fields, drop lists, drive boxes, list views and progress
// bars are named by the label that stands right before them in the table;
// where no label fits, the layout names them here. Buttons, check boxes and
// options are named by their captions.
struct UnitName {
    std::string_view unit;
    std::string_view name;
};

// The keyboard order of a window is the order of its table: keep the table
// in reading order (top to bottom, then left to right, a group box's units
// together). The options of one container form one tab stop.
struct Layout {
    std::string_view name;     // window identity, also the Win32 class suffix
    std::string_view title;    // caption of the window ("" = no caption bar)
    int width = 0, height = 0; // outer size in 96-DPI pixels
    std::span<const Unit> units;
    bool popup = false;        // no caption, no border (splash)
    bool resizable = false;
    Keys keys{};
    std::span<const UnitName> names{};
};

// Finds a unit of a layout by name; nullptr when absent.
const Unit* findUnit(const Layout& layout, std::string_view name);

// Whether a unit of this kind needs an accessible name of its own (it shows
// no caption): edit boxes, IP address fields, lists and progress bars.
bool needsName(Kind kind);

// The accessible name of a unit that needs one: the layout's explicit name,
// else the caption of the label right before it in the table, without a
// trailing colon; "" when it has neither.
std::string_view accessibleName(const Layout& layout, std::string_view unit);

// The button Enter presses when `focused` (a unit name, "" for none) has the
// focus: the focused push button itself, else an EnterKey's button, else the
// default button; "" for none.
std::string_view enterButton(const Layout& layout, std::string_view focused);

}  // namespace ui

// The Win32 backend of the unit model: real windows and standard controls
// built from the layout tables.
//
// Units inside a plain group box are children of the top-level window at
// their absolute place (so the group box stays a standard BUTTON and every
// notification reaches the window); canvases and group boxes flagged kClip
// are real containers that clip their units. All positions handed in and out
// are 96-DPI pixels; the backend scales them by the window's DPI.
//
// List views are virtual (owner data): the rows live in the backend and the
// control asks for the cells it draws, so a list of tens of thousands of
// entries fills in one message and draws only what is in view.
//
// Everything here runs on the user-interface thread.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/windows.h"

namespace win32 {

class Win32Windows;

class Win32Form : public ui::Form {
public:
    Win32Form(Win32Windows& owner, const ui::Layout& layout);
    ~Win32Form() override;
    Win32Form(const Win32Form&) = delete;
    Win32Form& operator=(const Win32Form&) = delete;

    std::string_view layoutName() const override { return layout_.name; }
    bool has(std::string_view unit) const override;

    std::string text(std::string_view unit) const override;
    void setText(std::string_view unit, std::string_view text) override;
    ui::Rect rect(std::string_view unit) const override;
    void setRect(std::string_view unit, const ui::Rect& r) override;
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
    void setColumns(std::string_view unit, const std::vector<ui::Column>& columns) override;
    void setRedraw(std::string_view unit, bool on) override;

    ui::Font font(std::string_view unit) const override;
    void setFont(std::string_view unit, const ui::Font& font) override;
    ui::Size measureText(std::string_view unit, std::string_view text) const override;
    void setTextColour(std::string_view unit, ui::Colour c) override;
    ui::Colour textColour(std::string_view unit) const override;
    void setBackColour(std::string_view unit, ui::Colour c) override;
    ui::Colour backColour(std::string_view unit) const override;
    void setScrollBars(std::string_view unit, ui::ScrollBars bars) override;
    ui::ScrollBars scrollBars(std::string_view unit) const override;
    int timerPeriod(std::string_view unit) const override;
    void setTimerPeriod(std::string_view unit, int ms) override;
    int position(std::string_view unit) const override;
    void setPosition(std::string_view unit, int pos) override;

    void setShield(std::string_view unit, bool on) override;
    void repaint(std::string_view unit) override;
    void focus(std::string_view unit) override;
    bool hasFocus(std::string_view unit) const override;
    void bringToFront() override;
    void close() override;

    void on(std::string_view unit, ui::Event event, ui::Handler handler) override;

    // The window and a unit's control (nullptr for timers, menus or unknown).
    HWND hwnd() const { return hwnd_; }
    HWND unitHwnd(std::string_view unit) const;
    // The command id of a menu item (for WM_COMMAND), 0 when unknown.
    UINT menuId(std::string_view unit) const;
    HACCEL accelerators() const { return accel_; }
    bool alive() const { return hwnd_ != nullptr; }
    int dpi() const { return dpi_; }

    // Puts the window centred over `owner` (owned by it, so it stays above
    // it), inside the work area of the owner's monitor; placed again so
    // whenever the owner's DPI changes. UI thread.
    void placeOverOwner(HWND owner);

private:
    struct UnitRec;
    friend class Win32Windows;

    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK panelProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK pictureProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK controlSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    // The keyboard (win32_keys.cpp): Enter, Esc, the default button drawn
    // where Enter goes, the tab stops. True when `msg` was answered.
    bool keyMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
    // The button Enter presses with the focus where it is; nullptr for none.
    UnitRec* enterTarget();
    // Clicks a button unit from the keyboard: nothing when it is hidden or
    // disabled.
    void press(UnitRec& u);
    // BS_DEFPUSHBUTTON on the button Enter would press now, off the others.
    void showDefault();
    // WS_TABSTOP: on where Tab may land (visible in the client area; of a
    // group of options the chosen one, else the first), off elsewhere.
    void refreshTabStops();
    UnitRec* unitOfFocus();
    // A window's new DPI (win32_dpi.cpp): the suggested rectangle taken,
    // fonts made afresh, every unit placed again from its 96-DPI rect.
    void rescale(int dpi, const RECT* suggested);
    void placeInner(UnitRec& u);
    // A list view's small images (the layout's bitmap strip of 16-pixel
    // images) at the window's DPI. The caller owns the list.
    HIMAGELIST listImages(const ui::Unit& u) const;
    void centreOverOwner();
    void updateIcons();
    void makeDefaultFont(LOGFONTW base);
    // The accessible object of a named control (win32_access.cpp); handled
    // is false when the default one is to answer.
    static LRESULT accessibleObject(HWND h, WPARAM wp, LPARAM lp, const std::wstring& name, bool& handled);
    static LRESULT CALLBACK innerSubclass(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT controlMessage(UnitRec& u, HWND h, UINT msg, WPARAM wp, LPARAM lp, bool& handled);
    // A list view unit's WM_NOTIFY; returns what the window procedure returns.
    LRESULT listNotify(UnitRec* u, LPARAM lp);

    void build();
    void createUnit(UnitRec& u);
    void buildMenu();
    void place(UnitRec& u);
    void applyVisibility(UnitRec& u);
    void applyFont(UnitRec& u);
    void drawLabel(UnitRec& u, HDC dc, const RECT& r);
    // Labels on a canvas have no window: the canvas paints them, double
    // buffered, and a change repaints only the part of the canvas it touches.
    void invalidateDrawn(const UnitRec& u, const ui::Rect& area);
    // A drawn label moved from `old`: a sideways slide scrolls the pixels
    // already on the canvas and leaves only the uncovered columns to paint.
    void moveDrawn(UnitRec& u, const ui::Rect& old);
    // Paints `area` of a canvas; `whole`: a paint message's (asks the window
    // for the background afresh), else a slide's uncovered columns.
    void paintCanvas(UnitRec& canvas, HDC dc, const RECT& area, bool whole = false);
    // Draws the part of a drawn label's caption inside `clip` (r: the label).
    void drawCaption(UnitRec& u, HDC dc, const RECT& r, const RECT& clip);
    // Stops the timers flagged kRestsUnseen while the window is minimised or
    // hidden and starts them again when it is back.
    void syncResting();
    void catchUp(UINT_PTR timerId);
    // Gives the focus back to the remembered control; false when there is
    // none that can take it.
    bool restoreFocus();
    bool effectiveVisible(const UnitRec& u) const;
    POINT origin(const UnitRec& u) const;   // unit's container-relative origin, physical
    HWND hostOf(const UnitRec& u) const;

    UnitRec* find(std::string_view unit);
    const UnitRec* find(std::string_view unit) const;
    UnitRec* byHwnd(HWND h);
    UnitRec* byTimer(UINT_PTR id);
    UnitRec* byMenuId(UINT id);

    bool fire(std::string_view unit, ui::Event ev, ui::EventArgs& args);
    bool fire(std::string_view unit, ui::Event ev);
    bool hasHandler(std::string_view unit, ui::Event ev) const;

    int scale(int v) const { return MulDiv(v, dpi_, 96); }
    int unscale(int v) const { return MulDiv(v, 96, dpi_); }
    HFONT fontFor(const ui::Font& spec);
    HBRUSH brushFor(ui::Colour c);

    Win32Windows& owner_;
    const ui::Layout& layout_;
    HWND hwnd_ = nullptr;
    HMENU menuBar_ = nullptr;
    HACCEL accel_ = nullptr;
    int dpi_ = 96;
    bool closing_ = false;
    // The control that had the focus when the window last lost the
    // activation (or was last given it while the window was inactive): it
    // gets the focus back when the window is activated, as in a dialog.
    HWND lastFocus_ = nullptr;
    ui::Rect windowLogical_{};
    SIZE windowPhysical_{};   // the outer size the window got for windowLogical_
    HWND placedOver_ = nullptr;
    HWND defaultShown_ = nullptr;   // the button drawn as the default
    HWND focusing_ = nullptr;       // an option taking the focus
    HICON icons_[2] = {};           // small and big, at the window's DPI
    std::vector<std::unique_ptr<UnitRec>> units_;
    std::map<std::string, UnitRec*, std::less<>> byName_;
    std::vector<std::pair<std::pair<std::string, ui::Event>, ui::Handler>> handlers_;
    std::map<std::pair<std::string, int>, HFONT> fonts_;
    std::map<ui::Colour, HBRUSH> brushes_;
    HFONT defaultFont_ = nullptr;
};

// Creates windows and runs the message loop. One instance per process,
// created on the user-interface thread.
class Win32Windows : public ui::Windows {
public:
    Win32Windows();
    ~Win32Windows() override;

    ui::Form* create(const ui::Layout& layout) override;
    void runModal(ui::Form& form) override;

    // Runs the message loop until no window of the tool is left (or
    // WM_QUIT). Returns the quit code.
    int run();
    // Processes the messages that are waiting, then returns.
    void pump();
    // Handles one message the way the loop does (accelerators, dialog keys).
    void dispatch(MSG& msg);

    size_t liveWindows() const;
    Win32Form* formOf(HWND hwnd) const;

private:
    friend class Win32Form;
    void destroyed(Win32Form* f);
    void sweep();

    std::vector<std::unique_ptr<Win32Form>> forms_;
    std::vector<std::unique_ptr<Win32Form>> dead_;
    ULONG_PTR gdiplusToken_ = 0;
    bool quitWhenEmpty_ = true;
};

// Loads a picture (JPEG, PNG, BMP) from an RCDATA resource of the module;
// nullptr when absent or undecodable. The caller owns the bitmap.
HBITMAP loadPictureResource(const wchar_t* name);

}  // namespace win32

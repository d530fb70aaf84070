// Lists: the items of list views (owner data: the rows live in the unit
// record and the control asks for the cells it draws) and of drop lists,
// their columns and selection, and what a list view notifies.
#include "platform/win32/win32_form.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/wide.h"
#include "platform/win32/win32_form_internal.h"

namespace win32 {

namespace {

using ui::Event;
using ui::Kind;

// Tells a list view how many rows it has, keeping its scroll position and
// repainting only what the change touches.
void syncCount(HWND list, size_t n) {
    SendMessageW(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(n), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
}

}  // namespace

void Win32Form::clearItems(std::string_view unit) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return;
    if (u->unit->kind == Kind::ListView) {
        u->rows.clear();
        u->countStale = false;
        // Also drops the selection and the focus item.
        SendMessageW(u->hwnd, LVM_DELETEALLITEMS, 0, 0);
    } else {
        SendMessageW(u->hwnd, CB_RESETCONTENT, 0, 0);
    }
}

int Win32Form::addItem(std::string_view unit, std::string_view text, int value, int image) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return -1;
    if (u->unit->kind == Kind::ListView) {
        UnitRec::Row row;
        row.cells.emplace_back(text);
        row.value = value;
        row.image = image;
        u->rows.push_back(std::move(row));
        if (u->redrawOff) u->countStale = true;
        else syncCount(u->hwnd, u->rows.size());
        return static_cast<int>(u->rows.size()) - 1;
    }
    const std::wstring w = widen(text);
    int idx = static_cast<int>(SendMessageW(u->hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str())));
    if (idx >= 0) SendMessageW(u->hwnd, CB_SETITEMDATA, idx, static_cast<LPARAM>(value));
    return idx;
}

int Win32Form::itemCount(std::string_view unit) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd) return 0;
    if (u->unit->kind == Kind::ListView) return static_cast<int>(u->rows.size());
    int n = static_cast<int>(SendMessageW(u->hwnd, CB_GETCOUNT, 0, 0));
    return n < 0 ? 0 : n;
}

std::string Win32Form::itemText(std::string_view unit, int index, int column) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd || index < 0 || index >= itemCount(unit)) return {};
    if (u->unit->kind == Kind::ListView) {
        const auto& cells = u->rows[static_cast<size_t>(index)].cells;
        if (column < 0 || static_cast<size_t>(column) >= cells.size()) return {};
        return cells[static_cast<size_t>(column)];
    }
    if (column != 0) return {};
    int len = static_cast<int>(SendMessageW(u->hwnd, CB_GETLBTEXTLEN, index, 0));
    if (len <= 0) return {};
    std::wstring buf(static_cast<size_t>(len) + 1, L'\0');
    SendMessageW(u->hwnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(static_cast<size_t>(len));
    return narrow(buf);
}

void Win32Form::setItemText(std::string_view unit, int index, int column, std::string_view text) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd || u->unit->kind != Kind::ListView) return;
    if (index < 0 || static_cast<size_t>(index) >= u->rows.size() || column < 0 || column > 255) return;
    auto& cells = u->rows[static_cast<size_t>(index)].cells;
    if (cells.size() <= static_cast<size_t>(column)) cells.resize(static_cast<size_t>(column) + 1);
    cells[static_cast<size_t>(column)] = text;
    if (!u->redrawOff) SendMessageW(u->hwnd, LVM_REDRAWITEMS, index, index);
}

int Win32Form::itemValue(std::string_view unit, int index) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd || index < 0 || index >= itemCount(unit)) return 0;
    if (u->unit->kind == Kind::ListView) return u->rows[static_cast<size_t>(index)].value;
    return static_cast<int>(SendMessageW(u->hwnd, CB_GETITEMDATA, index, 0));
}

int Win32Form::selection(std::string_view unit) const {
    const UnitRec* u = find(unit);
    if (!u || !u->hwnd) return -1;
    if (u->unit->kind == Kind::ListView)
        return static_cast<int>(SendMessageW(u->hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    return static_cast<int>(SendMessageW(u->hwnd, CB_GETCURSEL, 0, 0));
}

void Win32Form::setSelection(std::string_view unit, int index) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return;
    int n = itemCount(unit);
    int target = (index < 0 || n == 0) ? -1 : std::min(index, n - 1);
    if (u->unit->kind == Kind::ListView) {
        LVITEMW it{};
        it.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        it.state = 0;
        SendMessageW(u->hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&it));
        if (target >= 0) {
            it.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(u->hwnd, LVM_SETITEMSTATE, target, reinterpret_cast<LPARAM>(&it));
        }
        return;
    }
    SendMessageW(u->hwnd, CB_SETCURSEL, target, 0);
}

void Win32Form::setColumns(std::string_view unit, const std::vector<ui::Column>& columns) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd || u->unit->kind != Kind::ListView) return;
    while (SendMessageW(u->hwnd, LVM_DELETECOLUMN, 0, 0)) {
    }
    u->columnWidths.clear();
    for (const ui::Column& c : columns) u->columnWidths.push_back(c.width);
    int i = 0;
    for (const ui::Column& c : columns) {
        std::wstring w = widen(c.text);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        col.pszText = w.data();
        col.cx = scale(c.width);
        col.iSubItem = i;
        SendMessageW(u->hwnd, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
        ++i;
    }
}

void Win32Form::setRedraw(std::string_view unit, bool on) {
    UnitRec* u = find(unit);
    if (!u || !u->hwnd) return;
    u->redrawOff = !on;
    if (on && u->countStale) {
        u->countStale = false;
        syncCount(u->hwnd, u->rows.size());
    }
    SendMessageW(u->hwnd, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    if (on) InvalidateRect(u->hwnd, nullptr, TRUE);
}

LRESULT Win32Form::listNotify(UnitRec* u, LPARAM lp) {
    auto* hdr = reinterpret_cast<NMHDR*>(lp);
    if (hdr->code == NM_DBLCLK) {
        fire(u->name, Event::DoubleClick);
    } else if (hdr->code == LVN_ITEMCHANGED) {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(lp);
        if ((nm->uChanged & LVIF_STATE) && (nm->uNewState & LVIS_SELECTED) && !(nm->uOldState & LVIS_SELECTED)) {
            ui::EventArgs a{u->name, Event::Selected};
            a.index = nm->iItem;
            fire(u->name, Event::Selected, a);
        }
    } else if (hdr->code == LVN_GETDISPINFOW) {
        auto& item = reinterpret_cast<NMLVDISPINFOW*>(lp)->item;
        if (item.iItem < 0 || static_cast<size_t>(item.iItem) >= u->rows.size()) return 0;
        const UnitRec::Row& row = u->rows[static_cast<size_t>(item.iItem)];
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            // Only the cells in view are ever widened.
            const size_t col = item.iSubItem < 0 ? 0 : static_cast<size_t>(item.iSubItem);
            const std::wstring cell = col < row.cells.size() ? widen(row.cells[col]) : std::wstring();
            const size_t n = std::min(cell.size(), static_cast<size_t>(item.cchTextMax) - 1);
            if (n) wmemcpy(item.pszText, cell.data(), n);
            item.pszText[n] = L'\0';
        }
        if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) item.iImage = row.image;
        if (item.mask & LVIF_PARAM) item.lParam = row.value;
        return 0;
    } else if (hdr->code == LVN_ENDLABELEDITW) {
        auto* di = reinterpret_cast<NMLVDISPINFOW*>(lp);
        if (!di->item.pszText) return FALSE;   // editing cancelled
        const int index = di->item.iItem;
        if (index < 0 || static_cast<size_t>(index) >= u->rows.size()) return FALSE;
        ui::EventArgs a{u->name, Event::LabelEdited};
        a.index = index;
        a.text = narrow(di->item.pszText);
        if (!fire(u->name, Event::LabelEdited, a)) return FALSE;
        // An owner-data list keeps no text: the accepted title is ours to
        // keep. The handler may have refilled the list meanwhile.
        if (static_cast<size_t>(index) < u->rows.size()) {
            u->rows[static_cast<size_t>(index)].cells[0] = a.text;
            SendMessageW(u->hwnd, LVM_REDRAWITEMS, index, index);
        }
        return TRUE;
    }
    return 0;
}

}  // namespace win32

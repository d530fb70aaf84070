// Timer units: their period; those flagged kRestsUnseen stop while the
// window is minimised or hidden and catch up with one tick when it is back.
#include "platform/win32/win32_form.h"

#include <algorithm>
#include <climits>

#include "platform/win32/win32_form_internal.h"

namespace win32 {

namespace {

using ui::Event;
using ui::Kind;

}  // namespace

int Win32Form::timerPeriod(std::string_view unit) const {
    const UnitRec* u = find(unit);
    return u ? u->period : 0;
}

void Win32Form::setTimerPeriod(std::string_view unit, int ms) {
    UnitRec* u = find(unit);
    if (!u || u->unit->kind != Kind::Timer || !hwnd_) return;
    u->period = ms > 0 ? ms : 0;
    u->lastTick = GetTickCount64();
    u->resting = false;
    if (u->period) SetTimer(hwnd_, u->timerId, static_cast<UINT>(u->period), nullptr);
    else KillTimer(hwnd_, u->timerId);
    syncResting();
}

void Win32Form::syncResting() {
    if (!hwnd_ || closing_) return;
    const bool seen = IsWindowVisible(hwnd_) && !IsIconic(hwnd_);
    for (auto& up : units_) {
        UnitRec& u = *up;
        if (u.unit->kind != Kind::Timer || !(u.unit->flags & ui::kRestsUnseen) || !u.period) continue;
        if (!seen && !u.resting) {
            KillTimer(hwnd_, u.timerId);
            u.resting = true;
        } else if (seen && u.resting) {
            u.resting = false;
            SetTimer(hwnd_, u.timerId, static_cast<UINT>(u.period), nullptr);
            PostMessageW(hwnd_, kTimerCatchUp, u.timerId, 0);
        }
    }
}

void Win32Form::catchUp(UINT_PTR timerId) {
    UnitRec* u = byTimer(timerId);
    if (!u || !u->period || u->resting) return;
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG missed = (now - u->lastTick) / static_cast<ULONGLONG>(u->period);
    if (!missed) return;
    u->lastTick += missed * static_cast<ULONGLONG>(u->period);
    // The window has just come back and waits for its paint; paint it first,
    // so what the tick moves on the screen is what is meant to be there.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    ui::EventArgs a{u->name, Event::Tick};
    a.code = static_cast<int>(std::min<ULONGLONG>(missed, INT_MAX));
    fire(u->name, Event::Tick, a);
}

}  // namespace win32

// Accessible names: a control that shows no caption of its own (an edit
// box, an IP address field and its edits, a list, a progress bar) answers
// WM_GETOBJECT with the system's standard accessible object, wrapped so
// that its name is the one its layout gives it. Everything else the
// standard object answers. oleacc.dll is loaded from the system folder on
// the first question.
#include <windows.h>
#include <oleacc.h>

#include <string>

#include "platform/win32/platform_win32.h"
#include "platform/win32/win32_form.h"

namespace win32 {

namespace {

using CreateStdFn = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFn = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

struct Oleacc {
    CreateStdFn createStd = nullptr;
    LresultFn lresult = nullptr;
};

const Oleacc& oleacc() {
    static const Oleacc fns = [] {
        Oleacc o;
        // By full path: Windows 7 without KB2533623 knows no search flags.
        const std::wstring dir = systemFolder();
        if (HMODULE m = dir.empty() ? nullptr : LoadLibraryW((dir + L"\\oleacc.dll").c_str())) {
            o.createStd = reinterpret_cast<CreateStdFn>(reinterpret_cast<void*>(GetProcAddress(m, "CreateStdAccessibleObject")));
            o.lresult = reinterpret_cast<LresultFn>(reinterpret_cast<void*>(GetProcAddress(m, "LresultFromObject")));
        }
        return o;
    }();
    return fns;
}

bool isSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

// The standard object with another name. Interfaces other than IAccessible
// (IEnumVARIANT, IOleWindow) are the standard object's own.
class NamedAccessible final : public IAccessible {
public:
    NamedAccessible(IAccessible* inner, std::wstring name) : inner_(inner), name_(std::move(name)) {}
    ~NamedAccessible() { inner_->Release(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return inner_->QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override { return inner_->GetTypeInfoCount(n); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID l, ITypeInfo** t) override { return inner_->GetTypeInfo(i, l, t); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID r, LPOLESTR* n, UINT c, LCID l, DISPID* d) override {
        return inner_->GetIDsOfNames(r, n, c, l, d);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID d, REFIID r, LCID l, WORD f, DISPPARAMS* p, VARIANT* v, EXCEPINFO* e,
                                     UINT* a) override {
        return inner_->Invoke(d, r, l, f, p, v, e, a);
    }

    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (!isSelf(child)) return inner_->get_accName(child, name);
        if (!name) return E_POINTER;
        *name = SysAllocString(name_.c_str());
        return *name ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** p) override { return inner_->get_accParent(p); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* n) override { return inner_->get_accChildCount(n); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT c, IDispatch** d) override { return inner_->get_accChild(c, d); }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT c, BSTR* v) override { return inner_->get_accValue(c, v); }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT c, BSTR* v) override { return inner_->get_accDescription(c, v); }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT c, VARIANT* v) override { return inner_->get_accRole(c, v); }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT c, VARIANT* v) override { return inner_->get_accState(c, v); }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT c, BSTR* v) override { return inner_->get_accHelp(c, v); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* f, VARIANT c, long* t) override {
        return inner_->get_accHelpTopic(f, c, t);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT c, BSTR* v) override {
        return inner_->get_accKeyboardShortcut(c, v);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* v) override { return inner_->get_accFocus(v); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* v) override { return inner_->get_accSelection(v); }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT c, BSTR* v) override {
        return inner_->get_accDefaultAction(c, v);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long f, VARIANT c) override { return inner_->accSelect(f, c); }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* w, long* h, VARIANT c) override {
        return inner_->accLocation(x, y, w, h, c);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long d, VARIANT s, VARIANT* e) override { return inner_->accNavigate(d, s, e); }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* c) override { return inner_->accHitTest(x, y, c); }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT c) override { return inner_->accDoDefaultAction(c); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT c, BSTR n) override { return inner_->put_accName(c, n); }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT c, BSTR v) override { return inner_->put_accValue(c, v); }

private:
    LONG refs_ = 1;
    IAccessible* inner_;
    std::wstring name_;
};

}  // namespace

LRESULT Win32Form::accessibleObject(HWND h, WPARAM wp, LPARAM, const std::wstring& name, bool& handled) {
    handled = false;
    const Oleacc& o = oleacc();
    if (!o.createStd || !o.lresult) return 0;
    IAccessible* standard = nullptr;
    if (FAILED(o.createStd(h, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&standard))) || !standard)
        return 0;
    auto* named = new NamedAccessible(standard, name);
    const LRESULT r = o.lresult(__uuidof(IAccessible), wp, static_cast<IAccessible*>(named));
    named->Release();   // the result holds its own reference
    if (r <= 0) return 0;   // no apartment on this thread: the default object answers
    handled = true;
    return r;
}

}  // namespace win32

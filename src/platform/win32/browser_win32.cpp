#include "platform/win32/browser_win32.h"

#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <ole2.h>

#include <string>

#include "platform/win32/wide.h"
#include "platform/win32/win32_form.h"

namespace win32 {

namespace {

constexpr UINT_PTR kSubclassId = 0x4B42;   // the browser's hook on its container

// The container side of the in-place embedding. One object answers for the
// client site, the in-place site and the frame; the window it reports is the
// unit's container, which the control fills.
class BrowserSite final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
public:
    explicit BrowserSite(HWND host) : host_(host) {}

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite))
            *out = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite))
            *out = static_cast<IOleInPlaceSite*>(this);
        else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) || IsEqualIID(riid, IID_IOleInPlaceFrame))
            *out = static_cast<IOleInPlaceFrame*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return static_cast<ULONG>(n);
    }

    // IOleClientSite
    STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetContainer(IOleContainer** out) override {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP ShowObject() override { return S_OK; }
    STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
    STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (for the site and the frame alike)
    STDMETHODIMP GetWindow(HWND* out) override {
        if (!out) return E_POINTER;
        *out = host_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
    STDMETHODIMP OnUIActivate() override { return S_OK; }
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos, LPRECT clip,
                                  LPOLEINPLACEFRAMEINFO info) override {
        if (frame) {
            *frame = this;
            AddRef();
        }
        if (doc) *doc = nullptr;
        RECT r{};
        GetClientRect(host_, &r);
        if (pos) *pos = r;
        if (clip) *clip = r;
        if (info) {
            info->fMDIApp = FALSE;
            info->hwndFrame = GetAncestor(host_, GA_ROOT);
            info->haccel = nullptr;
            info->cAccelEntries = 0;
        }
        return S_OK;
    }
    STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
    STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
    STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
    STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

    // IOleInPlaceUIWindow: no tool space to hand out.
    STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return OLE_E_INVALIDRECT; }
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

    // IOleInPlaceFrame: no menus, no status bar, no accelerators of ours.
    STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
    STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
    STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

private:
    ~BrowserSite() = default;
    LONG refs_ = 1;
    HWND host_;
};

template <class T>
void release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

class Win32Browser final : public platform::Browser {
public:
    Win32Browser(ui::Form& form, std::string_view unit, Win32Form* native)
        : form_(form), unit_(unit), native_(native) {}
    ~Win32Browser() override { closeControl(); }
    Win32Browser(const Win32Browser&) = delete;
    Win32Browser& operator=(const Win32Browser&) = delete;

    bool navigate(std::string_view address) override {
        if (!ensureControl()) return false;
        BSTR url = SysAllocString(widen(address).c_str());
        if (!url) return false;
        VARIANT none;
        VariantInit(&none);
        const HRESULT hr = web_->Navigate(url, &none, &none, &none, &none);
        SysFreeString(url);
        return SUCCEEDED(hr);
    }

    void setTop(int top) override {
        // The control fills the unit's container, so moving the unit moves
        // the page under the frame that clips it.
        ui::Rect r = form_.rect(unit_);
        r.top = top;
        form_.setRect(unit_, r);
    }

private:
    static LRESULT CALLBACK hostProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
        auto* self = reinterpret_cast<Win32Browser*>(data);
        if (msg == WM_SIZE && self->ole_) {
            IOleInPlaceObject* inPlace = nullptr;
            if (SUCCEEDED(self->ole_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
                RECT r{0, 0, LOWORD(lp), HIWORD(lp)};
                inPlace->SetObjectRects(&r, &r);
                inPlace->Release();
            }
        } else if (msg == WM_DESTROY) {
            // The window goes before the browser object may: close the
            // control while its window still exists.
            const LRESULT r = DefSubclassProc(h, msg, wp, lp);
            self->closeControl();
            return r;
        }
        return DefSubclassProc(h, msg, wp, lp);
    }

    // Creates the control once; later calls report whether it exists.
    bool ensureControl() {
        if (tried_) return web_ != nullptr;
        tried_ = true;
        host_ = native_ ? native_->unitHwnd(unit_) : nullptr;
        if (!host_ || !IsWindow(host_)) return false;
        if (FAILED(OleInitialize(nullptr))) return false;   // the thread is in another apartment
        oleInitialised_ = true;
        site_ = new BrowserSite(host_);
        SetWindowSubclass(host_, hostProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
        subclassed_ = true;

        RECT r{};
        GetClientRect(host_, &r);
        bool ok = SUCCEEDED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                             reinterpret_cast<void**>(&ole_)));
        ok = ok && SUCCEEDED(ole_->SetClientSite(site_));
        if (ok) OleSetContainedObject(ole_, TRUE);
        ok = ok && SUCCEEDED(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, host_, &r));
        ok = ok && SUCCEEDED(ole_->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&web_)));
        if (!ok) {
            closeControl();
            return false;
        }
        // A result page's script errors are the service's business, not the
        // user's: no error dialogs from the control.
        web_->put_Silent(VARIANT_TRUE);
        return true;
    }

    void closeControl() {
        release(web_);
        if (ole_) {
            IOleInPlaceObject* inPlace = nullptr;
            if (SUCCEEDED(ole_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
                inPlace->InPlaceDeactivate();
                inPlace->Release();
            }
            ole_->Close(OLECLOSE_NOSAVE);
            ole_->SetClientSite(nullptr);
            release(ole_);
        }
        release(site_);
        if (subclassed_) {
            RemoveWindowSubclass(host_, hostProc, kSubclassId);
            subclassed_ = false;
        }
        if (oleInitialised_) {
            OleUninitialize();
            oleInitialised_ = false;
        }
    }

    ui::Form& form_;
    std::string unit_;
    Win32Form* native_;
    HWND host_ = nullptr;
    bool tried_ = false;
    bool oleInitialised_ = false;
    bool subclassed_ = false;
    BrowserSite* site_ = nullptr;
    IOleObject* ole_ = nullptr;
    IWebBrowser2* web_ = nullptr;
};

}  // namespace

std::unique_ptr<platform::Browser> Win32Browsers::attach(ui::Form& form, std::string_view unit) {
    return std::make_unique<Win32Browser>(form, unit, dynamic_cast<Win32Form*>(&form));
}

}  // namespace win32

#include "platform/win32/browser_win32.h"

#include <exdispid.h>
#include <mshtmhst.h>
#include <ole2.h>

#include <atomic>

#include "base/boundary.h"
#include "base/trace.h"
#include "platform/win32/bstr_text.h"
#include "platform/win32/counted_object.h"
#include "platform/win32/dispatch_sink.h"
#include "platform/win32/browser_host_class.h"
#include "platform/win32/mshtml_dom.h"

namespace zun::platform::win32 {

// The container side of the control: client site, in-place site and frame,
// and the host UI handler that gives the control its host flags.
class BrowserSite final
    : public CountedObject<IOleClientSite, IOleInPlaceSite, IOleInPlaceFrame, IDocHostUIHandler>,
      public HostResizeListener {
public:
    explicit BrowserSite(HWND host) : _host(host) {}

    void SetObject(IOleObject* object) { _object = object; }
    void SetHostFlags(uint32_t flags) { _hostFlags = flags; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
            *out = static_cast<IOleClientSite*>(this);
        } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
            *out = static_cast<IOleInPlaceSite*>(this);
        } else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
            *out = static_cast<IOleInPlaceFrame*>(this);
        } else if (IsEqualIID(iid, IID_IDocHostUIHandler)) {
            *out = static_cast<IDocHostUIHandler*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }

    // IOleClientSite
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    // IOleWindow (both the in-place site and the frame)
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = _host;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceSite
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
        *document = nullptr;
        GetClientRect(_host, position);
        GetClientRect(_host, clip);
        info->fMDIApp = FALSE;
        info->hwndFrame = GetParent(_host);
        info->haccel = nullptr;
        info->cAccelEntries = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT position) override {
        ComRef<IOleInPlaceObject> inPlace;
        if (SUCCEEDED(inPlace.QueryFrom(_object, IID_IOleInPlaceObject))) inPlace->SetObjectRects(position, position);
        return S_OK;
    }

    // IOleInPlaceUIWindow, IOleInPlaceFrame
    HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
    HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

    // IDocHostUIHandler
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
        if (info == nullptr || info->cbSize < sizeof(DOCHOSTUIINFO)) return E_INVALIDARG;
        info->dwFlags = _hostFlags;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                     IOleInPlaceUIWindow*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HideUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UpdateUI() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD) override {
        *key = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget*, IDropTarget** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD, LPWSTR, LPWSTR* out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject*, IDataObject** out) override {
        *out = nullptr;
        return S_FALSE;
    }

    // The control follows the host window's size.
    void OnHostResized() override {
        RECT rect;
        GetClientRect(_host, &rect);
        OnPosRectChange(&rect);
    }

private:
    HWND _host;
    IOleObject* _object = nullptr;  // not counted: the browser owns both
    uint32_t _hostFlags = 0;
};

// DWebBrowserEvents2, handed to the dialog. Arguments come last to first.
class BrowserEventSink final : public DispatchSink {
public:
    explicit BrowserEventSink(browser::BrowserEvents& events)
        : DispatchSink(DIID_DWebBrowserEvents2), _events(events) {}
    void Detach() { _attached = false; }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        try {
            if (!_attached || params == nullptr) return S_OK;
            const UINT count = params->cArgs;
            auto argument = [&](UINT fromLast) -> const VARIANT* {
                return fromLast < count ? &params->rgvarg[fromLast] : nullptr;
            };
            switch (id) {
                case DISPID_BEFORENAVIGATE2:
                    if (count == 7) _events.OnBeforeNavigate2(Text(argument(5)).c_str());
                    break;
                case DISPID_DOCUMENTCOMPLETE:
                    if (count == 2) _events.OnDocumentComplete(Text(argument(0)).c_str());
                    break;
                case DISPID_DOWNLOADBEGIN:
                    _events.OnDownloadBegin();
                    break;
                case DISPID_DOWNLOADCOMPLETE:
                    _events.OnDownloadComplete();
                    break;
                case DISPID_PROGRESSCHANGE:
                    if (count == 2) _events.OnProgressChange(Number(argument(1)), Number(argument(0)));
                    break;
                case DISPID_SETSECURELOCKICON:
                    if (count == 1) _events.OnSetSecureLockIcon(Number(argument(0)));
                    break;
                default:
                    break;
            }
            return S_OK;
        }
        ZUN_CATCH_RETURN()
    }

private:
    static std::string Text(const VARIANT* value) {
        if (value == nullptr) return std::string();
        VARIANT plain;
        VariantInit(&plain);
        if (FAILED(VariantCopyInd(&plain, const_cast<VARIANT*>(value)))) return std::string();
        std::string text = TextFromVariant(plain);
        VariantClear(&plain);
        return text;
    }
    static int32_t Number(const VARIANT* value) {
        if (value == nullptr) return 0;
        VARIANT number;
        VariantInit(&number);
        if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_I4))) return 0;
        return V_I4(&number);
    }

    browser::BrowserEvents& _events;
    bool _attached = true;
};

Win32Browser::Win32Browser(HWND host, browser::BrowserEvents& events)
    : _host(host), _events(events), _site(new BrowserSite(host)), _sink(new BrowserEventSink(events)) {}

Win32Browser::~Win32Browser() {
    _sink->Detach();
    if (_eventPoint) _eventPoint->Unadvise(_eventCookie);
    _eventPoint.Reset();
    SetWindowLongPtrA(_host, GWLP_USERDATA, 0);
    _browser.Reset();
    if (_object) {
        _object->Close(OLECLOSE_NOSAVE);
        _object->SetClientSite(nullptr);
    }
    _object.Reset();
    _site->SetObject(nullptr);
    _site.Reset();
    _sink.Reset();
    if (_oleInitialized) OleUninitialize();
}

Status Win32Browser::Start() {
    HRESULT hr = OleInitialize(nullptr);
    if (FAILED(hr)) return static_cast<Status>(hr);
    _oleInitialized = true;
    hr = CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER, IID_IOleObject,
                          _object.OutVoid());
    if (FAILED(hr)) return static_cast<Status>(hr);
    _site->SetObject(_object.Get());
    hr = _object->SetClientSite(static_cast<IOleClientSite*>(_site.Get()));
    if (FAILED(hr)) return static_cast<Status>(hr);
    RECT rect;
    GetClientRect(_host, &rect);
    hr = _object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(_site.Get()), 0, _host,
                         &rect);
    if (FAILED(hr)) return static_cast<Status>(hr);
    SetWindowLongPtrA(_host, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(static_cast<HostResizeListener*>(_site.Get())));
    hr = _browser.QueryFrom(_object.Get(), IID_IWebBrowser2);
    if (FAILED(hr)) return static_cast<Status>(hr);
    ComRef<IConnectionPointContainer> container;
    hr = container.QueryFrom(_browser.Get(), IID_IConnectionPointContainer);
    if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, _eventPoint.Out());
    if (SUCCEEDED(hr)) hr = _eventPoint->Advise(_sink.Get(), &_eventCookie);
    if (FAILED(hr)) _eventPoint.Reset();
    return static_cast<Status>(hr);
}

Status Win32Browser::Navigate(const char* url, PostDataArgument* postData, const char* headers) {
    if (url == nullptr) return ZUN_E_INVALID_ARG;
    Bstr urlText(url);
    VARIANT address;
    V_VT(&address) = VT_BSTR;
    V_BSTR(&address) = urlText.Get();
    VARIANT zero;
    V_VT(&zero) = VT_I4;
    V_I4(&zero) = 0;
    VARIANT* body = postData != nullptr && postData->HasBody() ? static_cast<VARIANT*>(postData->Native()) : &zero;
    Bstr headerText(headers);
    VARIANT headerArgument;
    if (headers != nullptr) {
        V_VT(&headerArgument) = VT_BSTR;
        V_BSTR(&headerArgument) = headerText.Get();
    } else {
        headerArgument = zero;
    }
    VARIANT flags = zero;
    VARIANT target = zero;
    return static_cast<Status>(_browser->Navigate2(&address, &flags, &target, body, &headerArgument));
}

Status Win32Browser::GetDocument(dom::DocumentRef* document) {
    if (document == nullptr) return ZUN_E_POINTER;
    ComRef<IDispatch> dispatch;
    HRESULT hr = _browser->get_Document(dispatch.Out());
    if (FAILED(hr)) return static_cast<Status>(hr);
    ComRef<IHTMLDocument2> html;
    hr = html.QueryFrom(dispatch.Get(), IID_IHTMLDocument2);
    if (FAILED(hr)) return hr == E_POINTER ? ZUN_E_NOT_FOUND : static_cast<Status>(hr);
    *document = MakeMshtmlDocument(html.Get());
    return 0;
}

Status Win32Browser::SetHostFlags(uint32_t flags) {
    _site->SetHostFlags(flags);
    return 0;
}

void Win32Browser::TranslateKey(uint32_t message, uint32_t key) {
    ComRef<IOleInPlaceActiveObject> active;
    if (FAILED(active.QueryFrom(_browser.Get(), IID_IOleInPlaceActiveObject))) return;
    MSG msg{};
    msg.hwnd = GetFocus();
    msg.message = message;
    msg.wParam = key;
    active->TranslateAccelerator(&msg);
}

uint32_t Win32Browser::HostFlagsSeenByControl() {
    ComRef<IOleClientSite> site;
    if (FAILED(_object->GetClientSite(site.Out())) || !site) return 0;
    ComRef<IDocHostUIHandler> handler;
    if (FAILED(handler.QueryFrom(site.Get(), IID_IDocHostUIHandler))) return 0;
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof info;
    return SUCCEEDED(handler->GetHostInfo(&info)) ? info.dwFlags : 0;
}

bool Win32Browser::IsInPlaceActive() {
    ComRef<IOleInPlaceObject> inPlace;
    HWND window = nullptr;
    return SUCCEEDED(inPlace.QueryFrom(_object.Get(), IID_IOleInPlaceObject)) &&
           SUCCEEDED(inPlace->GetWindow(&window)) && window != nullptr && GetParent(window) == _host;
}

}  // namespace zun::platform::win32

namespace zun::platform::browser {

// The browser control lives in this process and starts at once: there is no
// browser to keep between dialogs.
SharedBrowserScope::SharedBrowserScope() = default;
SharedBrowserScope::~SharedBrowserScope() = default;

Status CreateBrowser(ui::WindowHandle dialog, int controlId, BrowserEvents& events,
                     std::unique_ptr<Browser>* browser) {
    if (browser == nullptr) return ZUN_E_POINTER;
    HWND host = GetDlgItem(reinterpret_cast<HWND>(dialog), controlId);
    if (host == nullptr) return ZUN_E_CONTROL_NOT_FOUND;
    auto created = std::make_unique<win32::Win32Browser>(host, events);
    const Status status = created->Start();
    if (status != 0) {
        ZUN_TRACE("ZUN_E: CreateBrowser(): Win32Browser::Start(): Failure %u", status);
        return status;
    }
    *browser = std::move(created);
    return 0;
}

}  // namespace zun::platform::browser

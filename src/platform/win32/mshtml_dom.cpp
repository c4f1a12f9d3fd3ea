#include "platform/win32/mshtml_dom.h"

#include "base/boundary.h"
#include "platform/win32/bstr_text.h"
#include "platform/win32/com_ref.h"
#include "platform/win32/dispatch_sink.h"

namespace zun::platform::win32 {
namespace {

// The event interfaces of the click connections, and onclick in both.
const IID kInputTextElementEvents2 = {0x3050f618, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
const IID kAnchorEvents2 = {0x3050f610, 0x98b5, 0x11cf, {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
constexpr DISPID kDispidOnClick = -600;

Status Result(HRESULT hr) { return static_cast<Status>(hr); }

class MshtmlElement;

dom::ElementRef Wrap(IDispatch* dispatch);

// Receives onclick of one element through its connection point.
class ClickEventSink final : public DispatchSink {
public:
    ClickEventSink(dom::ClickSink& sink, REFIID events) : DispatchSink(events), _sink(sink) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        try {
            if (id != kDispidOnClick) return S_OK;
            dom::ElementRef source;
            if (params != nullptr && params->cArgs >= 1 && V_VT(&params->rgvarg[0]) == VT_DISPATCH) {
                ComRef<IHTMLEventObj> event;
                if (SUCCEEDED(event.QueryFrom(V_DISPATCH(&params->rgvarg[0]), IID_IHTMLEventObj))) {
                    ComRef<IHTMLElement> element;
                    if (SUCCEEDED(event->get_srcElement(element.Out()))) source = Wrap(element.Get());
                }
            }
            const bool allow = _sink.OnClick(source);
            if (result != nullptr) {
                V_VT(result) = VT_BOOL;
                V_BOOL(result) = allow ? VARIANT_TRUE : VARIANT_FALSE;
            }
            return S_OK;
        }
        ZUN_CATCH_RETURN()
    }

private:
    dom::ClickSink& _sink;
};

class MshtmlClickConnection final : public dom::ClickConnection {
public:
    MshtmlClickConnection(ComRef<IConnectionPoint> point, DWORD cookie) : _point(point), _cookie(cookie) {}
    ~MshtmlClickConnection() override { _point->Unadvise(_cookie); }

private:
    ComRef<IConnectionPoint> _point;
    DWORD _cookie;
};

class MshtmlElement final : public dom::Element {
public:
    explicit MshtmlElement(ComRef<IHTMLElement> element) : _element(element) {}

    Status GetId(std::string* id) override { return ReadBstr(&IHTMLElement::get_id, id); }
    Status GetTagName(std::string* tagName) override { return ReadBstr(&IHTMLElement::get_tagName, tagName); }
    Status GetSourceIndex(int32_t* index) override {
        long value = -1;
        const HRESULT hr = _element->get_sourceIndex(&value);
        *index = static_cast<int32_t>(value);
        return Result(hr);
    }
    Status GetParentElement(dom::ElementRef* parent) override {
        ComRef<IHTMLElement> element;
        const HRESULT hr = _element->get_parentElement(element.Out());
        *parent = element ? std::make_shared<MshtmlElement>(element) : nullptr;
        return Result(hr);
    }
    Status GetInnerText(std::string* text) override { return ReadBstr(&IHTMLElement::get_innerText, text); }
    Status PutInnerText(const char* text) override { return Result(_element->put_innerText(Bstr(text).Get())); }
    bool IsInputElement() override { return static_cast<bool>(Input()); }
    Status GetValue(std::string* value) override {
        ComRef<IHTMLInputElement> input = Input();
        if (!input) return ZUN_E_NOT_FOUND;
        Bstr text;
        const HRESULT hr = input->get_value(text.Out());
        *value = text.Text();
        return Result(hr);
    }
    Status PutValue(const char* value) override {
        ComRef<IHTMLInputElement> input = Input();
        if (!input) return ZUN_E_NOT_FOUND;
        return Result(input->put_value(Bstr(value).Get()));
    }
    Status GetAttribute(const char* name, std::optional<std::string>* value) override {
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr = _element->getAttribute(Bstr(name).Get(), 0, &result);
        if (FAILED(hr)) return Result(hr);
        if (V_VT(&result) == VT_NULL || V_VT(&result) == VT_EMPTY) {
            value->reset();
        } else {
            *value = TextFromVariant(result);
        }
        VariantClear(&result);
        return 0;
    }
    Status SetAttribute(const char* name, const char* value) override {
        VARIANT text;
        V_VT(&text) = VT_BSTR;
        Bstr owned(value);
        V_BSTR(&text) = owned.Get();
        return Result(_element->setAttribute(Bstr(name).Get(), text, 0));
    }
    Status SetStyleAttribute(const char* name, const char* value) override {
        ComRef<IHTMLStyle> style;
        HRESULT hr = _element->get_style(style.Out());
        if (FAILED(hr) || !style) return FAILED(hr) ? Result(hr) : ZUN_E_NOT_FOUND;
        VARIANT text;
        V_VT(&text) = VT_BSTR;
        Bstr owned(value);
        V_BSTR(&text) = owned.Get();
        return Result(style->setAttribute(Bstr(name).Get(), text, 0));
    }
    Status ConnectClick(dom::ClickEvents events, dom::ClickSink& sink,
                        std::unique_ptr<dom::ClickConnection>* connection) override {
        const IID& iid = events == dom::ClickEvents::Anchor ? kAnchorEvents2 : kInputTextElementEvents2;
        ComRef<IConnectionPointContainer> container;
        HRESULT hr = container.QueryFrom(_element.Get(), IID_IConnectionPointContainer);
        ComRef<IConnectionPoint> point;
        if (SUCCEEDED(hr)) hr = container->FindConnectionPoint(iid, point.Out());
        if (FAILED(hr)) return Result(hr);
        ComRef<ClickEventSink> receiver(new ClickEventSink(sink, iid));
        DWORD cookie = 0;
        hr = point->Advise(receiver.Get(), &cookie);
        if (FAILED(hr)) return Result(hr);
        *connection = std::make_unique<MshtmlClickConnection>(point, cookie);
        return 0;
    }

private:
    Status ReadBstr(HRESULT (STDMETHODCALLTYPE IHTMLElement::*read)(BSTR*), std::string* text) {
        Bstr value;
        const HRESULT hr = (_element.Get()->*read)(value.Out());
        *text = value.Text();
        return Result(hr);
    }
    ComRef<IHTMLInputElement> Input() {
        ComRef<IHTMLInputElement> input;
        input.QueryFrom(_element.Get(), IID_IHTMLInputElement);
        return input;
    }

    ComRef<IHTMLElement> _element;
};

dom::ElementRef Wrap(IDispatch* dispatch) {
    ComRef<IHTMLElement> element;
    if (dispatch == nullptr || FAILED(element.QueryFrom(dispatch, IID_IHTMLElement))) return nullptr;
    return std::static_pointer_cast<dom::Element>(std::make_shared<MshtmlElement>(element));
}

class MshtmlCollection final : public dom::Collection {
public:
    explicit MshtmlCollection(ComRef<IHTMLElementCollection> collection) : _collection(collection) {}

    Status GetLength(int32_t* length) override {
        long value = 0;
        const HRESULT hr = _collection->get_length(&value);
        *length = static_cast<int32_t>(value);
        return Result(hr);
    }
    Status ItemByName(const char* name, dom::ElementRef* element) override {
        VARIANT key;
        V_VT(&key) = VT_BSTR;
        Bstr owned(name);
        V_BSTR(&key) = owned.Get();
        return Item(key, element);
    }
    Status ItemByIndex(int32_t index, dom::ElementRef* element) override {
        VARIANT key;
        V_VT(&key) = VT_I4;
        V_I4(&key) = index;
        return Item(key, element);
    }
    Status Tags(const char* tagName, dom::CollectionRef* collection) override {
        VARIANT tag;
        V_VT(&tag) = VT_BSTR;
        Bstr owned(tagName);
        V_BSTR(&tag) = owned.Get();
        ComRef<IDispatch> result;
        HRESULT hr = _collection->tags(tag, result.Out());
        if (FAILED(hr)) return Result(hr);
        ComRef<IHTMLElementCollection> tags;
        hr = tags.QueryFrom(result.Get(), IID_IHTMLElementCollection);
        if (FAILED(hr)) return Result(hr);
        *collection = std::make_shared<MshtmlCollection>(tags);
        return 0;
    }

private:
    Status Item(const VARIANT& key, dom::ElementRef* element) {
        VARIANT first;
        V_VT(&first) = VT_I4;
        V_I4(&first) = 0;
        ComRef<IDispatch> result;
        const HRESULT hr = _collection->item(key, first, result.Out());
        *element = SUCCEEDED(hr) ? Wrap(result.Get()) : nullptr;
        return Result(hr);
    }

    ComRef<IHTMLElementCollection> _collection;
};

class MshtmlDocument final : public dom::Document {
public:
    explicit MshtmlDocument(ComRef<IHTMLDocument2> document) : _document(document) {}

    Status GetAll(dom::CollectionRef* all) override {
        ComRef<IHTMLElementCollection> collection;
        const HRESULT hr = _document->get_all(collection.Out());
        if (FAILED(hr) || !collection) return FAILED(hr) ? Result(hr) : ZUN_E_NOT_FOUND;
        *all = std::make_shared<MshtmlCollection>(collection);
        return 0;
    }
    Status GetTitle(std::string* title) override {
        Bstr text;
        const HRESULT hr = _document->get_title(text.Out());
        *title = text.Text();
        return Result(hr);
    }
    Status GetUrl(std::string* url) override {
        Bstr text;
        const HRESULT hr = _document->get_URL(text.Out());
        *url = text.Text();
        return Result(hr);
    }
    Status Alert(const char* text) override {
        ComRef<IHTMLWindow2> window;
        HRESULT hr = _document->get_parentWindow(window.Out());
        if (FAILED(hr) || !window) return FAILED(hr) ? Result(hr) : ZUN_E_NOT_FOUND;
        return Result(window->alert(Bstr(text).Get()));
    }
    Status OpenWindow(const char* url) override {
        ComRef<IHTMLWindow2> window;
        HRESULT hr = _document->get_parentWindow(window.Out());
        if (FAILED(hr) || !window) return FAILED(hr) ? Result(hr) : ZUN_E_NOT_FOUND;
        ComRef<IHTMLWindow2> opened;
        return Result(window->open(Bstr(url).Get(), nullptr, nullptr, VARIANT_FALSE, opened.Out()));
    }

private:
    ComRef<IHTMLDocument2> _document;
};

}  // namespace

dom::DocumentRef MakeMshtmlDocument(IHTMLDocument2* document) {
    if (document == nullptr) return nullptr;
    document->AddRef();
    return std::make_shared<MshtmlDocument>(ComRef<IHTMLDocument2>(document));
}

}  // namespace zun::platform::win32

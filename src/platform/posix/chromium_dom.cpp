#include "platform/posix/chromium_dom.h"

#include "platform/posix/chromium_session.h"
#include "platform/posix/latin1_text.h"

namespace zun::platform::posix {
namespace {

Status ToText(Status status, const Json& value, std::string* text) {
    if (status != 0) return status;
    *text = value.is_string() ? EngineTextFromUtf8(value.get<std::string>()) : std::string();
    return 0;
}

class RemoteObject {
protected:
    RemoteObject(std::shared_ptr<ChromiumSession> session, std::string objectId)
        : _session(std::move(session)), _objectId(std::move(objectId)) {}

    Status Call(const std::string& function, const Json& arguments, Json* value) {
        return _session->CallFunction(_objectId, function, arguments, value);
    }
    Status CallText(const std::string& function, const Json& arguments, std::string* text) {
        Json value;
        return ToText(Call(function, arguments, &value), value, text);
    }
    Status CallElement(const std::string& function, const Json& arguments, dom::ElementRef* element);

    std::shared_ptr<ChromiumSession> _session;
    std::string _objectId;
};

class RemoteElement final : public dom::Element, public RemoteObject {
public:
    RemoteElement(std::shared_ptr<ChromiumSession> session, std::string objectId)
        : RemoteObject(std::move(session), std::move(objectId)) {}

    Status GetId(std::string* id) override { return CallText("function () { return this.id; }", {}, id); }
    Status GetTagName(std::string* tagName) override {
        return CallText("function () { return this.tagName; }", {}, tagName);
    }
    Status GetSourceIndex(int32_t* index) override {
        Json value;
        const Status status =
            Call("function () { return Array.prototype.indexOf.call(this.ownerDocument.all, this); }", {}, &value);
        if (status != 0) return status;
        *index = value.is_number_integer() ? value.get<int32_t>() : -1;
        return 0;
    }
    Status GetParentElement(dom::ElementRef* parent) override {
        return CallElement("function () { return this.parentElement; }", {}, parent);
    }
    Status GetInnerText(std::string* text) override {
        return CallText("function () { return this.innerText; }", {}, text);
    }
    Status PutInnerText(const char* text) override {
        return Call("function (t) { this.innerText = t; }", Json::array({Utf8FromEngineText(text)}), nullptr);
    }
    bool IsInputElement() override {
        Json value;
        return Call("function () { return this instanceof HTMLInputElement; }", {}, &value) == 0 &&
               value.is_boolean() && value.get<bool>();
    }
    Status GetValue(std::string* value) override {
        return CallText("function () { return this.value; }", {}, value);
    }
    Status PutValue(const char* value) override {
        return Call("function (v) { this.value = v; }", Json::array({Utf8FromEngineText(value)}), nullptr);
    }
    Status GetAttribute(const char* name, std::optional<std::string>* value) override {
        // As the document model of the engine's dialogs does: a property of
        // that name when the element has a plain one, else the attribute.
        Json result;
        const Status status = Call(R"(function (n) {
            const p = this[n];
            if (p !== undefined && p !== null && typeof p !== 'object' && typeof p !== 'function') return String(p);
            return this.getAttribute(n);
        })",
                                   Json::array({Utf8FromEngineText(name)}), &result);
        if (status != 0) return status;
        if (result.is_string()) {
            *value = EngineTextFromUtf8(result.get<std::string>());
        } else {
            value->reset();
        }
        return 0;
    }
    Status SetAttribute(const char* name, const char* value) override {
        return Call("function (n, v) { this.setAttribute(n, v); }",
                    Json::array({Utf8FromEngineText(name), Utf8FromEngineText(value)}), nullptr);
    }
    Status SetStyleAttribute(const char* name, const char* value) override {
        return Call("function (n, v) { this.style.setProperty(n, v); }",
                    Json::array({Utf8FromEngineText(name), Utf8FromEngineText(value)}), nullptr);
    }
    Status ConnectClick(dom::ClickEvents, dom::ClickSink& sink,
                        std::unique_ptr<dom::ClickConnection>* connection) override;

    const std::string& ObjectId() const { return _objectId; }
};

class RemoteClickConnection final : public dom::ClickConnection {
public:
    RemoteClickConnection(std::shared_ptr<ChromiumSession> session, int id) : _session(std::move(session)), _id(id) {}
    ~RemoteClickConnection() override { _session->DisconnectClick(_id); }

private:
    std::shared_ptr<ChromiumSession> _session;
    int _id;
};

Status RemoteElement::ConnectClick(dom::ClickEvents, dom::ClickSink& sink,
                                   std::unique_ptr<dom::ClickConnection>* connection) {
    int id = 0;
    const Status status = _session->ConnectClick(_objectId, sink, &id);
    if (status != 0) return status;
    *connection = std::make_unique<RemoteClickConnection>(_session, id);
    return 0;
}

Status RemoteObject::CallElement(const std::string& function, const Json& arguments, dom::ElementRef* element) {
    std::string objectId;
    const Status status = _session->CallForObject(_objectId, function, arguments, &objectId);
    if (status != 0) return status;
    *element = objectId.empty() ? nullptr : std::make_shared<RemoteElement>(_session, objectId);
    return 0;
}

class RemoteCollection final : public dom::Collection, public RemoteObject {
public:
    RemoteCollection(std::shared_ptr<ChromiumSession> session, std::string objectId)
        : RemoteObject(std::move(session), std::move(objectId)) {}

    Status GetLength(int32_t* length) override {
        Json value;
        const Status status = Call("function () { return this.length; }", {}, &value);
        if (status != 0) return status;
        *length = value.is_number_integer() ? value.get<int32_t>() : 0;
        return 0;
    }
    Status ItemByName(const char* name, dom::ElementRef* element) override {
        return CallElement(
            "function (n) { return Array.prototype.find.call(this, (e) => e.id === n || "
            "e.getAttribute('name') === n) || null; }",
            Json::array({Utf8FromEngineText(name)}), element);
    }
    Status ItemByIndex(int32_t index, dom::ElementRef* element) override {
        return CallElement("function (i) { return this[i] || null; }", Json::array({index}), element);
    }
    Status Tags(const char* tagName, dom::CollectionRef* collection) override {
        std::string objectId;
        const Status status = _session->CallForObject(
            _objectId,
            "function (t) { t = t.toLowerCase(); return Array.prototype.filter.call(this, (e) => "
            "e.tagName.toLowerCase() === t); }",
            Json::array({Utf8FromEngineText(tagName)}), &objectId);
        if (status != 0) return status;
        if (objectId.empty()) return dom::kDomCallFailed;
        *collection = std::make_shared<RemoteCollection>(_session, objectId);
        return 0;
    }
};

class RemoteDocument final : public dom::Document {
public:
    explicit RemoteDocument(std::shared_ptr<ChromiumSession> session) : _session(std::move(session)) {}

    Status GetAll(dom::CollectionRef* all) override {
        std::string objectId;
        const Status status = _session->EvaluateForObject("document.all", &objectId);
        if (status != 0) return status;
        if (objectId.empty()) return dom::kDomCallFailed;
        *all = std::make_shared<RemoteCollection>(_session, objectId);
        return 0;
    }
    Status GetTitle(std::string* title) override {
        Json value;
        return ToText(_session->Evaluate("document.title", &value), value, title);
    }
    Status GetUrl(std::string* url) override {
        *url = _session->CurrentUrl();
        return 0;
    }
    Status Alert(const char* text) override { return _session->Alert(Utf8FromEngineText(text)); }
    Status OpenWindow(const char* url) override {
        if (url == nullptr) return ZUN_E_INVALID_ARG;
        return _session->OpenWindow(Utf8FromEngineText(url));
    }

private:
    std::shared_ptr<ChromiumSession> _session;
};

}  // namespace

dom::ElementRef MakeRemoteElement(std::shared_ptr<ChromiumSession> session, std::string objectId) {
    return std::make_shared<RemoteElement>(std::move(session), std::move(objectId));
}

dom::DocumentRef MakeRemoteDocument(std::shared_ptr<ChromiumSession> session) {
    return std::make_shared<RemoteDocument>(std::move(session));
}

std::string RemoteObjectId(dom::Element& element) {
    auto* remote = dynamic_cast<RemoteElement*>(&element);
    return remote == nullptr ? std::string() : remote->ObjectId();
}

}  // namespace zun::platform::posix

#include "dom/html_element.h"

#include <string>

#include "base/bounded_text.h"
#include "base/trace.h"

namespace zun {

namespace dom = platform::dom;

Status HtmlElement::HookupDocument(const DocumentRef& document) {
    if (document == nullptr) {
        ZUN_TRACE("ZUN_E: HtmlElement::HookupDocument(): document is NULL");
        return ZUN_E_INVALID_ARG;
    }
    _document = document;
    _collection.reset();
    _document->GetAll(&_collection);
    if (_collection == nullptr) {
        ZUN_TRACE("ZUN_E: HtmlElement::HookupDocument(): collection is NULL");
        return ZUN_E_NOT_FOUND;
    }
    return 0;
}

Status HtmlElement::GetElement(const char* elementId, ElementRef* element) {
    if (_collection == nullptr || elementId == nullptr) return ZUN_E_NOT_FOUND;
    ElementRef found;
    const Status status = _collection->ItemByName(elementId, &found);
    if (status != 0 || found == nullptr) {
        int32_t length = 0;
        _collection->GetLength(&length);
        ZUN_TRACE("ZUN_E: HtmlElement::GetElement(): Failed to locate element in the %d-length _collection object. "
                  "Error %u",
                  length, status);
        TraceElementDump();
        return ZUN_E_NOT_FOUND;
    }
    if (element == nullptr) {
        ZUN_TRACE("ZUN: HtmlElement::GetElement(): Failed to query IHTMLElement2");
        return ZUN_E_NOT_FOUND;
    }
    *element = std::move(found);
    return 0;
}

void HtmlElement::TraceElementDump() {
    // One document call per element: only worth it when someone reads it.
    if (!trace::Enabled()) return;
    int32_t length = 0;
    _collection->GetLength(&length);
    ZUN_TRACE("BEGINNING DEBUG DUMP OF ALL ELEMENTS....");
    ZUN_TRACE("BEGINNING LOOP....");
    for (int32_t i = 0; i < length; ++i) {
        ElementRef item;
        std::string id;
        if (_collection->ItemByIndex(i, &item) == 0 && item != nullptr) item->GetId(&id);
        ZUN_TRACE("ZUN_E: HtmlElement::GetElement(): _collection[%d] = %s", i, id.c_str());
    }
    ZUN_TRACE("ENDING LOOP....");
    ZUN_TRACE("ENDING DEBUG DUMP OF ALL ELEMENTS....");
}

bool HtmlElement::DoesElementExist(const char* elementId) {
    if (elementId == nullptr) {
        ZUN_TRACE("ZUN_E: HtmlElement::DoesElementExist(): elementID is NULL.");
        return false;
    }
    if (_collection == nullptr) return false;
    ElementRef found;
    return _collection->ItemByName(elementId, &found) == 0 && found != nullptr;
}

Status HtmlElement::GetOrSetElements(const char* elementId, char* buffer, uint32_t* size, const char* text,
                                     bool innerText, bool write) {
    if (_collection == nullptr) {
        ZUN_TRACE("ZUN_E: HtmlElement::GetOrSetElements(): Collection is NULL.");
        return ZUN_E_NOT_FOUND;
    }
    if (write ? text == nullptr : (size == nullptr || (buffer == nullptr && *size != 0))) return ZUN_E_INVALID_ARG;
    ElementRef element;
    if (GetElement(elementId, &element) != 0) {
        ZUN_TRACE("ZUN: HtmlElement::GetInputElementValue(): Element not found.");
        return ZUN_E_NOT_FOUND;
    }
    if (!innerText && !element->IsInputElement()) {
        ZUN_TRACE("ZUN: HtmlElement::GetInputElementValue(): Could not locate IHTMLInputElement interface.");
        return ZUN_E_NOT_FOUND;
    }
    if (write) return innerText ? element->PutInnerText(text) : element->PutValue(text);

    std::string value;
    const Status status = innerText ? element->GetInnerText(&value) : element->GetValue(&value);
    // The text and its terminator must fit; a size of 0 never does.
    if (value.size() + 1 > *size) {
        ZUN_TRACE("ZUN: HtmlElement::GetInputELementValue(): The supplied buffer is too small.");
        *size = static_cast<uint32_t>(value.size() + 1);
        return ZUN_E_BUFFER_TOO_SMALL;
    }
    CopyText(buffer, *size, value.c_str());
    return status;
}

Status HtmlElement::GetInputElementValue(const char* elementId, char* buffer, uint32_t* size) {
    return GetOrSetElements(elementId, buffer, size, nullptr, false, false);
}

Status HtmlElement::SetInputElementValue(const char* elementId, const char* value) {
    return GetOrSetElements(elementId, nullptr, nullptr, value, false, true);
}

Status HtmlElement::GetElementInnerText(const char* elementId, char* buffer, uint32_t* size) {
    return GetOrSetElements(elementId, buffer, size, nullptr, true, false);
}

Status HtmlElement::SetElementInnerText(const char* elementId, const char* text) {
    return GetOrSetElements(elementId, nullptr, nullptr, text, true, true);
}

Status HtmlElement::SetElementStyleAttribute(const char* elementId, const char* name, const char* value) {
    if (_collection == nullptr) {
        ZUN_TRACE("ZUN: Epilog HtmlElement::SetElementStyleAttribute(%s)", TextOrEmpty(elementId));
        return ZUN_E_NOT_FOUND;
    }
    if (name == nullptr || value == nullptr) return ZUN_E_INVALID_ARG;
    ElementRef element;
    Status status = GetElement(elementId, &element);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: HtmlElement::SetElementStyleAttribute(): Failure to find element %u.", status);
        return status;
    }
    status = element->SetStyleAttribute(name, value);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: HtmlElement::SetElementStyleAttribute(): Failure to set style attribute %u.", status);
    }
    return status;
}

Status HtmlElement::SetElementAttributeValue(const char* elementId, const char* name, const char* value) {
    if (_collection == nullptr) return ZUN_E_NOT_FOUND;
    if (name == nullptr || value == nullptr) return ZUN_E_INVALID_ARG;
    ElementRef element;
    Status status = GetElement(elementId, &element);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: HtmlElement::SetElementAttributeValue(): Failure to find element %u.", status);
        return status;
    }
    status = element->SetAttribute(name, value);
    if (status != 0) {
        ZUN_TRACE("ZUN_E: HtmlElement::SetElementAttributeValue(): Failure to set element attribute %u.", status);
    }
    return status;
}

Status HtmlElement::GetCartStateElementValue(CartState& cartState) {
    if (_collection == nullptr) {
        ZUN_TRACE("ZUN_E: HtmlElement::GetCartStateElementValue(): Collection is NULL.");
        return ZUN_E_NOT_FOUND;
    }
    dom::CollectionRef inputs;
    Status status = _collection->Tags("input", &inputs);
    if (status != 0 || inputs == nullptr) {
        if (status == 0) status = dom::kDomCallFailed;
        ZUN_TRACE("ZUN_E: HtmlElement::GetCartStateElementValue(): Tags Enumeration Error %u", status);
        return status;
    }
    int32_t length = 0;
    inputs->GetLength(&length);
    for (int32_t i = 0; i < length; ++i) {
        ElementRef input;
        if (inputs->ItemByIndex(i, &input) != 0 || input == nullptr) continue;
        std::optional<std::string> marker;
        if (input->GetAttribute("__CARTSTATE", &marker) != 0 || marker != "__CARTSTATE") continue;
        std::optional<std::string> value;
        if (input->GetAttribute("value", &value) != 0 || !value.has_value()) {
            ZUN_TRACE("ZUN_e: HtmlElement::GetCartStateElementValue(): __CARTSTATE attribute not found.");
            break;
        }
        return cartState.SetCartState(value->c_str());
    }
    ZUN_TRACE("ZUN_E: HtmlElement::GetCartStateElementValue(): CartState not found.");
    return ZUN_E_NOT_FOUND;
}

Status HtmlElement::GetDocumentTitleText(char* buffer, size_t size) {
    if (_collection == nullptr) {
        ZUN_TRACE("ZUN_E: HtmlElement::GetDocumentTitleText(): Collection is NULL.");
        return ZUN_E_NOT_FOUND;
    }
    std::string title;
    _document->GetTitle(&title);
    // A long title is cut to the buffer; that is no failure.
    const Status status = CopyText(buffer, size, title.c_str());
    return status == ZUN_E_TEXT_TRUNCATED ? 0 : status;
}

Status HtmlElement::ShowWarningModal(const char* title, const char* message, int32_t errorNumber) {
    if (_collection == nullptr) {
        ZUN_TRACE("ZUN_E: HtmlElement::ShowWarningModal(): Document not hooked up.");
        return ZUN_E_NOT_FOUND;
    }
    char text[1024];
    FormatText(text, sizeof text, "%s\r\n\r\n%s\r\n\r\nError : %d\r\n\r\n", TextOrEmpty(title),
               TextOrEmpty(message), errorNumber);
    ZUN_TRACE("ZUN: HtmlElement::ShowWarningModal(): Warning buffer %s", text);
    const Status status = _document->Alert(text);
    ZUN_TRACE("ZUN: HtmlElement::ShowWarningModal(): iHTMLWindow->alert Returns %u", status);
    return status;
}

}  // namespace zun

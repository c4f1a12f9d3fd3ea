// Access by element id to the document that a dialog's browser shows: input
// values, element texts, style and element attributes, the document's title,
// the page's CartState field and a modal alert. The owner hooks it up to the
// new document after every completed navigation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/status.h"
#include "platform/dom.h"
#include "state/cartstate.h"

namespace zun {

class HtmlElement {
public:
    using DocumentRef = platform::dom::DocumentRef;
    using ElementRef = platform::dom::ElementRef;

    Status HookupDocument(const DocumentRef& document);
    bool IsHookedUp() const { return _document != nullptr && _collection != nullptr; }

    // The first element whose id or name is `elementId`.
    Status GetElement(const char* elementId, ElementRef* element);
    bool DoesElementExist(const char* elementId);

    // `size` is in: the bytes of `buffer`; out: the bytes needed when the
    // buffer is too small (ZUN_E_BUFFER_TOO_SMALL, buffer untouched).
    Status GetInputElementValue(const char* elementId, char* buffer, uint32_t* size);
    Status SetInputElementValue(const char* elementId, const char* value);
    Status GetElementInnerText(const char* elementId, char* buffer, uint32_t* size);
    Status SetElementInnerText(const char* elementId, const char* text);

    Status SetElementStyleAttribute(const char* elementId, const char* name, const char* value);
    Status SetElementAttributeValue(const char* elementId, const char* name, const char* value);

    // Loads the page's state from its first input whose "__CARTSTATE"
    // attribute is "__CARTSTATE".
    Status GetCartStateElementValue(CartState& cartState);
    // The title, cut to size - 1 characters.
    Status GetDocumentTitleText(char* buffer, size_t size);
    // The document window's alert; returns when it is closed.
    Status ShowWarningModal(const char* title, const char* message, int32_t errorNumber);

private:
    Status GetOrSetElements(const char* elementId, char* buffer, uint32_t* size, const char* text, bool innerText,
                            bool write);
    void TraceElementDump();

    DocumentRef _document;
    platform::dom::CollectionRef _collection;
};

}  // namespace zun

// dom port: the part of the shown page's document object model that the
// engine reads and writes. Texts are the engine's 8-bit text; the backends
// convert at the boundary. Every call returns a status: 0, or the platform's
// failure (an HRESULT of the document interfaces, or kDomCallFailed).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/status.h"

namespace zun::platform::dom {

// A document call that failed without a status of its own (E_FAIL).
inline constexpr Status kDomCallFailed = 0x80004005u;

class Element;
class Collection;
using ElementRef = std::shared_ptr<Element>;
using CollectionRef = std::shared_ptr<Collection>;

// The event interfaces a click can be received through.
enum class ClickEvents { InputElement, Anchor };

// Receives the clicks of one connected element on the dialog's thread.
class ClickSink {
public:
    // `source` is the element that was clicked (it may lie inside the
    // connected one). Returning false cancels the click's default action.
    virtual bool OnClick(const ElementRef& source) = 0;

protected:
    ~ClickSink() = default;
};

// A live click connection; destroying it disconnects.
class ClickConnection {
public:
    virtual ~ClickConnection() = default;
};

class Element {
public:
    virtual ~Element() = default;
    virtual Status GetId(std::string* id) = 0;
    virtual Status GetTagName(std::string* tagName) = 0;
    virtual Status GetSourceIndex(int32_t* index) = 0;
    // Null parent at the top of the tree.
    virtual Status GetParentElement(ElementRef* parent) = 0;
    virtual Status GetInnerText(std::string* text) = 0;
    virtual Status PutInnerText(const char* text) = 0;
    // Input elements carry a value.
    virtual bool IsInputElement() = 0;
    virtual Status GetValue(std::string* value) = 0;
    virtual Status PutValue(const char* value) = 0;
    // An attribute (or the property of that name); nullopt when it has none.
    virtual Status GetAttribute(const char* name, std::optional<std::string>* value) = 0;
    virtual Status SetAttribute(const char* name, const char* value) = 0;
    virtual Status SetStyleAttribute(const char* name, const char* value) = 0;
    virtual Status ConnectClick(ClickEvents events, ClickSink& sink,
                                std::unique_ptr<ClickConnection>* connection) = 0;
};

class Collection {
public:
    virtual ~Collection() = default;
    virtual Status GetLength(int32_t* length) = 0;
    // The first element whose id or name is `name`; null when none.
    virtual Status ItemByName(const char* name, ElementRef* element) = 0;
    // The element at `index` in document order; null when out of range.
    virtual Status ItemByIndex(int32_t index, ElementRef* element) = 0;
    // The elements of this collection with tag name `tagName`.
    virtual Status Tags(const char* tagName, CollectionRef* collection) = 0;
};

class Document {
public:
    virtual ~Document() = default;
    // Every element of the document, in document order.
    virtual Status GetAll(CollectionRef* all) = 0;
    // Empty when the document has no title.
    virtual Status GetTitle(std::string* title) = 0;
    // The document's address as the browser reports it (page script cannot
    // change it).
    virtual Status GetUrl(std::string* url) = 0;
    // The window's modal alert; returns when it is closed.
    virtual Status Alert(const char* text) = 0;
    // Opens `url` in a new browser window; this document stays.
    virtual Status OpenWindow(const char* url) = 0;
};

using DocumentRef = std::shared_ptr<Document>;

}  // namespace zun::platform::dom

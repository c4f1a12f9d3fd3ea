// The page's document objects as remote objects of the page's script
// context. A handle outlives its page only as a handle: once the browser has
// left the page, its calls fail.
#pragma once

#include <memory>
#include <string>

#include "platform/dom.h"

namespace zun::platform::posix {

class ChromiumSession;

dom::ElementRef MakeRemoteElement(std::shared_ptr<ChromiumSession> session, std::string objectId);
dom::DocumentRef MakeRemoteDocument(std::shared_ptr<ChromiumSession> session);
// The remote object behind an element of this backend; "" for others.
std::string RemoteObjectId(dom::Element& element);

}  // namespace zun::platform::posix

// The dom port over the browser control's MSHTML document interfaces.
#pragma once

#include <windows.h>

#include <mshtml.h>

#include "platform/dom.h"

namespace zun::platform::win32 {

dom::DocumentRef MakeMshtmlDocument(IHTMLDocument2* document);

}  // namespace zun::platform::win32

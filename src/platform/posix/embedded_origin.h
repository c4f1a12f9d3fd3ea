// The engine's embedded pages in the browser. A "res://<module path>/<name>"
// URL is loaded from an origin of their own, http://resources.invalid/<name>,
// whose requests are paused and answered from the embedded resources; a
// relative image of such a page comes from the same place. The engine sees
// the "res://" form of these URLs in its events.
#pragma once

#include <string>

#include "platform/posix/devtools_pipe.h"

namespace zun::platform::posix {

// The Fetch pattern that pauses every request of that origin, and only those.
Json EmbeddedOriginPattern();

bool IsEmbeddedOriginUrl(const std::string& url);

// The URL the browser loads for a URL the engine navigates to.
std::string BrowserUrlOf(const std::string& url);

// The URL the engine sees for one the browser reports:
// "res://<engine module path>/<name>" for the embedded origin's.
std::string EngineUrlOf(const std::string& url);

// The Fetch.fulfillRequest parameters that answer the paused request
// `requestId` for `url` of the embedded origin: the resource, or a short
// "404 Not Found" page when the engine carries none by that name.
Json EmbeddedResponse(const std::string& requestId, const std::string& url);

}  // namespace zun::platform::posix

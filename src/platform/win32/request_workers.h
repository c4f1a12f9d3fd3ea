// The threads of the Windows internet port that carry requests' blocking
// calls. Each holds a reference on the engine module while it runs, so an
// aborted request's call may outlive the engine's use of it; the COM server
// asks this before it lets the module be unloaded.
#pragma once

namespace zun::platform::inet {

// Whether a request worker thread runs now.
bool RequestWorkersRunning();

}  // namespace zun::platform::inet

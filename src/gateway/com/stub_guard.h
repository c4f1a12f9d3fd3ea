// Marks the calls that reach ZunNV through the module's own stub, that is
// from another apartment. The interface's parameter carries one byte across
// apartments, never a whole record, so such a call must not be read as one.
//
// DllGetClassObject hands out the proxy part's factory wrapped: the stubs it
// creates flag the calling thread while they dispatch a call to the object.
#pragma once

#include <windows.h>

#include <objidl.h>

namespace zun::com {

// Wraps the proxy part's factory `inner` (taking over its reference) and
// answers `riid` of the wrapper.
HRESULT GuardProxyStubFactory(IPSFactoryBuffer* inner, REFIID riid, void** object);

// True when the method now running on this thread was dispatched by the
// module's stub. Clears the mark, so that a direct call made further down the
// same thread is not mistaken for one.
bool TakeCallFromAnotherApartment();

}  // namespace zun::com

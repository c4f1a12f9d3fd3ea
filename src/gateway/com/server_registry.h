// The registry content of the COM server below HKEY_CLASSES_ROOT: the AppID,
// both ProgIDs and the class key of ZunNV.
#pragma once

#include <windows.h>

namespace zun::com {

HRESULT RegisterServerKeys();
HRESULT UnregisterServerKeys();

}  // namespace zun::com

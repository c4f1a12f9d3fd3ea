/* Named as the system's certificate viewer and planted beside a program. */
#include <windows.h>

__declspec(dllexport) int ZunPlantedLibrary(void) { return 1; }
__declspec(dllexport) BOOL WINAPI CryptUIDlgViewCertificateA(const void* view, BOOL* changed) {
    return view != NULL || changed != NULL;
}

/* A library named as the system's certificate viewer, as an attacker would
 * plant it beside an application. It says what it is through an export of
 * its own, and its viewer returns at once. */
#include <windows.h>

__declspec(dllexport) int ZunPlantedLibrary(void) { return 1; }

__declspec(dllexport) BOOL WINAPI CryptUIDlgViewCertificateA(const void* view, BOOL* propertiesChanged) {
    (void)view;
    if (propertiesChanged != NULL) *propertiesChanged = FALSE;
    return TRUE;
}

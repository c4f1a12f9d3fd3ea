/* Loads the engine file next to the program and calls its EntryPoint. */
#include "refused_call.h"

#include <stdio.h>
#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

enum { kPathSize = 4096 };

/* The engine's path: the program's folder and ENGINE_FILE_NAME. */
static int EnginePath(char *path, size_t size) {
    char *slash;
#ifdef _WIN32
    DWORD length = GetModuleFileNameA(NULL, path, (DWORD)size);
    if (length == 0 || length >= size) return 0;
    slash = strrchr(path, '\\');
#else
    ssize_t length = readlink("/proc/self/exe", path, size - 1);
    if (length <= 0) return 0;
    path[length] = '\0';
    slash = strrchr(path, '/');
#endif
    if (slash == NULL || (size_t)(slash + 1 - path) + sizeof ENGINE_FILE_NAME > size) return 0;
    memcpy(slash + 1, ENGINE_FILE_NAME, sizeof ENGINE_FILE_NAME);
    return 1;
}

int main(void) {
    char path[kPathSize];
    int result;
    if (!EnginePath(path, sizeof path)) {
        fprintf(stderr, "cannot name the engine next to the program\n");
        return 1;
    }
#ifdef _WIN32
    HMODULE engine = LoadLibraryA(path);
    if (engine == NULL) {
        fprintf(stderr, "cannot load %s: error %lu\n", path, GetLastError());
        return 1;
    }
    ZunEntryPointFunction entry = (ZunEntryPointFunction)(void (*)(void))GetProcAddress(engine, "EntryPoint");
#else
    void *engine = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (engine == NULL) {
        fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    ZunEntryPointFunction entry = (ZunEntryPointFunction)dlsym(engine, "EntryPoint");
#endif
    if (entry == NULL) {
        fprintf(stderr, "%s exports no EntryPoint\n", path);
        result = 1;
    } else {
        result = CheckRefusedCall(entry);
    }
#ifdef _WIN32
    FreeLibrary(engine);
#else
    dlclose(engine);
#endif
    return result;
}

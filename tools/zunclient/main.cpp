// zunclient: a stand-in for the client library. It loads the engine module
// at run time, as a desktop application's client library does, and talks to
// it through the exported entry function.
//
//   zunclient version [--engine PATH]   the engine's file version and path
//
// Without --engine the client loads the engine file next to itself.
#include <cstdio>
#include <cstring>
#include <string_view>

#include <zunserver/zunserver.h>

#include "base/bounded_text.h"
#include "gateway/engine_module_info.h"
#include "platform/module_loader.h"

namespace {

constexpr size_t kPathSize = 4096;

int Usage() {
    std::fprintf(stderr, "usage: zunclient version [--engine PATH]\n");
    return 2;
}

bool DefaultEnginePath(char* path, size_t size) {
    if (zun::platform::GetExecutablePath(path, size) != 0) return false;
    const std::string_view executable = zun::TextInBuffer(path, size);
    const size_t slash = executable.find_last_of("/\\");
    const size_t directoryLength = slash == std::string_view::npos ? 0 : slash + 1;
    path[directoryLength] = '\0';
    return zun::AppendText(path, size, ZUN_ENGINE_FILE_NAME) == 0;
}

int ShowVersion(const char* enginePath) {
    zun::platform::LoadedModule engine(enginePath);
    if (!engine.Loaded()) {
        std::fprintf(stderr, "zunclient: cannot load the engine %s: %s\n", enginePath, engine.LoadError());
        return 1;
    }
    if (engine.FindExport("EntryPoint") == nullptr) {
        std::fprintf(stderr, "zunclient: %s exports no EntryPoint\n", enginePath);
        return 1;
    }
    char modulePath[kPathSize];
    if (engine.GetPath(modulePath, sizeof modulePath) != 0) {
        std::fprintf(stderr, "zunclient: cannot name the engine's module file\n");
        return 1;
    }
    char versionText[24];
    zun::FormatVersionText(zun::platform::ReadFileVersion(modulePath), versionText, sizeof versionText);
    std::printf("ZunServer engine %s\nmodule: %s\n", versionText, modulePath);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "version") != 0) return Usage();
    char enginePath[kPathSize] = {};
    if (argc == 4 && std::strcmp(argv[2], "--engine") == 0) {
        if (zun::CopyText(enginePath, argv[3]) != 0) return Usage();
    } else if (argc != 2 || !DefaultEnginePath(enginePath, sizeof enginePath)) {
        return Usage();
    }
    return ShowVersion(enginePath);
}

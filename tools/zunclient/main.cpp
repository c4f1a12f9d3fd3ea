// zunclient: a stand-in for the client library. It loads the engine module
// at run time, as a desktop application's client library does, and talks to
// it through the exported entry function.
//
//   zunclient version [--engine PATH]
//   zunclient check-update --vantor ID --sku SKU --pc PC --tracking ID [--engine PATH]
//   zunclient [COMMAND] --help
//
// Without --engine the client loads the engine file next to itself.
#include <cstdio>
#include <cstring>
#include <string_view>

#include <zunserver/zunserver.h>

#include "base/bounded_text.h"
#include "gateway/engine_module_info.h"
#include "platform/module_loader.h"
#include "status_names.h"

namespace {

constexpr size_t kPathSize = 4096;

constexpr char kUsage[] =
    "usage: zunclient COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  version        the engine's file version and module file\n"
    "  check-update   ask the store whether a product update is available\n"
    "\n"
    "Each command takes --engine PATH (default: the engine next to zunclient)\n"
    "and --help.\n";

constexpr char kVersionUsage[] =
    "usage: zunclient version [--engine PATH]\n"
    "\n"
    "Loads the engine and prints its file version and module file.\n";

constexpr char kCheckUpdateUsage[] =
    "usage: zunclient check-update --vantor ID --sku SKU --pc PC --tracking ID [--engine PATH]\n"
    "\n"
    "Calls EntryPoint with the silent update check (call type 4) and prints the\n"
    "status and the record afterwards. The engine asks its store host, which\n"
    "the environment variable ZUN_STORE_HOST (host or host:port) replaces.\n"
    "Options left out are passed as null texts.\n"
    "\n"
    "exit status: 0 when the store answered (update available or not), 1 otherwise\n";

struct Options {
    const char* engine = nullptr;
    const char* vantor = nullptr;
    const char* sku = nullptr;
    const char* pc = nullptr;
    const char* tracking = nullptr;
    bool help = false;
};

int Usage(const char* text, int code) {
    std::fputs(text, code == 0 ? stdout : stderr);
    return code;
}

// Reads "--name value" pairs; only the names in `allowed` (separated by
// blanks) are accepted.
bool ParseOptions(int argc, char** argv, const char* allowed, Options* options) {
    const std::string_view names(allowed);
    for (int at = 2; at < argc; ++at) {
        const std::string_view name(argv[at]);
        if (name == "--help" || name == "-h") {
            options->help = true;
            continue;
        }
        if (name.substr(0, 2) != "--" || names.find(name.substr(2)) == std::string_view::npos || at + 1 >= argc) {
            return false;
        }
        const char* value = argv[++at];
        if (name == "--engine") options->engine = value;
        else if (name == "--vantor") options->vantor = value;
        else if (name == "--sku") options->sku = value;
        else if (name == "--pc") options->pc = value;
        else if (name == "--tracking") options->tracking = value;
        else return false;
    }
    return true;
}

bool EnginePath(const Options& options, char* path, size_t size) {
    if (options.engine != nullptr) return zun::CopyText(path, size, options.engine) == 0;
    if (zun::platform::GetExecutablePath(path, size) != 0) return false;
    const std::string_view executable = zun::TextInBuffer(path, size);
    const size_t slash = executable.find_last_of("/\\");
    const size_t directoryLength = slash == std::string_view::npos ? 0 : slash + 1;
    path[directoryLength] = '\0';
    return zun::AppendText(path, size, ZUN_ENGINE_FILE_NAME) == 0;
}

ZunEntryPointFunction LoadEntryPoint(const zun::platform::LoadedModule& engine, const char* path) {
    if (!engine.Loaded()) {
        std::fprintf(stderr, "zunclient: cannot load the engine %s: %s\n", path, engine.LoadError());
        return nullptr;
    }
    auto* entry = reinterpret_cast<ZunEntryPointFunction>(engine.FindExport("EntryPoint"));
    if (entry == nullptr) std::fprintf(stderr, "zunclient: %s exports no EntryPoint\n", path);
    return entry;
}

int ShowVersion(const char* enginePath) {
    zun::platform::LoadedModule engine(enginePath);
    if (LoadEntryPoint(engine, enginePath) == nullptr) return 1;
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

const char* Text(const char* text) { return text != nullptr ? text : "(null)"; }

void PrintRecord(const GatewayRecord& record) {
    std::printf("record:\n");
    std::printf("  callType       %u\n", record.callType);
    std::printf("  publisherID    %s\n", Text(record.publisherID));
    std::printf("  wizard size    %d x %d\n", record.wizardWidth, record.wizardHeight);
    std::printf("  invoice size   %d x %d\n", record.invoiceWidth, record.invoiceHeight);
    std::printf("  interactive    %u\n", unsigned{record.interactive});
    std::printf("  cartStateOut   %s\n", record.cartStateOut != nullptr ? "set" : "(null)");
    std::printf("  updateFilePath %.*s\n", static_cast<int>(sizeof record.updateFilePath),
                record.updateFilePath);
    std::printf("  engineUpdated  %u\n", record.engineUpdated);
}

int CheckUpdate(const char* enginePath, const Options& options) {
    zun::platform::LoadedModule engine(enginePath);
    const ZunEntryPointFunction entry = LoadEntryPoint(engine, enginePath);
    if (entry == nullptr) return 1;
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = ZUN_CALL_CHECK_FOR_UPDATE;
    record.vantorID = options.vantor;
    record.skuRefNum = options.sku;
    record.pc = options.pc;
    record.trackingID = options.tracking;
    const ZunStatus status = entry(&record);
    const char* name = StatusName(status);
    std::printf("status: %s (0x%08X)\n", name != nullptr ? name : "unknown", status);
    if (status == ZUN_S_UPDATE_AVAILABLE) std::printf("an update of the product is available\n");
    if (status == ZUN_S_NO_UPDATE) std::printf("no update of the product is available\n");
    PrintRecord(record);
    return status == ZUN_S_UPDATE_AVAILABLE || status == ZUN_S_NO_UPDATE ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage(kUsage, 2);
    const std::string_view command(argv[1]);
    if (command == "--help" || command == "-h" || command == "help") return Usage(kUsage, 0);

    const char* usage = nullptr;
    const char* allowed = nullptr;
    if (command == "version") {
        usage = kVersionUsage;
        allowed = "engine";
    } else if (command == "check-update") {
        usage = kCheckUpdateUsage;
        allowed = "engine vantor sku pc tracking";
    } else {
        return Usage(kUsage, 2);
    }
    Options options;
    if (!ParseOptions(argc, argv, allowed, &options)) return Usage(usage, 2);
    if (options.help) return Usage(usage, 0);

    char enginePath[kPathSize] = {};
    if (!EnginePath(options, enginePath, sizeof enginePath)) return Usage(usage, 2);
    if (command == "version") return ShowVersion(enginePath);
    return CheckUpdate(enginePath, options);
}

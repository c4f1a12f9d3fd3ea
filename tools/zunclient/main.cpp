// zunclient: a stand-in for the client library. It loads the engine module
// at run time, as a desktop application's client library does, and talks to
// it through the exported entry function.
//
//   zunclient version [--engine PATH]
//   zunclient check-update --vantor ID --sku SKU --pc PC --tracking ID [--engine PATH]
//   zunclient purchase --vantor ID [--check-for-update-purchase] [OPTIONS] [--engine PATH]
//   zunclient [COMMAND] --help
//
// Without --engine the client loads the engine file next to itself.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include <zunserver/zunserver.h>

#include "base/bounded_text.h"
#include "gateway/engine_module_info.h"
#include "cartstate_listing.h"
#include "engine_update.h"
#include "platform/module_loader.h"
#include "platform/process_heap.h"
#include "status_names.h"

namespace {

constexpr size_t kPathSize = 4096;

constexpr char kUsage[] =
    "usage: zunclient COMMAND [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  version        the engine's file version and module file\n"
    "  check-update   ask the store whether a product update is available\n"
    "  purchase       run a purchase: the handshake, then the store in the wizard\n"
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

constexpr char kPurchaseUsage[] =
    "usage: zunclient purchase --vantor ID [--sku SKU] [--pc PC] [--tc TC] [--actidc ID]\n"
    "                          [--tracking ID] [--affiliate ID] [--coupon NAME] [--serial TEXT]\n"
    "                          [--check-for-update-purchase] [--engine PATH]\n"
    "\n"
    "Calls EntryPoint with a purchase (call type 0, or 2 with\n"
    "--check-for-update-purchase): the engine's handshake with the store host\n"
    "(ZUN_STORE_HOST replaces it), then the store in the wizard's browser window.\n"
    "When the handshake downloads a new engine (ZUN_E_ENGINE_UPDATED), the client\n"
    "does what a client library does: it checks that the file is an engine build,\n"
    "unloads the engine, puts the new file in its place (the old one stays beside\n"
    "it as .old until the next call succeeds), loads it and calls again.\n"
    "Prints the status, the wizard sizes and the keys of the final CartState.\n"
    "\n"
    "exit status: 0 when the purchase call returned 0, 1 otherwise\n";

struct Options {
    const char* engine = nullptr;
    const char* vantor = nullptr;
    const char* sku = nullptr;
    const char* pc = nullptr;
    const char* tracking = nullptr;
    const char* tc = nullptr;
    const char* actidc = nullptr;
    const char* affiliate = nullptr;
    const char* coupon = nullptr;
    const char* serial = nullptr;
    bool checkForUpdatePurchase = false;
    bool help = false;
};

int Usage(const char* text, int code) {
    std::fputs(text, code == 0 ? stdout : stderr);
    return code;
}

bool Allowed(std::string_view allowed, std::string_view name) {
    while (!allowed.empty()) {
        const size_t blank = allowed.find(' ');
        if (allowed.substr(0, blank) == name) return true;
        if (blank == std::string_view::npos) break;
        allowed.remove_prefix(blank + 1);
    }
    return false;
}

// Reads "--name value" pairs and flags; only the names in `allowed`
// (separated by blanks) are accepted.
bool ParseOptions(int argc, char** argv, const char* allowed, Options* options) {
    for (int at = 2; at < argc; ++at) {
        const std::string_view name(argv[at]);
        if (name == "--help" || name == "-h") {
            options->help = true;
            continue;
        }
        if (name.substr(0, 2) != "--" || !Allowed(allowed, name.substr(2))) return false;
        if (name == "--check-for-update-purchase") {
            options->checkForUpdatePurchase = true;
            continue;
        }
        if (at + 1 >= argc) return false;
        const char* value = argv[++at];
        if (name == "--engine") options->engine = value;
        else if (name == "--vantor") options->vantor = value;
        else if (name == "--sku") options->sku = value;
        else if (name == "--pc") options->pc = value;
        else if (name == "--tracking") options->tracking = value;
        else if (name == "--tc") options->tc = value;
        else if (name == "--actidc") options->actidc = value;
        else if (name == "--affiliate") options->affiliate = value;
        else if (name == "--coupon") options->coupon = value;
        else if (name == "--serial") options->serial = value;
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

void PrintStatus(ZunStatus status) {
    const char* name = StatusName(status);
    std::printf("status: %s (0x%08X)\n", name != nullptr ? name : "unknown", status);
}

std::string VersionText(const zun::platform::FileVersion& version) {
    char text[24];
    zun::FormatVersionText(version, text, sizeof text);
    return text;
}

// The running engine, loaded from its file.
struct Engine {
    std::unique_ptr<zun::platform::LoadedModule> module;
    ZunEntryPointFunction entry = nullptr;

    bool Load(const char* path) {
        module = std::make_unique<zun::platform::LoadedModule>(path);
        entry = LoadEntryPoint(*module, path);
        return entry != nullptr;
    }
    void Unload() {
        entry = nullptr;
        module.reset();
    }
};

// Installs the engine that the last call downloaded and loads it.
bool InstallDownloadedEngine(Engine& engine, const char* enginePath, const GatewayRecord& record) {
    const std::string update(zun::TextInBuffer(record.updateFilePath));
    std::printf("the engine downloaded an update: %s\n", update.c_str());
    zun::platform::FileVersion version;
    std::string why;
    if (!IsEngineBuild(update.c_str(), zun::platform::ReadFileVersion(enginePath), &version, &why)) {
        std::fprintf(stderr, "zunclient: %s is not an engine build: %s\n", update.c_str(), why.c_str());
        std::error_code ignored;
        std::filesystem::remove(update, ignored);
        return false;
    }
    engine.Unload();
    if (zun::platform::IsModuleLoaded(enginePath)) {
        std::fprintf(stderr, "zunclient: the engine %s stays loaded; cannot replace it\n", enginePath);
        return false;
    }
    if (!InstallEngineUpdate(enginePath, update, &why)) {
        std::fprintf(stderr, "zunclient: %s\n", why.c_str());
        return false;
    }
    std::printf("installed engine %s as %s (the old one is kept as %s)\n", VersionText(version).c_str(), enginePath,
                BackupPath(enginePath).c_str());
    if (!engine.Load(enginePath)) return false;
    char loaded[kPathSize];
    if (engine.module->GetPath(loaded, sizeof loaded) == 0) {
        std::printf("loaded engine %s from %s\n", VersionText(zun::platform::ReadFileVersion(loaded)).c_str(),
                    loaded);
    }
    return true;
}

int Purchase(const char* enginePath, const Options& options) {
    Engine engine;
    if (!engine.Load(enginePath)) return 1;
    GatewayRecord record{};
    record.size = sizeof record;
    record.callType = options.checkForUpdatePurchase ? ZUN_CALL_PURCHASE_CFU : ZUN_CALL_PURCHASE;
    record.vantorID = options.vantor;
    record.skuRefNum = options.sku;
    record.pc = options.pc;
    record.tc = options.tc;
    record.actidc = options.actidc;
    record.trackingID = options.tracking;
    record.affiliateID = options.affiliate;
    record.couponName = options.coupon;
    record.serialNumberExtraData = options.serial;

    ZunStatus status = engine.entry(&record);
    if (status == ZUN_E_ENGINE_UPDATED) {
        PrintStatus(status);
        if (!InstallDownloadedEngine(engine, enginePath, record)) return 1;
        // The same record again: engineUpdated is still 1, so the new engine
        // goes straight on to the purchase.
        std::printf("calling the new engine with engineUpdated=%u\n", record.engineUpdated);
        status = engine.entry(&record);
        std::error_code ignored;
        if (status == 0) std::filesystem::remove(BackupPath(enginePath), ignored);
    }
    PrintStatus(status);
    PrintRecord(record);
    if (record.cartStateOut != nullptr) {
        std::printf("final CartState:\n");
        PrintCartState(stdout, record.cartStateOut);
        // A block of the process heap, freed as the public header says.
        zun::platform::HeapRelease(record.cartStateOut);
        record.cartStateOut = nullptr;
    }
    return status == 0 ? 0 : 1;
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
    PrintStatus(status);
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
    } else if (command == "purchase") {
        usage = kPurchaseUsage;
        allowed = "engine vantor sku pc tracking tc actidc affiliate coupon serial check-for-update-purchase";
    } else {
        return Usage(kUsage, 2);
    }
    Options options;
    if (!ParseOptions(argc, argv, allowed, &options)) return Usage(usage, 2);
    if (options.help) return Usage(usage, 0);

    char enginePath[kPathSize] = {};
    if (!EnginePath(options, enginePath, sizeof enginePath)) return Usage(usage, 2);
    if (command == "version") return ShowVersion(enginePath);
    if (command == "purchase") return Purchase(enginePath, options);
    return CheckUpdate(enginePath, options);
}

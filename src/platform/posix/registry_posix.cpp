// The registry as SQLite databases, one file per hive. A key is a row in
// "keys" (its path without leading or trailing "\"); a value a row in
// "registry_values" with its type and bytes. Paths and value names compare
// without regard to ASCII letter case, as the system registry's do. Every
// write is one transaction, so a crash or a second process never sees half
// of it.
#include <sqlite3.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "base/bounded_text.h"
#include "base/unique_handle.h"
#include "platform/posix/descriptor.h"
#include "platform/registry.h"

namespace zun::platform {

namespace {

// sqlite3_close_v2 defers the close while a statement is still open.
void CloseDatabase(sqlite3* db) { sqlite3_close_v2(db); }

using Database = UniqueHandle<sqlite3*, &CloseDatabase>;

}  // namespace

struct RegistryKeyHandle {
    Database db;
    std::string path;
};

namespace {

constexpr Status kErrorBadDb = 1009;
constexpr Status kErrorOutOfMemory = 14;
constexpr int kBusyTimeoutMs = 5000;

constexpr char kSchema[] =
    "CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS registry_values(key TEXT NOT NULL COLLATE NOCASE,"
    " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
    " PRIMARY KEY(key, name));";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return TextOrEmpty(value);
}

// ZUN_USER_HIVE, else $XDG_CONFIG_HOME/zunserver/user.db, else
// ~/.config/zunserver/user.db. ZUN_MACHINE_HIVE, else a system-wide file.
std::string HivePath(RegistryRoot root) {
    if (root == RegistryRoot::LocalMachine) {
        std::string path = Environment("ZUN_MACHINE_HIVE");
        return path.empty() ? "/var/lib/zunserver/machine.db" : path;
    }
    std::string path = Environment("ZUN_USER_HIVE");
    if (!path.empty()) return path;
    const std::string config = Environment("XDG_CONFIG_HOME");
    if (!config.empty() && config[0] == '/') return config + "/zunserver/user.db";
    const std::string home = Environment("HOME");
    return home.empty() ? std::string() : home + "/.config/zunserver/user.db";
}

Status FromSqlite(int code) {
    switch (code & 0xFF) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW: return 0;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_READONLY:
        case SQLITE_AUTH: return kErrorAccessDenied;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT: return kErrorBadDb;
        default: return kErrorRegistryIoFailed;
    }
}

// Creates the folders above a hive file (mode 0700), as a first write needs.
void MakeParentFolders(const std::string& file) {
    for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1)) {
        const std::string folder = file.substr(0, slash);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

std::string KeyPath(const char* path) {
    std::string text = TextOrEmpty(path);
    const size_t first = text.find_first_not_of('\\');
    if (first == std::string::npos) return {};
    const size_t last = text.find_last_not_of('\\');
    return text.substr(first, last - first + 1);
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { _result = sqlite3_prepare_v2(db, sql, -1, &_statement, nullptr); }
    ~Statement() { sqlite3_finalize(_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ready() const { return _result == SQLITE_OK; }
    int Result() const { return _result; }
    void Text(int index, const std::string& text) {
        sqlite3_bind_text(_statement, index, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void Integer(int index, int64_t value) { sqlite3_bind_int64(_statement, index, value); }
    void Blob(int index, const uint8_t* data, uint32_t size) {
        // A zero-length blob, not NULL: the column does not take NULL.
        sqlite3_bind_zeroblob(_statement, index, 0);
        if (size > 0) sqlite3_bind_blob64(_statement, index, data, size, SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(_statement); }
    sqlite3_stmt* Native() { return _statement; }

private:
    sqlite3_stmt* _statement = nullptr;
    int _result = SQLITE_OK;
};

Status OpenHive(RegistryRoot root, bool create, Database& db) {
    db.Reset();
    const std::string file = HivePath(root);
    if (file.empty()) return kErrorFileNotFound;
    struct stat info {};
    if (!create && stat(file.c_str(), &info) != 0) return kErrorFileNotFound;
    if (create) {
        // The shopper's data is private: a new hive file is the user's alone.
        MakeParentFolders(file);
        const posix::Descriptor created(open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    }
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    // A failed open may still hand out a handle, which the owner closes.
    const int result = sqlite3_open_v2(file.c_str(), db.Out(), flags, nullptr);
    if (result != SQLITE_OK) {
        db.Reset();
        return FromSqlite(result);
    }
    sqlite3_busy_timeout(db.Get(), kBusyTimeoutMs);
    return 0;
}

bool KeyExists(sqlite3* db, const std::string& path) {
    if (path.empty()) return true;
    Statement find(db, "SELECT 1 FROM keys WHERE path = ?1");
    if (!find.Ready()) return false;
    find.Text(1, path);
    return find.Step() == SQLITE_ROW;
}

// The schema, the key and every missing parent, in one transaction.
Status AddKeyAndParents(sqlite3* db, const std::string& path) {
    int result = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (result == SQLITE_OK) result = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    for (size_t end = 0; result == SQLITE_OK && !path.empty() && end != std::string::npos;) {
        end = path.find('\\', end + 1);
        const std::string prefix = KeyPath(path.substr(0, end).c_str());
        if (prefix.empty()) continue;
        Statement insert(db, "INSERT OR IGNORE INTO keys(path) VALUES(?1)");
        result = insert.Result();
        if (!insert.Ready()) break;
        insert.Text(1, prefix);
        result = insert.Step() == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(db);
    }
    if (result == SQLITE_OK) result = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    if (result != SQLITE_OK) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return FromSqlite(result);
}

Status HandOut(Database db, std::string path, RegistryKey* key) {
    auto* handle = new (std::nothrow) RegistryKeyHandle{std::move(db), std::move(path)};
    if (handle == nullptr) return kErrorOutOfMemory;
    *key = handle;
    return 0;
}

}  // namespace

Status RegistryOpenKey(RegistryRoot root, const char* path, uint32_t /*access*/, RegistryKey* key) {
    if (key == nullptr) return kErrorInvalidParameter;
    *key = nullptr;
    Database db;
    if (const Status status = OpenHive(root, false, db); status != 0) return status;
    std::string keyPath = KeyPath(path);
    if (!KeyExists(db.Get(), keyPath)) return kErrorFileNotFound;
    return HandOut(std::move(db), std::move(keyPath), key);
}

Status RegistryCreateKey(RegistryRoot root, const char* path, RegistryKey* key) {
    if (key == nullptr) return kErrorInvalidParameter;
    *key = nullptr;
    Database db;
    if (const Status status = OpenHive(root, true, db); status != 0) return status;
    std::string keyPath = KeyPath(path);
    if (const Status status = AddKeyAndParents(db.Get(), keyPath); status != 0) return status;
    return HandOut(std::move(db), std::move(keyPath), key);
}

Status RegistryQueryValue(RegistryKey key, const char* name, uint32_t* type, uint8_t* data, uint32_t* size) {
    if (key == nullptr) return kErrorInvalidHandle;
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    Statement query(key->db.Get(), "SELECT type, data FROM registry_values WHERE key = ?1 AND name = ?2");
    if (!query.Ready()) return kErrorFileNotFound;  // a hive without values yet
    query.Text(1, key->path);
    query.Text(2, TextOrEmpty(name));
    const int step = query.Step();
    if (step == SQLITE_DONE) return kErrorFileNotFound;
    if (step != SQLITE_ROW) return FromSqlite(step);

    const auto valueType = static_cast<uint32_t>(sqlite3_column_int64(query.Native(), 0));
    const void* bytes = sqlite3_column_blob(query.Native(), 1);
    const auto length = static_cast<uint32_t>(sqlite3_column_bytes(query.Native(), 1));
    if (type != nullptr) *type = valueType;
    if (size == nullptr) return 0;
    const uint32_t room = *size;
    *size = length;
    if (data == nullptr) return 0;
    if (room < length) return kErrorMoreData;
    if (length > 0) std::memcpy(data, bytes, length);
    return 0;
}

Status RegistrySetValue(RegistryKey key, const char* name, uint32_t type, const uint8_t* data, uint32_t size) {
    if (key == nullptr) return kErrorInvalidHandle;
    if (data == nullptr && size != 0) return kErrorInvalidParameter;
    Statement insert(key->db.Get(), "INSERT OR REPLACE INTO registry_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4)");
    if (!insert.Ready()) return FromSqlite(insert.Result());
    insert.Text(1, key->path);
    insert.Text(2, TextOrEmpty(name));
    insert.Integer(3, type);
    insert.Blob(4, data, size);
    const int step = insert.Step();
    return step == SQLITE_DONE ? 0 : FromSqlite(step);
}

void RegistryCloseKey(RegistryKey key) {
    delete key;
}

}  // namespace zun::platform

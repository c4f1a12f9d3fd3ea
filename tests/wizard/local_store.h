// The local store server as the purchase tests use it on Linux: started on a
// free port with a folder of its own for what the browser and the engine
// write; the engine's store host points at it while it runs, and the browser
// maps the secure store's host to it and trusts it by the pin.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "base/bounded_text.h"
#include "state/cartstate.h"
#include "child_process.h"
#include "net/store_server.h"

namespace zun::testing {

// A loopback port that was free a moment ago.
inline int FreePort() {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port = ntohs(address.sin_port);
    }
    close(listener);
    return port;
}

// One value of a CartState blob, "<none>" when the key is missing.
inline std::string ValueOf(const uint8_t* blob, const char* key) {
    uint32_t totalLength = 0;
    std::memcpy(&totalLength, blob, sizeof totalLength);
    char value[256] = {};
    if (CartState::GetValueFromBuffer(blob, totalLength, key, value, sizeof value) != 0) return "<none>";
    return std::string(TextInBuffer(value));
}

class LocalStore {
public:
    LocalStore() {
        char folder[] = "/tmp/zun-store-XXXXXX";
        if (mkdtemp(folder) == nullptr) return;
        _folder = folder;
        std::vector<std::string> command{"python3", ZUN_STORE_SERVER, "--port", "0"};
#ifdef ZUN_TEST_PAGES
        command.insert(command.end(), {"--pages", ZUN_TEST_PAGES});
#endif
        _server = std::make_unique<ChildProcess>(command);
        // The server announces its address once it listens.
        const std::string ready = _server->ReadLine();
        const size_t at = ready.rfind(' ');
        if (at == std::string::npos) return;
        _address = ready.substr(at + 1);
        _storeHost.emplace(_address.c_str());
    }
    ~LocalStore() {
        _server.reset();
        if (!_folder.empty()) std::system(("rm -rf " + _folder).c_str());
    }
    LocalStore(const LocalStore&) = delete;
    LocalStore& operator=(const LocalStore&) = delete;

    bool Ready() const { return !_address.empty() && !Certificate().empty(); }
    const std::string& Address() const { return _address; }
    const std::string& Folder() const { return _folder; }
    std::string Certificate() const { return Control("/_certificate"); }
    std::string Requests() const { return Control("/_requests"); }
    // The address of one of the server's pages.
    std::string Http(const std::string& path) const { return "http://" + _address + path; }
    std::string Pin() const { return Control("/_pin"); }

    // Browser flags that reach the secure store here (and so would a page of
    // attacker.test) and trust only its certificate, with a remote debugging
    // port for the scripted shopper.
    std::string BrowserFlags(int debuggingPort) const {
        return "--host-resolver-rules=\"MAP secure.orvella.com:443 " + _address + ", MAP attacker.test:443 " +
               _address + "\" --ignore-certificate-errors-spki-list=" + Pin() +
               " --remote-debugging-port=" + std::to_string(debuggingPort);
    }

    // A control page of the server, empty when it cannot be read.
    std::string Control(const std::string& path) const { return StorePage(_address, path); }

private:
    std::string _folder;
    std::unique_ptr<ChildProcess> _server;
    std::string _address;
    std::optional<StoreHostOverride> _storeHost;
};

}  // namespace zun::testing

// A module that carries the engine's network code, for the test of request
// workers that outlive their caller: it starts a request that the server
// answers late, aborts it from another thread once the server has it, and
// returns at once.
#include <chrono>
#include <string>
#include <thread>

#include "base/engine_heap.h"
#include "net/inetblock.h"

namespace {

// Whether the server at `host` has received a request for `path`.
bool ServerHas(const char* host, const std::string& path) {
    zun::InetBlock log;
    uint8_t* requests = nullptr;
    uint32_t length = 0;
    bool has = log.OpenNetwork(host, 0, 0) == 0 &&
               log.PageGET(("http://" + std::string(host) + "/_requests").c_str(), &requests, &length) == 0 &&
               std::string(reinterpret_cast<char*>(requests), length).find("GET " + path + " ") != std::string::npos;
    zun::heap::Release(requests);
    return has;
}

}  // namespace

extern "C" __declspec(dllexport) uint32_t AbandonSlowRequest(const char* host, const char* path) {
    zun::InetBlock session;
    uint32_t status = session.OpenNetwork(host, 0, 0);
    if (status != 0) return status;
    // Closed once the request is on its way: its call then blocks on a worker.
    std::thread closer([&session, host, path] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!ServerHas(host, path) && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        session.CloseNetwork();
    });
    uint8_t* reply = nullptr;
    status = session.PageGET(("http://" + std::string(host) + path).c_str(), &reply, nullptr);
    closer.join();
    zun::heap::Release(reply);
    return status;
}

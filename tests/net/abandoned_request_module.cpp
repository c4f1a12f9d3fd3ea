// A module that carries the engine's network code, for the test of request
// workers that outlive their caller: it starts a request that the server
// answers late, aborts it from another thread, and returns at once.
#include <chrono>
#include <string>
#include <thread>

#include "base/engine_heap.h"
#include "net/inetblock.h"

extern "C" __declspec(dllexport) uint32_t AbandonSlowRequest(const char* host, const char* path) {
    zun::InetBlock session;
    uint32_t status = session.OpenNetwork(host, 0, 0);
    if (status != 0) return status;
    std::thread closer([&session] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        session.CloseNetwork();
    });
    uint8_t* reply = nullptr;
    status = session.PageGET(("http://" + std::string(host) + path).c_str(), &reply, nullptr);
    closer.join();
    zun::heap::Release(reply);
    return status;
}

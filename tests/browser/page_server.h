// The browser tests' page server (page_server.py) as a child process.
#pragma once

#include <cstdio>
#include <string>

#include "child_process.h"

namespace zun::testing {

class PageServer {
public:
    // The server ends when its input closes: with this object.
    PageServer() : _server({"python3", ZUN_PAGE_SERVER}, ChildProcess::Input::Piped) {
        const std::string ready = _server.ReadLine();
        char spki[256] = {};
        if (std::sscanf(ready.c_str(), "http=%d https=%d spki=%255s", &_http, &_https, spki) == 3) _spki = spki;
    }

    bool Ready() const { return _http > 0 && _https > 0 && !_spki.empty(); }
    std::string Http(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(_http) + path; }
    std::string Https(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(_https) + path;
    }
    const std::string& Spki() const { return _spki; }

private:
    ChildProcess _server;
    int _http = 0;
    int _https = 0;
    std::string _spki;
};

}  // namespace zun::testing

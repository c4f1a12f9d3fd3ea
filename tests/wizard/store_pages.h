// The page tests' store (store_pages.py) as a child process, talked to
// through its standard input and output.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "child_process.h"

namespace zun::testing {

class StorePages {
public:
    // The server ends when its input closes: with this object.
    StorePages() : _server({"python3", ZUN_STORE_PAGES}, ChildProcess::Input::Piped) {
        const std::string ready = _server.ReadLine();
        std::vector<char> spki(ready.size() + 1), certificate(ready.size() + 1);
        if (std::sscanf(ready.c_str(), "http=%d https=%d spki=%s certificate=%s", &_http, &_https, spki.data(),
                        certificate.data()) == 4) {
            _spki = spki.data();
            _certificate = certificate.data();
        }
    }

    bool Ready() const { return _https > 0 && !_spki.empty() && !_certificate.empty(); }
    std::string Http(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(_http) + path; }
    // The store's pages, on a store host that the browser maps to loopback
    // (ResolverRule), and another site's.
    std::string Https(const std::string& path) const { return "https://" + SecureHost() + path; }
    std::string OtherSite(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(_https) + path;
    }
    std::string SecureHost() const { return "secure.orvella.com:" + std::to_string(_https); }
    static std::string ResolverRule() { return "--host-resolver-rules=\"MAP secure.orvella.com 127.0.0.1\""; }
    const std::string& Spki() const { return _spki; }
    // The certificate as the engine receives it: base64 DER.
    const std::string& Certificate() const { return _certificate; }

    // Sends one command and returns the server's one-line answer.
    std::string Command(const std::string& command) {
        return _server.WriteLine(command) ? _server.ReadLine() : std::string();
    }

private:
    ChildProcess _server;
    int _http = 0;
    int _https = 0;
    std::string _spki;
    std::string _certificate;
};

}  // namespace zun::testing

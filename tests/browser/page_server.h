// The browser tests' page server (page_server.py) as a child process.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace zun::testing {

class PageServer {
public:
    PageServer() {
        int input[2];
        int output[2];
        if (pipe(input) != 0 || pipe(output) != 0) return;
        _pid = fork();
        if (_pid == 0) {
            dup2(input[0], 0);
            dup2(output[1], 1);
            close(input[1]);
            close(output[0]);
            execlp("python3", "python3", ZUN_PAGE_SERVER, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(input[0]);
        close(output[1]);
        _stdin = input[1];
        FILE* out = fdopen(output[0], "r");
        char line[512] = {};
        if (out != nullptr && std::fgets(line, sizeof line, out) != nullptr) {
            char spki[256] = {};
            if (std::sscanf(line, "http=%d https=%d spki=%255s", &_http, &_https, spki) == 3) _spki = spki;
        }
        if (out != nullptr) std::fclose(out);
    }
    ~PageServer() {
        if (_stdin >= 0) close(_stdin);  // the server ends at the end of its input
        if (_pid > 0) waitpid(_pid, nullptr, 0);
    }

    bool Ready() const { return _http > 0 && _https > 0 && !_spki.empty(); }
    std::string Http(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(_http) + path; }
    std::string Https(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(_https) + path;
    }
    const std::string& Spki() const { return _spki; }

private:
    pid_t _pid = -1;
    int _stdin = -1;
    int _http = 0;
    int _https = 0;
    std::string _spki;
};

}  // namespace zun::testing

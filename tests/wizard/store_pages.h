// The page tests' store (store_pages.py) as a child process, talked to
// through its standard input and output.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zun::testing {

class StorePages {
public:
    StorePages() {
        int input[2];
        int output[2];
        if (pipe(input) != 0 || pipe(output) != 0) return;
        _pid = fork();
        if (_pid == 0) {
            dup2(input[0], 0);
            dup2(output[1], 1);
            close(input[1]);
            close(output[0]);
            execlp("python3", "python3", ZUN_STORE_PAGES, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(input[0]);
        close(output[1]);
        _in = fdopen(input[1], "w");
        _out = fdopen(output[0], "r");
        const std::string ready = ReadLine();
        std::vector<char> spki(ready.size() + 1), certificate(ready.size() + 1);
        if (std::sscanf(ready.c_str(), "http=%d https=%d spki=%s certificate=%s", &_http, &_https, spki.data(),
                        certificate.data()) == 4) {
            _spki = spki.data();
            _certificate = certificate.data();
        }
    }
    ~StorePages() {
        if (_in != nullptr) std::fclose(_in);  // the server ends at the end of its input
        if (_out != nullptr) std::fclose(_out);
        if (_pid > 0) waitpid(_pid, nullptr, 0);
    }

    bool Ready() const { return _https > 0 && !_spki.empty() && !_certificate.empty(); }
    std::string Http(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(_http) + path; }
    std::string Https(const std::string& path) const {
        return "https://127.0.0.1:" + std::to_string(_https) + path;
    }
    std::string SecureHost() const { return "127.0.0.1:" + std::to_string(_https); }
    const std::string& Spki() const { return _spki; }
    // The certificate as the engine receives it: base64 DER.
    const std::string& Certificate() const { return _certificate; }

    // Sends one command and returns the server's one-line answer.
    std::string Command(const std::string& command) {
        if (_in == nullptr) return "";
        std::fprintf(_in, "%s\n", command.c_str());
        std::fflush(_in);
        return ReadLine();
    }

private:
    std::string ReadLine() {
        std::string line;
        if (_out == nullptr) return line;
        for (int c = std::fgetc(_out); c != EOF && c != '\n'; c = std::fgetc(_out)) line += static_cast<char>(c);
        return line;
    }

    pid_t _pid = -1;
    FILE* _in = nullptr;
    FILE* _out = nullptr;
    int _http = 0;
    int _https = 0;
    std::string _spki;
    std::string _certificate;
};

}  // namespace zun::testing

// A program the tests start: the store server, the scripted shopper, an X
// server. Its standard output is read line by line; it is ended when the test
// is done.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace zun::testing {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& arguments) {
        int output[2];
        if (arguments.empty() || pipe(output) != 0) return;
        _pid = fork();
        if (_pid == 0) {
            dup2(output[1], 1);
            close(output[0]);
            std::vector<char*> argv;
            for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(output[1]);
        _out = fdopen(output[0], "r");
    }
    ~ChildProcess() {
        if (_pid > 0 && !_reaped) {
            kill(_pid, SIGTERM);
            waitpid(_pid, nullptr, 0);
        }
        if (_out != nullptr) std::fclose(_out);
    }

    std::string ReadLine() {
        std::string line;
        if (_out == nullptr) return line;
        for (int c = std::fgetc(_out); c != EOF && c != '\n'; c = std::fgetc(_out)) line += static_cast<char>(c);
        return line;
    }

    // The exit code, or -1 when the program has not ended within `limit`
    // (it is then ended).
    int Wait(std::chrono::milliseconds limit) {
        if (_pid <= 0) return -1;
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (std::chrono::steady_clock::now() < end) {
            if (waitpid(_pid, &status, WNOHANG) == _pid) {
                _reaped = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }

private:
    pid_t _pid = -1;
    bool _reaped = false;
    FILE* _out = nullptr;
};

}  // namespace zun::testing

// A display of the test's own: an X server on a free display number, so that
// a test of what a person sees runs the same with or without an outer
// display. Name() is empty when no server could start.
#pragma once

#include <string>

#include "child_process.h"

namespace zun::testing {

class OwnDisplay {
public:
    OwnDisplay(int width, int height)
        : _server({"Xvfb", "-displayfd", "1", "-screen", "0",
                   std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp"}) {
        // The server names its display once it accepts clients.
        const std::string number = _server.ReadLine();
        if (!number.empty() && number.find_first_not_of("0123456789") == std::string::npos) _name = ":" + number;
    }

    const std::string& Name() const { return _name; }

private:
    ChildProcess _server;
    std::string _name;
};

}  // namespace zun::testing

// An open file descriptor, closed when its owner goes.
#pragma once

#include <unistd.h>

#include "base/unique_handle.h"

namespace zun::platform::posix {

inline void CloseDescriptor(int fd) { close(fd); }

using Descriptor = UniqueHandle<int, &CloseDescriptor, -1>;

}  // namespace zun::platform::posix

// Trace sink port: where formatted trace lines go (the debugger output on
// Windows; on Linux stderr or a file when ZUN_TRACE asks for it).
#pragma once

namespace zun::platform {

// Whether lines written now would reach anyone; lets tracing skip formatting.
bool TraceSinkEnabled();
// Writes one line, which already ends with a newline.
void WriteTraceLine(const char* line);

}  // namespace zun::platform

// Names of the engine's status values, for printing.
#pragma once

#include <zunserver/zunserver.h>

// The name of a status the public header defines, or null.
const char* StatusName(ZunStatus status);

#ifndef ZUNSERVER_CONSUMER_REFUSED_CALL_H
#define ZUNSERVER_CONSUMER_REFUSED_CALL_H

#include <zunserver/zunserver.h>

/* Calls the engine with a call type it does not serve and checks that it
 * answers ZUN_E_INVALID_REQUEST and leaves the record as it was. Prints what
 * went wrong; returns the program's exit status. */
int CheckRefusedCall(ZunEntryPointFunction entry);

#endif

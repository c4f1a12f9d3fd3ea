/* Calls the engine it is linked with. */
#include "refused_call.h"

int main(void) { return CheckRefusedCall(EntryPoint); }

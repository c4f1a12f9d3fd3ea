// Prints the keys and values of a binary CartState blob.
#pragma once

#include <cstdio>

void PrintCartState(std::FILE* out, const unsigned char* blob);

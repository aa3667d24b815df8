// Hex dump of a memory image: rows of 32 bytes in four bar-closed groups of 8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

void PrintMemoryDump(std::FILE* out, const uint8_t* bytes, size_t count);

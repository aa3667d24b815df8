#include "MemoryDump.h"

namespace {

constexpr size_t kBytesPerRow = 32;
constexpr size_t kBytesPerGroup = 8;
constexpr const char* kDumpHeader =
    "Dump of memory byte by byte regrouped in blocks of 8 byte\n"
    "   bytes:  0 1 2 3 4 5 6 7| 8 9 a b c d e f|1011121314151617|18191a1b1c1d1e1f|\n"
    "--------:-----------------+----------------+----------------+----------------|";

}  // namespace

void PrintMemoryDump(std::FILE* out, const uint8_t* bytes, size_t count) {
  std::fprintf(out, "%s\n", kDumpHeader);
  for (size_t i = 0; i < count; ++i) {
    if (i % kBytesPerRow == 0) std::fprintf(out, "%08zx: ", i);
    std::fprintf(out, "%02x", bytes[i]);
    if ((i + 1) % kBytesPerGroup == 0) std::fputc('|', out);
    if ((i + 1) % kBytesPerRow == 0) std::fputc('\n', out);
  }
  std::fputc('\n', out);
}

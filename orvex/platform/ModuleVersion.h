#pragma once

#include <cstdint>
#include <string>

namespace orvex {

// Results of reading the version stored in a module file.
enum class VersionStatus : int32_t {
  Ok = 0,
  NoModuleName = -1,   // the module's own file name cannot be obtained
  EmptyResource = -2,  // the file carries no version note
  Unreadable = -3,     // the file (or its section table) cannot be read
  NoFixedRecord = -4   // the note is there but holds no valid version record
};

// The library's version lives in an ELF note ".note.orvex.version" (owner
// "Orvex", four u16: major, minor, third, fourth) inside the library file.
// Reads it back from the file that contains `addressInModule`.
VersionStatus ReadModuleVersion(const void* addressInModule, uint16_t version[4]);

// The same for an explicit file (tests use damaged copies of the library).
VersionStatus ReadFileVersion(const std::string& path, uint16_t version[4]);

}  // namespace orvex

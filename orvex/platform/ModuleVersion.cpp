#include "platform/ModuleVersion.h"

#include "Orvex.h"

#include <dlfcn.h>
#include <elf.h>

#include <cstring>
#include <fstream>
#include <vector>

namespace orvex {
namespace {

constexpr char kNoteSection[] = ".note.orvex.version";
constexpr char kNoteOwner[] = "Orvex";
constexpr uint32_t kNoteType = 1;

struct VersionNote {
  Elf64_Nhdr header;
  char owner[8];  // "Orvex" padded to 4-byte alignment
  uint16_t words[4];
};

// Stored in the library itself; the reader below finds it by section name.
__attribute__((used, section(".note.orvex.version"), aligned(4)))
const VersionNote kVersionNote = {{sizeof(kNoteOwner), 4 * sizeof(uint16_t), kNoteType},
                                  {'O', 'r', 'v', 'e', 'x', 0, 0, 0},
                                  {ORVEX_VERSION_MAJOR, ORVEX_VERSION_MINOR, ORVEX_VERSION_PATCH,
                                   ORVEX_VERSION_BUILD}};

bool ReadAt(std::ifstream& file, uint64_t offset, void* out, size_t size) {
  file.seekg(static_cast<std::streamoff>(offset));
  file.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
  return static_cast<size_t>(file.gcount()) == size;
}

// Decodes the note payload; every size is checked against the bytes at hand.
VersionStatus DecodeNote(const std::vector<char>& bytes, uint16_t version[4]) {
  if (bytes.empty()) return VersionStatus::EmptyResource;
  size_t pos = 0;
  while (pos + sizeof(Elf64_Nhdr) <= bytes.size()) {
    Elf64_Nhdr header;
    std::memcpy(&header, bytes.data() + pos, sizeof header);
    size_t nameStart = pos + sizeof header;
    size_t nameSize = (header.n_namesz + 3u) & ~size_t{3};
    size_t descStart = nameStart + nameSize;
    size_t descSize = (header.n_descsz + 3u) & ~size_t{3};
    if (nameSize > bytes.size() || descStart > bytes.size() || descSize > bytes.size() - descStart) break;
    bool ours = header.n_type == kNoteType && header.n_namesz == sizeof(kNoteOwner) &&
                std::memcmp(bytes.data() + nameStart, kNoteOwner, sizeof(kNoteOwner)) == 0 &&
                header.n_descsz == 4 * sizeof(uint16_t);
    if (ours) {
      uint16_t words[4];
      std::memcpy(words, bytes.data() + descStart, sizeof words);
      version[0] = words[3];
      version[1] = words[2];
      version[2] = words[1];
      version[3] = words[0];
      return VersionStatus::Ok;
    }
    pos = descStart + descSize;
  }
  return VersionStatus::NoFixedRecord;
}

}  // namespace

VersionStatus ReadFileVersion(const std::string& path, uint16_t version[4]) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return VersionStatus::Unreadable;
  Elf64_Ehdr elf;
  if (!ReadAt(file, 0, &elf, sizeof elf) || std::memcmp(elf.e_ident, ELFMAG, SELFMAG) != 0 ||
      elf.e_ident[EI_CLASS] != ELFCLASS64 || elf.e_shentsize != sizeof(Elf64_Shdr) ||
      elf.e_shstrndx >= elf.e_shnum)
    return VersionStatus::Unreadable;
  std::vector<Elf64_Shdr> sections(elf.e_shnum);
  if (!ReadAt(file, elf.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr)))
    return VersionStatus::Unreadable;
  const Elf64_Shdr& names = sections[elf.e_shstrndx];
  if (names.sh_size > (1u << 24)) return VersionStatus::Unreadable;
  std::vector<char> nameTable(names.sh_size + 1, '\0');
  if (!ReadAt(file, names.sh_offset, nameTable.data(), names.sh_size)) return VersionStatus::Unreadable;
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_name >= names.sh_size) continue;
    if (std::strcmp(nameTable.data() + section.sh_name, kNoteSection) != 0) continue;
    if (section.sh_size > 4096) return VersionStatus::NoFixedRecord;
    std::vector<char> bytes(section.sh_size);
    if (!bytes.empty() && !ReadAt(file, section.sh_offset, bytes.data(), bytes.size()))
      return VersionStatus::Unreadable;
    return DecodeNote(bytes, version);
  }
  return VersionStatus::EmptyResource;
}

VersionStatus ReadModuleVersion(const void* addressInModule, uint16_t version[4]) {
  Dl_info info;
  if (dladdr(addressInModule, &info) == 0 || !info.dli_fname || !*info.dli_fname)
    return VersionStatus::NoModuleName;
  // Keep the reference so the linker never drops the note.
  (void)&kVersionNote;
  return ReadFileVersion(info.dli_fname, version);
}

}  // namespace orvex

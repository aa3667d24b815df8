// Stands in for the desktop's file dialogs: the title, the file-type filter
// and a path typed on the console. An empty line cancels.
#pragma once

#include <cstdio>
#include <string>

class CKeyInput;

struct FileFilter {
  const char* description;       // "i2c Files (*.iic)"
  const char* defaultExtension;  // "iic", appended by the save prompt to a name without one
};

extern const FileFilter kI2cFileFilter;

// An existing file; false when cancelled or the file does not exist.
bool PromptOpenFile(CKeyInput& input, std::FILE* out, const char* title, const FileFilter& filter,
                    std::string& path);
// A file to create in an existing folder; false when cancelled or the folder does not exist.
bool PromptSaveFile(CKeyInput& input, std::FILE* out, const char* title, const FileFilter& filter,
                    std::string& path);

// The longest path taken, as the dialogs' 512-character buffers.
constexpr size_t kMaxPromptPathChars = 511;

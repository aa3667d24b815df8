// The tests name their output files with Windows paths ("c:\TAVRIN\data_0_a.csv",
// "E:\pvs-streams\out.pvs"). On this system all of them live below one folder,
// "tester-out", relative to the working directory: the drive letter is dropped
// and every backslash becomes a slash, so "c:\TAVRIN\data_0_a.csv" is
// "tester-out/TAVRIN/data_0_a.csv".
#pragma once

#include <cstdio>
#include <string>

// The folder that stands in for every drive.
extern const char* const kTesterOutputFolder;

// Maps a Windows path to its place below the output folder. A text that is not
// drive-qualified is taken as relative to that folder as well.
std::string MapWindowsPath(const std::string& windowsPath);

// Creates the folders above path, so that an output file can be created.
// False when they cannot be created.
bool CreateParentFolders(const std::string& path);

// Maps the path and opens it for writing (text mode), creating its folders.
// Null when the file cannot be created.
std::FILE* OpenMappedOutput(const std::string& windowsPath);

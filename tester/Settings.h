// The setting lists of the user tests and the step that applies them by name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Orvex.h"

struct Setting {
  std::string name;  // a map, else a register
  int32_t value;
};

using SettingList = std::vector<Setting>;

const SettingList& A16Z16Settings();
const SettingList& A16Z16ExternalTriggerSettings();
const SettingList& A16FramesSettings();
const SettingList& A16EndlessSettings();
const SettingList& TwoCamerasSettings();
const SettingList& ProcessingSettings();
const SettingList& IntensitySettings();
const SettingList& StressBaseSettings();
const SettingList& InterfaceSettings();

// A copy of list with every setting of name changed to value.
SettingList WithValue(SettingList list, const char* name, int32_t value);

// Applies the settings in order: a map of that name gets the value, else a
// register of that name gets its low 8 bits; a name that is neither is
// reported on out and the remaining settings still go out.
void ApplySettings(QV_Handle handle, const SettingList& settings, std::FILE* out);

// Writes a map value when the map exists; the tests look maps up once and
// carry on without the ones a description lacks.
void SetMapIfPresent(QV_Handle handle, _Map* map, uint32_t value);
uint32_t GetMapIfPresent(QV_Handle handle, _Map* map);

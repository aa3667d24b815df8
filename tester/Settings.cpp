#include "Settings.h"

#include "RegDescLookup.h"

const SettingList& A16Z16Settings() {
  static const SettingList list = {
      {"AcqStop", 1},      {"SensTqp", 1064},     {"SensNavM2", 2}, {"SensNFrames", 150}, {"BSEnable", 1},
      {"DdsGain", 2},      {"TrigFreeExtN", 1},   {"TrigExtSrcSel", 0}, {"CamMode", 7},   {"SoftRes", 1},
      {"SoftRes", 0},      {"IterCtrl", 2},       {"IterMaxFrac", 2},   {"AcqStop", 0}};
  return list;
}

const SettingList& A16Z16ExternalTriggerSettings() {
  static const SettingList list = WithValue(A16Z16Settings(), "TrigFreeExtN", 0);
  return list;
}

const SettingList& A16FramesSettings() {
  static const SettingList list = {
      {"AcqStop", 1},      {"SensTqp", 1064},   {"SensNavM2", 2}, {"SensNFrames", 32}, {"BSEnable", 1},
      {"DdsGain", 2},      {"TrigFreeExtN", 1}, {"TrigExtSrcSel", 0}, {"CamMode", 1},  {"Comp11to8", 0},
      {"SoftRes", 1},      {"SoftRes", 0},      {"AcqStop", 0}};
  return list;
}

const SettingList& A16EndlessSettings() {
  static const SettingList list = WithValue(A16FramesSettings(), "SensNFrames", 127);
  return list;
}

const SettingList& TwoCamerasSettings() {
  static const SettingList list = {
      {"SensTqp", 1064}, {"SensNavM2", 2}, {"SensNFrames", 128}, {"BSEnable", 1}, {"DdsGain", 2},
      {"TrigFreeExtN", 1}, {"TrigExtSrcSel", 0}, {"CamMode", 4}, {"SoftRes", 1}, {"SoftRes", 0},
      {"AcqStop", 0}};
  return list;
}

const SettingList& ProcessingSettings() {
  static const SettingList list = WithValue(TwoCamerasSettings(), "CamMode", 7);
  return list;
}

const SettingList& IntensitySettings() {
  static const SettingList list = {{"AcqStop", 1},   {"CamMode", 3},      {"BSEnable", 0},    {"SensNFrames", 16},
                                   {"SensNavM2", 10}, {"SensTqp", 4000}, {"TrigFreeExtN", 1}, {"AcqStop", 0}};
  return list;
}

const SettingList& StressBaseSettings() {
  static const SettingList list = {{"AcqStop", 1}, {"CamMode", 7}};
  return list;
}

const SettingList& InterfaceSettings() {
  static const SettingList list = {{"AcqStop", 1},      {"SensTqp", 1064}, {"SensNavM2", 2}, {"SensNFrames", 150},
                                   {"TrigFreeExtN", 1}, {"CamMode", 7},    {"AcqStop", 0}};
  return list;
}

SettingList WithValue(SettingList list, const char* name, int32_t value) {
  for (Setting& setting : list) {
    if (setting.name == name) setting.value = value;
  }
  return list;
}

void ApplySettings(QV_Handle handle, const SettingList& settings, std::FILE* out) {
  const _RegDesc* desc = QV_GetRegDesc(handle);
  for (const Setting& setting : settings) {
    if (_Map* map = FindMapByName(desc, setting.name.c_str())) {
      QV_SetMap(handle, map, static_cast<uint32_t>(setting.value));
    } else if (_Reg* reg = FindRegByName(desc, setting.name.c_str())) {
      QV_SetReg(handle, reg->num, static_cast<uint8_t>(setting.value & 0xFF));
    } else {
      std::fprintf(out, "Register Setting Error: %s=%i\n", setting.name.c_str(), setting.value);
    }
  }
}

void SetMapIfPresent(QV_Handle handle, _Map* map, uint32_t value) {
  if (map) QV_SetMap(handle, map, value);
}

uint32_t GetMapIfPresent(QV_Handle handle, _Map* map) { return map ? QV_GetMap(handle, map) : 0; }

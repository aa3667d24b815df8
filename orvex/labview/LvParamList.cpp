// LV_GetParamList: the register description's maps as nine LabVIEW arrays.
#include <cstring>

#include "OrvexLabVIEW.h"
#include "core/ExportGuard.h"
#include "core/Messages.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "labview/LvArray.h"
#include "labview/LvRuntime.h"

namespace orvex::lv {
namespace {

constexpr uint32_t kIdRow = 32;
constexpr uint32_t kCommentRow = 256;

enum Param { kIds, kComments, kModes, kGroups, kLevels, kMinima, kMaxima, kValues, kCamModes, kParamCount };

struct ParamArray {
  Param param;
  int32_t typeCode;
  uint32_t row;  // characters per row for the text arrays, 0 for one value per map
};

// The order of resizing; failures are numbered by position in this list.
constexpr ParamArray kResizeOrder[] = {
    {kModes, LV_TYPE_U8, 0},   {kLevels, LV_TYPE_U8, 0},  {kMinima, LV_TYPE_U32, 0},
    {kMaxima, LV_TYPE_U32, 0}, {kValues, LV_TYPE_U32, 0}, {kCamModes, LV_TYPE_U8, 0},
    {kIds, LV_TYPE_I8, kIdRow}, {kComments, LV_TYPE_I8, kCommentRow}, {kGroups, LV_TYPE_I8, kIdRow}};

LV_MgErr ResizeParam(LV_Handle handle, const ParamArray& array, uint32_t maps) {
  return array.row ? ResizeArray(handle, array.typeCode, {maps, array.row})
                   : ResizeArray(handle, array.typeCode, {maps});
}

// One block cannot hold two arrays: the later resize would leave the earlier
// contents without room.
bool SeenBefore(LV_Handle const* handles, Param param) {
  for (const ParamArray& earlier : kResizeOrder) {
    if (earlier.param == param) return false;
    if (handles[earlier.param] == handles[param]) return true;
  }
  return false;
}

// Cut to the row with its terminating zero; the rest of the row is zero.
void CopyRow(uint8_t* rows, uint32_t index, uint32_t row, const char* text) {
  uint8_t* target = rows + size_t{index} * row;
  std::memset(target, 0, row);
  if (text) std::memcpy(target, text, strnlen(text, row - 1));
}

void StoreU32(uint8_t* values, uint32_t index, uint32_t value) { std::memcpy(values + size_t{index} * 4, &value, 4); }

void FillParams(const _RegDesc& desc, LV_Handle const* handles) {
  uint8_t* ids = ArrayElements(handles[kIds], LV_TYPE_I8, 2);
  uint8_t* comments = ArrayElements(handles[kComments], LV_TYPE_I8, 2);
  uint8_t* groups = ArrayElements(handles[kGroups], LV_TYPE_I8, 2);
  uint8_t* modes = ArrayElements(handles[kModes], LV_TYPE_U8, 1);
  uint8_t* levels = ArrayElements(handles[kLevels], LV_TYPE_U8, 1);
  uint8_t* camModes = ArrayElements(handles[kCamModes], LV_TYPE_U8, 1);
  uint8_t* minima = ArrayElements(handles[kMinima], LV_TYPE_U32, 1);
  uint8_t* maxima = ArrayElements(handles[kMaxima], LV_TYPE_U32, 1);
  uint8_t* values = ArrayElements(handles[kValues], LV_TYPE_U32, 1);
  for (uint32_t i = 0; i < desc.mapCount; ++i) {
    const _Map& map = desc.maps[i];
    CopyRow(ids, i, kIdRow, map.id);
    CopyRow(comments, i, kCommentRow, map.cmt);
    CopyRow(groups, i, kIdRow, map.group);
    modes[i] = map.mode;
    levels[i] = map.level;
    camModes[i] = map.cammode;
    StoreU32(minima, i, map.min);
    StoreU32(maxima, i, map.max);
    StoreU32(values, i, map.cachedValue);
  }
}

int32_t GetParamList(CPelSys& system, LV_Handle const* handles) {
  const _RegDesc* desc = system.camera->regDesc.get();
  uint32_t maps = desc && desc->maps ? desc->mapCount : 0;
  int number = 1;
  for (const ParamArray& array : kResizeOrder) {
    if (SeenBefore(handles, array.param) || ResizeParam(handles[array.param], array, maps) != kNoErr) {
      ReportText(&system, kMsgLabViewWarning, "LV_Acquire: NumericArrayResize(%d) failed", number);
      return -1;
    }
    ++number;
  }
  if (maps) FillParams(*desc, handles);
  return static_cast<int32_t>(maps);
}

}  // namespace
}  // namespace orvex::lv

using namespace orvex;

extern "C" QV_API int32_t LV_GetParamList(QV_Handle handle, LV_Handle ids, LV_Handle comments, LV_Handle modes,
                                          LV_Handle groups, LV_Handle levels, LV_Handle minima, LV_Handle maxima,
                                          LV_Handle values, LV_Handle camModes) {
  return Guarded("LV_GetParamList", int32_t{-1}, [&]() -> int32_t {
    CPelSys* system = CheckHandle(handle);
    if (!system) return -1;
    const LV_Handle handles[lv::kParamCount] = {ids, comments, modes, groups, levels, minima, maxima, values, camModes};
    return lv::GetParamList(*system, handles);
  });
}

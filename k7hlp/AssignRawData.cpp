// Filling a raw record from one processed acquisition of an open system.
#include <cstring>

#include "Boundary.h"
#include "K7Hlp.h"
#include "Record.h"

namespace k7hlp {
namespace {

constexpr uint32_t kCamHeaderSize = sizeof(CamDataHdr);
constexpr uint8_t kUnknownRegister = 255;

bool SameName(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

// The value of a map or register by name; maps win over registers, and a name
// found nowhere reads register 255. False when the system has no description.
bool ReadRegisterValue(CPelSys* sys, const char* name, int32_t* value) {
  _RegDesc* desc = QV_GetRegDesc(sys);
  if (!desc) return false;
  for (uint16_t i = 0; desc->maps && i < desc->mapCount; ++i) {
    if (SameName(desc->maps[i].id, name)) {
      *value = static_cast<int32_t>(QV_GetMap(sys, &desc->maps[i]));
      return true;
    }
  }
  for (uint16_t i = 0; desc->regs && i < desc->regCount; ++i) {
    if (SameName(desc->regs[i].id, name)) {
      *value = QV_GetReg(sys, desc->regs[i].num);
      return true;
    }
  }
  *value = QV_GetReg(sys, kUnknownRegister);
  return true;
}

// A16Z16 pairs (amplitude, surface) per pixel into planes: plane 0 surface, plane 1 amplitude.
void SplitInterleaved(const uint16_t* in, uint32_t m0, uint32_t w, uint32_t h, uint16_t* out) {
  size_t pixels = size_t{w} * h;
  for (uint32_t p = 0; p < m0; ++p) {
    uint32_t value = (p - 1u) & 1u;
    uint16_t* plane = out + pixels * p;
    for (size_t i = 0; i < pixels; ++i) plane[i] = in[value + size_t{m0} * i];
  }
}

// Window samples, component fastest per frame and pixel, into planar
// [component][frame][row][column]. A block of pixels is read once (it stays in
// the first-level cache) and written as one run into every plane. Sixteen
// pixels (half a cache line per plane) measured fastest: longer runs into 63
// planes at once thrash the cache.
void MakePlanar(const uint16_t* in, const uint32_t m[4], uint16_t* out) {
  constexpr size_t kBlock = 16;
  const size_t c = m[0], f = m[1], pixels = size_t{m[2]} * m[3], perPixel = c * f;
  for (size_t first = 0; first < pixels; first += kBlock) {
    const size_t count = pixels - first < kBlock ? pixels - first : kBlock;
    const uint16_t* block = in + perPixel * first;
    for (size_t frame = 0; frame < f; ++frame)
      for (size_t comp = 0; comp < c; ++comp) {
        uint16_t* plane = out + pixels * (frame + f * comp) + first;
        const uint16_t* from = block + comp + c * frame;
        for (size_t i = 0; i < count; ++i) plane[i] = from[perPixel * i];
      }
  }
}

int AssignSamples(int32_t camMode, const _CamDataMeta& meta, const _CamData& camData, K7Hlp_Data& raw,
                  RawBlock& kept) {
  const uint32_t* m = meta.dimSz;
  const bool a16z16 = camMode == 4 || camMode == 7;
  uint64_t count = 0;
  bool fits = a16z16 ? CheckedProduct({m[0], m[1], m[2]}, camData.size / 2, &count)
                     : CheckedProduct({m[0], m[1], m[2], m[3]}, camData.size / 2, &count);
  // Plane 0 takes the second word of every pixel, which needs pairs.
  if (!fits || count == 0 || (a16z16 && m[0] < 2))
    return Fail(kStepFailed, "K7Hlp_assignRawData:: camMeta does not match camData");
  const uint16_t* in = static_cast<const uint16_t*>(camData.data);
  if (a16z16) {
    const uint32_t dim[4] = {m[1], m[2], m[0], 0};
    SplitInterleaved(in, m[0], m[1], m[2], GiveUnclearedRawSamples(raw, dim, count, kept));
  } else {
    const uint32_t dim[4] = {m[2], m[3], m[1], m[0]};
    MakePlanar(in, m, GiveUnclearedRawSamples(raw, dim, count, kept));
  }
  return kOk;
}

int AssignRawData(CPelSys* sys, void* camHeader, _CamDataMeta* camMeta, _CamData* camData, K7Hlp_Data* rawOut) {
  if (!camHeader) return Fail(kMissing, "K7Hlp_assignRawData:: camHeader not found");
  if (!camMeta) return Fail(kMissing, "K7Hlp_assignRawData:: camMeta not found");
  if (!camData || !camData->data) return Fail(kMissing, "K7Hlp_assignRawData:: camData not found");
  if (!rawOut) return Fail(kMissing, "K7Hlp_assignRawData:: rawOut not found");
  // A record refilled frame after frame keeps its sample block when the size
  // stays: a new block of megabytes costs a page fault per page on first write.
  RawBlock kept = TakeRawSamples(*rawOut);
  if (rawOut->dataType != K7Hlp_dataNone) {
    FreeRecord(rawOut);
    AllocRecord(rawOut);
  }
  for (K7Hlp_Param& param : rawOut->param) {
    if (!ReadRegisterValue(sys, param.name, &param.value))
      return Fail(kStepFailed, "K7Hlp_assignRawData:: register description not found");
  }
  std::memcpy(GiveHeader(*rawOut, K7Hlp_headerCamera, kCamHeaderSize), camHeader, kCamHeaderSize);
  rawOut->unit = K7Hlp_unitRaw;

  int32_t camMode = ParamValue(*rawOut, "CamMode");
  if (camMode < 0) return Fail(kStepFailed, "K7Hlp_assignRawData:: CamMode not found in data structure");
  if (camMode != 4 && camMode != 5 && camMode != 7)
    return Fail(kUnsupportedKind,
                "K7Hlp_assignRawData:: CamMode currently not supported by K7Hlp library. Only CamMode 4, 5 and 7 "
                "are supported");
  return AssignSamples(camMode, *camMeta, *camData, *rawOut, kept);
}

}  // namespace
}  // namespace k7hlp

int K7Hlp_assignRawData(CPelSys* sys, void* camHeader, _CamDataMeta* camMeta, _CamData* camData,
                        K7Hlp_Data* rawOut) {
  return k7hlp::Exported("K7Hlp_assignRawData",
                         [&] { return k7hlp::AssignRawData(sys, camHeader, camMeta, camData, rawOut); });
}

// Filling a raw record from one processed acquisition of an open system.
#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// [component][frame][row][column]: a transpose of a pixels x channels matrix
// of words (channel comp + c * frame of a pixel goes to plane frame + f * comp).
// Eight pixels by eight channels pass through SSE2 registers at a time; the
// last block in each direction starts eight before the end and overlaps the
// one before it, so every size is covered without a remainder loop (the
// overlapping words are written twice with the same value).
#if defined(__SSE2__)
void Transpose8x8(const uint16_t* in, size_t inStride, uint16_t* const* rows, size_t offset) {
  __m128i a[8], t[8], u[8];
  for (int i = 0; i < 8; ++i) a[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + inStride * i));
  for (int i = 0; i < 8; i += 2) {
    t[i] = _mm_unpacklo_epi16(a[i], a[i + 1]);
    t[i + 1] = _mm_unpackhi_epi16(a[i], a[i + 1]);
  }
  for (int i = 0; i < 8; i += 4) {
    u[i] = _mm_unpacklo_epi32(t[i], t[i + 2]);
    u[i + 1] = _mm_unpackhi_epi32(t[i], t[i + 2]);
    u[i + 2] = _mm_unpacklo_epi32(t[i + 1], t[i + 3]);
    u[i + 3] = _mm_unpackhi_epi32(t[i + 1], t[i + 3]);
  }
  for (int i = 0; i < 4; ++i) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[2 * i] + offset), _mm_unpacklo_epi64(u[i], u[i + 4]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[2 * i + 1] + offset), _mm_unpackhi_epi64(u[i], u[i + 4]));
  }
}
#endif

void MakePlanar(const uint16_t* in, const uint32_t m[4], uint16_t* out) {
  const size_t c = m[0], f = m[1], pixels = size_t{m[2]} * m[3], channels = c * f;
  std::vector<uint16_t*> plane(channels);
  for (size_t k = 0; k < channels; ++k) plane[k] = out + pixels * (k / c + f * (k % c));
#if defined(__SSE2__)
  if (pixels >= 8 && channels >= 8) {
    for (size_t p = 0;; p = std::min(p + 8, pixels - 8)) {
      for (size_t k = 0;; k = std::min(k + 8, channels - 8)) {
        Transpose8x8(in + channels * p + k, channels, &plane[k], p);
        if (k + 8 == channels) break;
      }
      if (p + 8 == pixels) break;
    }
    return;
  }
#endif
  for (size_t pixel = 0; pixel < pixels; ++pixel)
    for (size_t k = 0; k < channels; ++k) plane[k][pixel] = in[k + channels * pixel];
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

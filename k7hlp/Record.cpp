#include "Record.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>

#include "LastError.h"
#include "Status.h"

namespace k7hlp {

const char* const kParamNames[K7Hlp_paramCount] = {"CamMode", "SensNFrames", "SensNavM2",
                                                   "SensTqp", "SensDeltaExp", "BSEnable"};

namespace {

void ResetParams(K7Hlp_Data& data) {
  for (int i = 0; i < K7Hlp_paramCount; ++i) data.param[i] = {kParamNames[i], 0};
  data.unit = K7Hlp_unitRaw;
}

void ReleaseSamples(K7Hlp_Data& data) {
  if (data.dataSize != 0 && data.dataType == K7Hlp_dataRaw16) delete[] static_cast<uint16_t*>(data.data);
  if (data.dataSize != 0 && data.dataType == K7Hlp_dataFloat) delete[] static_cast<float*>(data.data);
  data.data = nullptr;
  data.dataType = K7Hlp_dataNone;
  data.dataSize = 0;
  for (uint32_t& d : data.dim) d = 0;
}

void ReleaseHeader(K7Hlp_Data& data) {
  if (data.headerSize != 0) delete[] static_cast<uint8_t*>(data.header);
  data.header = nullptr;
  data.headerType = K7Hlp_headerNone;
  data.headerSize = 0;
}

bool KnownDataType(int32_t type) { return type == K7Hlp_dataRaw16 || type == K7Hlp_dataFloat; }
bool KnownHeaderType(int32_t type) { return type == K7Hlp_headerCamera || type == K7Hlp_headerExtended; }

}  // namespace

int AllocRecord(K7Hlp_Data* data) {
  if (!data) return Fail(kMissing, "K7Hlp_alloc:: data not found");
  if (data->dataType != K7Hlp_dataNone) FreeRecord(data);
  data->dataType = K7Hlp_dataNone;
  data->dataSize = 0;
  for (uint32_t& d : data->dim) d = 0;
  data->data = nullptr;
  data->headerType = K7Hlp_headerNone;
  data->headerSize = 0;
  data->header = nullptr;
  ResetParams(*data);
  return kOk;
}

int FreeRecord(K7Hlp_Data* data) {
  if (!data) return Fail(kMissing, "K7Hlp_free:: data not found");
  if (data->dataType != K7Hlp_dataNone && !KnownDataType(data->dataType))
    return Fail(kStepFailed, "K7Hlp_free:: unknown data type...");
  ReleaseSamples(*data);
  if (data->headerType != K7Hlp_headerNone && !KnownHeaderType(data->headerType))
    return Fail(kStepFailed, "K7Hlp_free:: unknown header data type...");
  ReleaseHeader(*data);
  ResetParams(*data);
  return kOk;
}

void ResetIfUsed(K7Hlp_Data& data) {
  if (data.dataType == K7Hlp_dataNone) return;
  FreeRecord(&data);
  AllocRecord(&data);
}

void CopyMeta(const K7Hlp_Data& from, K7Hlp_Data& to) {
  if (to.headerSize != 0 && to.headerType != K7Hlp_headerNone) ReleaseHeader(to);
  to.header = nullptr;
  to.headerType = from.headerType;
  to.headerSize = 0;
  if (from.headerSize != 0 && from.header) {
    to.header = new uint8_t[from.headerSize];
    std::memcpy(to.header, from.header, from.headerSize);
    to.headerSize = from.headerSize;
  }
  for (int i = 0; i < K7Hlp_paramCount; ++i) to.param[i] = from.param[i];
  to.unit = from.unit;
}

int32_t ParamValue(const K7Hlp_Data& data, const char* name) {
  for (const K7Hlp_Param& p : data.param)
    if (p.name && std::strcmp(p.name, name) == 0) return p.value;
  return -1;
}

bool CheckedProduct(std::initializer_list<uint64_t> factors, uint64_t limit, uint64_t* product) {
  uint64_t result = 1;
  for (uint64_t f : factors)
    if (__builtin_mul_overflow(result, f, &result)) return false;
  *product = result;
  return result <= limit;
}

float* GiveFloatSamples(K7Hlp_Data& data, uint32_t w, uint32_t h, uint32_t d2, uint32_t d3, size_t count) {
  return AdoptFloatSamples(data, w, h, d2, d3, std::unique_ptr<float[]>(count ? new float[count]() : nullptr), count);
}

float* AdoptFloatSamples(K7Hlp_Data& data, uint32_t w, uint32_t h, uint32_t d2, uint32_t d3,
                         std::unique_ptr<float[]> samples, size_t count) {
  ReleaseSamples(data);
  data.dataType = K7Hlp_dataFloat;
  data.dim[0] = w;
  data.dim[1] = h;
  data.dim[2] = d2;
  data.dim[3] = d3;
  data.dataSize = static_cast<uint32_t>(count * sizeof(float));
  // An empty array is not held: records without samples carry no pointer.
  data.data = count ? samples.release() : nullptr;
  return static_cast<float*>(data.data);
}

namespace {

template <class T>
SampleBlock<T> TakeSamples(K7Hlp_Data& data, int32_t type) {
  SampleBlock<T> block;
  if (data.dataType != type || data.dataSize == 0) return block;
  block.values.reset(static_cast<T*>(data.data));
  block.count = data.dataSize / sizeof(T);
  data.data = nullptr;
  data.dataSize = 0;
  return block;
}

}  // namespace

FloatBlock TakeFloatSamples(K7Hlp_Data& data) { return TakeSamples<float>(data, K7Hlp_dataFloat); }

float* GiveUnclearedFloatSamples(K7Hlp_Data& data, uint32_t w, uint32_t h, uint32_t d2, uint32_t d3, size_t count,
                                 FloatBlock& reuse) {
  return AdoptFloatSamples(data, w, h, d2, d3, Uncleared(count, reuse), count);
}

namespace {

uint16_t* SetRawSamples(K7Hlp_Data& data, const uint32_t dim[4], uint16_t* samples, size_t count) {
  ReleaseSamples(data);
  data.dataType = K7Hlp_dataRaw16;
  for (int i = 0; i < 4; ++i) data.dim[i] = dim[i];
  data.dataSize = static_cast<uint32_t>(count * sizeof(uint16_t));
  data.data = samples;
  return samples;
}

}  // namespace

uint16_t* GiveRawSamples(K7Hlp_Data& data, const uint32_t dim[4], size_t count) {
  return SetRawSamples(data, dim, count ? new uint16_t[count]() : nullptr, count);
}

RawBlock TakeRawSamples(K7Hlp_Data& data) { return TakeSamples<uint16_t>(data, K7Hlp_dataRaw16); }

uint16_t* GiveUnclearedRawSamples(K7Hlp_Data& data, const uint32_t dim[4], size_t count, RawBlock& reuse) {
  return SetRawSamples(data, dim, Uncleared(count, reuse).release(), count);
}

uint8_t* GiveHeader(K7Hlp_Data& data, int32_t type, uint32_t size) {
  uint8_t* block = size ? new uint8_t[size]() : nullptr;
  if (data.headerSize != 0 && data.headerType != K7Hlp_headerNone) ReleaseHeader(data);
  data.header = block;
  data.headerType = type;
  data.headerSize = size;
  return block;
}

}  // namespace k7hlp

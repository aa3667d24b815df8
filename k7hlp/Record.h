// K7Hlp_Data life cycle and the helpers every operation shares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "K7Hlp.h"

namespace k7hlp {

// The six register names, in K7Hlp_Data::param order.
extern const char* const kParamNames[K7Hlp_paramCount];

int AllocRecord(K7Hlp_Data* data);
int FreeRecord(K7Hlp_Data* data);
// Every producing operation starts with this: a used record is released and
// prepared again so that it can be refilled for the next frame.
void ResetIfUsed(K7Hlp_Data& data);

// Header block, register values and unit of `from` into `to`; samples untouched.
void CopyMeta(const K7Hlp_Data& from, K7Hlp_Data& to);

// Value of the pair named `name`, or -1 when the record has no such pair.
int32_t ParamValue(const K7Hlp_Data& data, const char* name);

// Product of the factors, false when it does not fit in `limit`.
bool CheckedProduct(std::initializer_list<uint64_t> factors, uint64_t limit, uint64_t* product);

// Replaces the sample part by a zero-filled float array of dim (w, h, d2, d3)
// holding `count` floats (the byte size is count * 4).
float* GiveFloatSamples(K7Hlp_Data& data, uint32_t w, uint32_t h, uint32_t d2, uint32_t d3, size_t count);
// The same with samples the caller has filled completely (count floats): no
// clearing, no copy.
float* AdoptFloatSamples(K7Hlp_Data& data, uint32_t w, uint32_t h, uint32_t d2, uint32_t d3,
                         std::unique_ptr<float[]> samples, size_t count);
// A record's sample block taken out of it (the record keeps no samples), so
// that the next result of the same size can be written into it.
template <class T>
struct SampleBlock {
  std::unique_ptr<T[]> values;
  size_t count = 0;
};
using FloatBlock = SampleBlock<float>;
using RawBlock = SampleBlock<uint16_t>;
FloatBlock TakeFloatSamples(K7Hlp_Data& data);
RawBlock TakeRawSamples(K7Hlp_Data& data);
// `count` values, not cleared, for callers that write every one: the block of
// `reuse` when it has that size (no allocation, no fresh pages), else a new one.
template <class T>
std::unique_ptr<T[]> Uncleared(size_t count, SampleBlock<T>& reuse) {
  if (count == 0) return nullptr;
  if (count == reuse.count) return std::move(reuse.values);
  return std::unique_ptr<T[]>(new T[count]);
}
// Float samples of `count` values, not cleared (Uncleared), for callers that write every value.
float* GiveUnclearedFloatSamples(K7Hlp_Data& data, uint32_t w, uint32_t h, uint32_t d2, uint32_t d3, size_t count,
                                 FloatBlock& reuse);
uint16_t* GiveRawSamples(K7Hlp_Data& data, const uint32_t dim[4], size_t count);
// Raw samples of `count` words, not cleared (Uncleared), for callers that write every word.
uint16_t* GiveUnclearedRawSamples(K7Hlp_Data& data, const uint32_t dim[4], size_t count, RawBlock& reuse);
// Replaces the header block by a zero-filled one of `size` bytes.
uint8_t* GiveHeader(K7Hlp_Data& data, int32_t type, uint32_t size);

inline const float* FloatSamples(const K7Hlp_Data& data) { return static_cast<const float*>(data.data); }
inline const uint16_t* RawSamples(const K7Hlp_Data& data) { return static_cast<const uint16_t*>(data.data); }

}  // namespace k7hlp

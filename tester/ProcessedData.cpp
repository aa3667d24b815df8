#include "ProcessedData.h"

#include <cstring>

uint64_t ProcessedData::SpannedElements(int count) const {
  uint64_t elements = 1;
  for (int d = 0; d < count && d < 5; ++d) elements *= dims[d];
  return elements <= values.size() ? elements : 0;
}

ProcessedData CopyProcessedData(const _CamData& record, const _CamDataMeta& meta) {
  ProcessedData copy;
  if (record.data) {
    copy.values.resize(record.size / sizeof(uint16_t));
    std::memcpy(copy.values.data(), record.data, copy.values.size() * sizeof(uint16_t));
  }
  copy.numDim = meta.numDim;
  for (int d = 0; d < meta.numDim && d < 5; ++d) copy.dims[d] = meta.dimSz[d];
  return copy;
}

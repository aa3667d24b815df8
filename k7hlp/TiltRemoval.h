// The output pass of leveling: every pixel plus the plane terms of its column and row.
#pragma once

#include <cstddef>

namespace k7hlp {

// to[x + w*y] = from[x + w*y] + mx*x + my*y, summed in that order (column
// term first) by both kernels, so that they agree to the bit.
void RemoveTilt(const float* from, float* to, size_t w, size_t h, float mx, float my, bool avx2);

// The AVX2 rows: `columnTerms` holds mx*x for every column.
void AddTermsAvx2(const float* from, float* to, const float* columnTerms, size_t w, float rowTerm);

}  // namespace k7hlp

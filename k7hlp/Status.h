// Status codes of the K7Hlp_ functions.
#pragma once

namespace k7hlp {

constexpr int kOk = 0;
constexpr int kStepFailed = -1;
constexpr int kMissing = -2;
constexpr int kUnsupportedInput = -3;
constexpr int kUnsupportedKind = -4;
// The working storage or an output array could not be allocated.
constexpr int kOutOfMemory = -5;

// Surface extraction.
constexpr int kZeroEnergy = -10;       // internal: a pixel without amplitude energy
constexpr int kZeroDivisor = -11;      // centroid-with-phase divisor 0
// Table scaling.
constexpr int kZeroReference = -12;    // frmDur of the header is 0
constexpr int kEqualTableX = -13;      // two neighbouring table pairs with the same x
constexpr int kShortTable = -14;       // fewer than 3 pairs
// Counter scaling.
constexpr int kNoDirection = -22;      // the first five samples give no count direction
constexpr int kSampleCount = -23;      // fewer than 5 or more than 512 samples
constexpr int kScaleTooSmall = -24;    // count scale below 1000
constexpr int kOutsideCounter = -25;   // a surface value outside the sampled frames

}  // namespace k7hlp

// How orvexsrc frames travel as video caps. GStreamer has no float grey
// format, so float samples ride in BGRA, a standard 4-byte format every raw
// video element carries untouched, marked by the custom field "orvex-sample".
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <vector>

#include "CameraSession.h"

namespace orvexgst {

// Fixed-point units of the GRAY16_LE frames: 1/32 frame for surfaces (the
// camera's own surface word), 1/16 for amplitudes (its amplitude word).
constexpr float kSurfaceWordsPerFrame = 32.0f;
constexpr float kAmplitudeWordsPerUnit = 16.0f;
constexpr const char* kFloatField = "orvex-sample";
constexpr const char* kFloatSample = "F32LE";

float WordsPerUnit(Output output);
// Candidate caps for a shape, preferred first.
GstCaps* CapsFor(Output output, uint32_t width, uint32_t height, double rate);
// True when negotiated caps carry float samples.
bool CarriesFloats(const GstCaps* caps);
// Frame bytes in the negotiated form, rows stride bytes apart (GStreamer
// pads rows to 4 bytes); invalid samples (NaN) become 0.
std::vector<uint8_t> FrameBytes(const Image& image, Output output, bool floats, size_t stride);

}  // namespace orvexgst

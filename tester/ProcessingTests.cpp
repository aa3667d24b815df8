#include "ProcessingTests.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "CameraSystem.h"
#include "CsvExport.h"
#include "IntensityImage.h"
#include "PathMapping.h"
#include "Settings.h"
#include "TestEnv.h"

namespace {

constexpr int kProcessedAcquisitions = 10;
constexpr int kLoggedValues = 100;
constexpr uint8_t kDestinationSlot = 1;
constexpr uint32_t kDataModeA16Z16 = 5;
constexpr uint32_t kDataModeIntensity = 1;
constexpr int kOffsetAcquisition = 3;
constexpr int kFirstCorrectedAcquisition = 5;

std::string Numbered(const char* format, int n) {
  char name[128];
  std::snprintf(name, sizeof name, format, n);
  return name;
}

// Acquires, processes into the destination slot and copies the result out.
// Null when no processed record came back.
const _CamData* AcquireAndProcess(const TestEnv& env, QV_Handle handle, int n, ProcessedData& data) {
  int32_t result = QV_Acquire(handle);
  env.report.Log("(%i) QV_Acquire %i", n, result);
  _CamData* processed = QV_ProcessCamData(handle, kDestinationSlot, 0, nullptr);
  _CamDataMeta meta{};
  _CamData* record = QV_GetCamData(handle, kDestinationSlot, 0, &meta);
  // The platform's %p already writes "0x"; the address is written as the
  // original showed it, 16 upper-case digits behind the one "0x".
  env.report.Log("(%i) QV_ProcessCamData 0x%016" PRIXPTR, n, reinterpret_cast<uintptr_t>(processed));
  if (record) data = CopyProcessedData(*record, meta);
  return record;
}

void LogShape(const TestEnv& env, const _CamData& record, const ProcessedData& data) {
  env.report.Log("Size after processing : %d bytes.", static_cast<int>(record.size));
  env.report.Log("Meta.numDim = %d", data.numDim);
  for (int d = 0; d < data.numDim && d < 5; ++d) env.report.Log("Meta.dimSz[%d] = %d", d, static_cast<int>(data.dims[d]));
}

void LogFirstValues(const TestEnv& env, const ProcessedData& data) {
  for (size_t i = 0; i < kLoggedValues && i < data.values.size(); ++i)
    env.report.Log("Data[%d] = %d", static_cast<int>(i), data.values[i]);
}

void WriteProcessingCsv(const TestEnv& env, const ProcessedData& data, int n) {
  std::FILE* amplitude = OpenMappedOutput(Numbered("c:\\TAVRIN\\data_%d_a.csv", n));
  std::FILE* surface = OpenMappedOutput(Numbered("c:\\TAVRIN\\data_%d_z_.csv", n));
  if (!WriteComponentCsv(data, amplitude, surface))
    env.report.Log("(%i) shape larger than the data; no CSV written", n);
  if (amplitude) std::fclose(amplitude);
  if (surface) std::fclose(surface);
}

void WriteIntensityCsv(const IntensityImage& image, int n) {
  std::FILE* out = OpenMappedOutput(Numbered("c:\\TAVRIN\\data\\data_%d_i.csv", n));
  if (!out) return;
  WriteImageCsv(image.values, kIntensitySide, out);
  std::fclose(out);
}

void LogDims(const TestEnv& env, const ProcessedData& data) {
  for (int d = 0; d < data.numDim && d < 5; ++d) env.report.Log("Dim %d : %d", d, static_cast<int>(data.dims[d]));
}

IntensityImage IntensityOf(const TestEnv& env, const ProcessedData& data, bool& clipNoticeGiven) {
  IntensityImage image = BuildIntensityImage(data);
  if (!image.valid) env.report.Log("shape larger than the data; image left empty");
  if (image.clipped && !clipNoticeGiven) {
    env.report.Log("image of %u x %u pixels: only its first 300 x 300 are used", data.dims[1], data.dims[2]);
    clipNoticeGiven = true;
  }
  return image;
}

}  // namespace

void TestProcessing(const TestEnv& env) {
  CameraSystem camera;
  if (!OpenSucceeded(camera.Open(QV_OPEN_USB, kTestSystem))) return;
  QV_Handle handle = camera.Handle();
  ApplySettings(handle, ProcessingSettings(), env.Out());
  QV_AllocCamData(handle, kDestinationSlot, kDataModeA16Z16, QV_CD_CROSS, nullptr, 0);
  for (int n = 0; n < kProcessedAcquisitions; ++n) {
    ProcessedData data;
    const _CamData* record = AcquireAndProcess(env, handle, n, data);
    if (!record) continue;
    LogShape(env, *record, data);
    LogFirstValues(env, data);
    WriteProcessingCsv(env, data, n);
  }
  camera.Close();
}

void TestIntensity(const TestEnv& env) {
  CameraSystem camera;
  if (!OpenSucceeded(camera.Open(QV_OPEN_USB, kTestSystem))) return;
  QV_Handle handle = camera.Handle();
  ApplySettings(handle, IntensitySettings(), env.Out());
  QV_AllocCamData(handle, kDestinationSlot, kDataModeIntensity, 0, nullptr, 0);
  env.Print("Cover the camera to generate offset fix pattern and press enter to continue...\n");
  env.input.WaitForEnter();
  IntensityImage offset;
  bool clipNoticeGiven = false;
  for (int n = 0; n < kProcessedAcquisitions; ++n) {
    ProcessedData data;
    if (!AcquireAndProcess(env, handle, n, data)) continue;
    LogDims(env, data);
    IntensityImage image = IntensityOf(env, data, clipNoticeGiven);
    if (n >= kFirstCorrectedAcquisition) SubtractOffset(image, offset);
    if (n == kOffsetAcquisition) {
      offset = image;
      env.Print("Remove the cover and press enter to continue...\n");
      env.input.WaitForEnter();
    }
    if (n > kOffsetAcquisition) WriteIntensityCsv(image, n);
  }
  camera.Close();
}

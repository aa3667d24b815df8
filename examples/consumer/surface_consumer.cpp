// Acquires one A16Z16 frame and extracts its surface with libK7Hlp.
#include <cstdio>
#include <cstring>

#include <K7Hlp.h>

int main(int argc, char** argv) {
  const char* openString = argc > 1 ? argv[1] : "sys=k7cam_tq20";
  QV_Handle handle = nullptr;
  if (QV_Open(&handle, 0, openString) != 1) return 2;
  _RegDesc* desc = QV_GetRegDesc(handle);
  for (uint16_t i = 0; desc && i < desc->mapCount; ++i)
    if (desc->maps[i].id && std::strcmp(desc->maps[i].id, "CamMode") == 0) QV_SetMap(handle, &desc->maps[i], 4);
  int status = 3;
  _CamDataMeta meta{};
  if (QV_Acquire(handle) > 0 && QV_AllocCamData(handle, 1, 5, 0, nullptr, 0) &&
      QV_ProcessCamData(handle, 1, 0, nullptr)) {
    _CamData* raw = QV_GetCamData(handle, 0, 0, nullptr);
    _CamData* processed = QV_GetCamData(handle, 1, 0, &meta);
    K7Hlp_Data rawData{}, surface{};
    K7Hlp_alloc(&rawData);
    K7Hlp_alloc(&surface);
    if (K7Hlp_assignRawData(handle, raw->data, &meta, processed, &rawData) == 0 &&
        K7Hlp_extractSurface(&rawData, K7Hlp_extractCentroid, nullptr, &surface) == 0) {
      const float* z = static_cast<const float*>(surface.data);
      std::printf("surface %ux%u, depth at (0,0) %.4f frames\n", surface.dim[0], surface.dim[1], z[0]);
      status = 0;
    } else {
      std::printf("K7Hlp failed: %s\n", K7Hlp_getLastError());
    }
    K7Hlp_free(&surface);
    K7Hlp_free(&rawData);
  }
  QV_Close(handle);
  return status;
}

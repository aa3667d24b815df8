/* Opens a system, reads one map and acquires once: the smallest useful client. */
#include <stdio.h>
#include <string.h>

#include <Orvex.h>

int main(int argc, char** argv) {
  const char* openString = argc > 1 ? argv[1] : "sys=k7cam_tq20";
  uint16_t ver[4];
  if (QV_GetVersion(ver) != 0) return 1;
  printf("libOrvex %u.%u.%u.%u\n", ver[3], ver[2], ver[1], ver[0]);

  QV_Handle handle = NULL;
  if (QV_Open(&handle, 0, openString) != 1) {
    fprintf(stderr, "cannot open %s\n", openString);
    return 2;
  }
  _RegDesc* desc = QV_GetRegDesc(handle);
  for (uint16_t i = 0; desc && i < desc->mapCount; ++i) {
    if (desc->maps[i].id && strcmp(desc->maps[i].id, "CamMode") == 0)
      printf("CamMode = %u\n", QV_GetMap(handle, &desc->maps[i]));
  }
  int32_t bytes = QV_Acquire(handle);
  printf("acquired %d bytes\n", bytes);
  QV_Close(handle);
  return bytes > 0 ? 0 : 3;
}

/* A stand-in for the LabVIEW run-time's memory manager.
 *
 * Handles are pointers to a master pointer that points to the block; a block
 * moves on resize while the handle stays the same. Arrays are blocks of one
 * int32 extent per dimension followed by the elements (8-byte elements start
 * 8-byte aligned on 64-bit platforms). */
#ifndef LVRT_STANDIN_H
#define LVRT_STANDIN_H

#include <stddef.h>
#include <stdint.h>

#define LVRT_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t MgErr;
typedef void** UHandle;

enum { LVRT_NO_ERR = 0, LVRT_ARG_ERR = 1, LVRT_FULL_ERR = 2 };

/* totalNewSize counts elements. A null *dataHP gets a new handle. */
LVRT_API MgErr NumericArrayResize(int32_t typeCode, int32_t numDims, UHandle* dataHP, size_t totalNewSize);
/* Block size in bytes, extents included; 0 for a null handle. */
LVRT_API int32_t DSGetHandleSize(UHandle handle);
LVRT_API UHandle DSNewHandle(size_t size);
LVRT_API MgErr DSDisposeHandle(UHandle handle);
/* Present so that a process that loaded this run-time globally is taken for a LabVIEW process. */
LVRT_API UHandle AZNewHandle(size_t size);

/* Test switch: the next `successes` resizes succeed, every later one fails
 * with LVRT_FULL_ERR; a negative value lets all succeed again. */
LVRT_API void LvrtStandin_FailResizesAfter(int32_t successes);
/* Test switch: DSGetHandleSize reports `bytes` less than the block holds
 * (0 for the true size), as a run-time with a smaller block would. */
LVRT_API void LvrtStandin_ShortenHandleSizes(int32_t bytes);
/* Number of NumericArrayResize calls since the last reset. */
LVRT_API int32_t LvrtStandin_ResizeCount(void);
LVRT_API void LvrtStandin_ResetResizeCount(void);

#ifdef __cplusplus
}
#endif

#endif /* LVRT_STANDIN_H */

/* libOrvex for LabVIEW's call-library interface.
 *
 * Systems are opened and closed with QV_Open and QV_Close. After LV_Init every
 * text message of the library goes into a one-message store instead of a
 * message box; LV_ErrHandling moves it into a LabVIEW error cluster.
 *
 * Arrays are LabVIEW array handles passed by value: a pointer to the pointer
 * of a block of int32 extents (outermost first) followed by the elements. The
 * library resizes them with the LabVIEW run-time's NumericArrayResize, found
 * in the module named by SetLVRTModule, else in the calling process, else in
 * the LabVIEW run-time library. Without a run-time the calls report and fail.
 */
#ifndef ORVEX_LABVIEW_H
#define ORVEX_LABVIEW_H

#include "Orvex.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t LV_MgErr;
typedef void** LV_Handle;

/* LabVIEW numeric type codes of the arrays filled here. */
enum LV_TypeCode { LV_TYPE_I8 = 1, LV_TYPE_U8 = 5, LV_TYPE_U16 = 6, LV_TYPE_U32 = 7, LV_TYPE_F32 = 9 };

/* A LabVIEW string: count, then the characters. */
typedef struct LV_String {
  int32_t cnt;
  char str[1];
} LV_String;
typedef LV_String** LV_StringHandle;

typedef struct LV_ErrorCluster {
  uint8_t status;
  int32_t code;
  LV_StringHandle source;
} LV_ErrorCluster;

/* Filled by LV_Acquire. */
typedef struct LV_AcquireInfo {
  uint32_t numDim;
  uint32_t typeCode;
  uint32_t dataSize;   /* bytes */
  uint32_t handleSize; /* bytes of the data array's block */
} LV_AcquireInfo;

typedef struct LV_TestRequest {
  uint32_t numDim; /* 1 to 4 */
  uint32_t typeCode;
} LV_TestRequest;

/* Closes all systems, empties the message store and routes messages into it. 0. */
QV_API int32_t LV_Init(void);
/* Moves the stored message of this system (or of none) into the cluster:
 * status true, code 5000, source "prefix:\n" + text + "\n". 0, or the
 * run-time's error code when the source string cannot be resized. */
QV_API int32_t LV_ErrHandling(LV_ErrorCluster* error, QV_Handle handle, const char* prefix);
/* name=value pairs separated by blanks, tabs or newlines; the number of values
 * set, -2 on a value that is no integer, -1 for an invalid handle. */
QV_API int32_t LV_SetAttrib(QV_Handle handle, int32_t selector, const char* attributes);
QV_API int32_t LV_GetAttrib(QV_Handle handle, int32_t selector, const char* name);
/* One entry per map: ids, comments, modes, groups, levels, minima, maxima,
 * cached values, camera modes. The number of maps, or -1. */
QV_API int32_t LV_GetParamList(QV_Handle handle, LV_Handle ids, LV_Handle comments, LV_Handle modes,
                               LV_Handle groups, LV_Handle levels, LV_Handle minima, LV_Handle maxima,
                               LV_Handle values, LV_Handle camModes);
/* Raw output when flags hold both 4 and 8, else processed; the result of QV_Acquire, or -1. */
QV_API int32_t LV_Acquire(QV_Handle handle, uint32_t mode, uint16_t flags, LV_Handle data, LV_Handle header,
                          LV_AcquireInfo* info);
/* Resizes the array to 8, 7x8, 6x7x8 or 5x6x7x8 elements; the resize result. */
QV_API int32_t LV_Test(const LV_TestRequest* request, LV_Handle array);
/* The module (a dlopen handle) that provides NumericArrayResize and
 * DSGetHandleSize; NULL returns to the automatic search. */
QV_API void SetLVRTModule(void* module);

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_LABVIEW_H */

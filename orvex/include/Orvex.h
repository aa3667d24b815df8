/* libOrvex: host interface of the lock-in depth camera.
 *
 * Plain C functions over an opaque system handle. Every function that takes a
 * handle first checks it against the list of open systems; an unknown handle is
 * reported once ("Illegal Handle!", kind QV_MSG_TEXT, value 0x503) and the
 * function returns its error value (-1, NULL, 0 or 0xFF as noted).
 *
 * Records handed out (_SysDesc, _RegDesc, _CamData) are single blocks with their
 * texts inside; the library owns them unless noted otherwise.
 *
 * Threads: any number of systems may be used at the same time, each from its
 * own thread; one system is used by one thread at a time (the application
 * serialises calls on the same handle, QV_Close included). QV_Open,
 * QV_GetSerials, QV_SetCallback and QV_GetVersion may run in any thread at any
 * time (LV_Init closes every system, so it belongs before the camera threads);
 * device searches are serialised inside the library, the transfers of
 * different systems run in parallel. A handle closed by one thread
 * is answered as an illegal handle in every other. The callback runs on the
 * thread whose call caused the report, so it may run on several threads at
 * once; it must return quickly, since that thread's camera waits for it.
 */
#ifndef ORVEX_H
#define ORVEX_H

#include <stdint.h>
#include <stddef.h>

/* Version of this header and of the library built with it. */
#define ORVEX_VERSION_MAJOR 1
#define ORVEX_VERSION_MINOR 7
#define ORVEX_VERSION_PATCH 5
#define ORVEX_VERSION_BUILD 252
#define ORVEX_VERSION_STRING "1.7.5.252"

#if defined(_WIN32)
#define QV_API __declspec(dllexport)
#else
#define QV_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Handle, callback, messages ------------------------------------------ */

typedef struct CPelSys* QV_Handle;

/* One process-wide callback receives every report of the library.
 * text may be NULL; the return value is ignored by the library. */
typedef int32_t (*QV_Callback)(QV_Handle handle, uint32_t kind, uint32_t value, const char* text);

enum QV_MessageKind {
  QV_MSG_TEXT = 1,       /* value = category * 256 + level */
  QV_MSG_STREAM = 2,     /* value = (acquisition counter & 0xFFFF) * 65536 + event */
  QV_MSG_ACQ_BEGIN = 16, /* before the acquisition buffer is rebuilt */
  QV_MSG_ACQ_END = 17,   /* after the rebuild, before the data are read */
  QV_MSG_PROGRESS = 32   /* value = position * 65536 + action */
};

enum QV_MessageLevel { QV_LEVEL_DEBUG = 0, QV_LEVEL_INFO = 1, QV_LEVEL_WARNING = 2, QV_LEVEL_ERROR = 3 };

enum QV_MessageCategory {
  QV_CAT_TIMING = 0,
  QV_CAT_LABVIEW = 1,
  QV_CAT_OPEN = 3,     /* opening, USB transport, downloads, file loading */
  QV_CAT_PROTOCOL = 4, /* protocol and stream-format checks */
  QV_CAT_HANDLE = 5,
  QV_CAT_DATA = 7
};

#define QV_MSG_VALUE(category, level) ((uint32_t)(((category) << 8) | (level)))

enum QV_StreamEvent { QV_STREAM_EOF = 1, QV_STREAM_ACQ_READ = 2 };
enum QV_ProgressAction { QV_PROGRESS_UPDATE = 0, QV_PROGRESS_CLOSE = 1 };

/* Open modes of QV_Open. */
enum QV_OpenMode { QV_OPEN_USB = 0, QV_OPEN_STREAM = 1, QV_OPEN_USB_NO_FPGA = 2 };

/* ---- System description (SysDesc.xml) ------------------------------------- */

typedef struct _FpgaDesc {
  const char* id;
  const char* regDesc;
  const char* fpgaCfg;
  const char* verStr;
  const char* variant;
  int16_t numRegs;
  int16_t verReg;
  int32_t verRegBCD;
  uint32_t feature;
  int16_t frmMrk;
  int16_t maxFrm;
  int16_t maxFrmModeA;
  int16_t mhtHdrSz;
  int16_t zFrmBlkSz;
} _FpgaDesc;

typedef struct _SensorDesc {
  const char* id;
  const char* verStr;
  float pixPitch[2]; /* x, y */
  int16_t size[2];   /* x, y */
  uint8_t orientation; /* 0 "xy", 1 "yx" */
} _SensorDesc;

typedef struct _UsbDesc {
  const char* id;
  const char* fx2FW;
  const char* variant;
  const char* verStr;
  int16_t productID;
  int16_t vendorID;
  uint32_t feature;
  int32_t protocol;
  int32_t verFx2;
  uint8_t config;
  uint8_t iface;
  uint8_t epCmdRead;
  uint8_t epCmdWrite;
  uint8_t epRead;
  uint8_t epWrite;
  int16_t dataBlockSize;
} _UsbDesc;

typedef struct _EthDesc {
  const char* id;
} _EthDesc;

typedef struct _MotionDesc {
  const char* id;
} _MotionDesc;

typedef struct _SysDesc {
  const char* sysId;
  const char* const* fpgaFeatureNames; /* 23 names, bit = index */
  const char* const* usbFeatureNames;  /* 5 names, bit = index */
  _FpgaDesc* fpga;
  _SensorDesc* sensor;
  _UsbDesc* usb;
  _EthDesc* eth;
  _MotionDesc* motion;
} _SysDesc;

/* ---- Register description ------------------------------------------------- */

typedef struct _Reg {
  uint8_t num;
  const char* id;
  const char* cmt;
} _Reg;

typedef struct regEntry {
  int8_t shift;
  uint8_t mask;
  _Reg* reg;
  struct regEntry* next;
} regEntry;

typedef struct enumEntry {
  int32_t value;
  const char* name;
  struct enumEntry* next;
} enumEntry;

/* Map mode flags (also the register attribute bits). */
enum QV_MapMode { QV_MAP_READ_THROUGH = 1, QV_MAP_R = 2, QV_MAP_RELEASES_ACQ = 4, QV_MAP_H = 8 };

typedef struct _Map {
  const char* id;
  const char* cmt;
  uint8_t mode;
  regEntry* regEntries;
  enumEntry* enumEntries;
  const char* group;
  uint8_t level;
  uint32_t min;
  uint32_t max;
  uint32_t cachedValue;
  uint8_t cammode;
} _Map;

typedef struct _RegDesc {
  uint16_t regCount;
  _Reg* regs;
  uint16_t mapCount;
  _Map* maps;
} _RegDesc;

/* ---- Camera data ---------------------------------------------------------- */

enum QV_CamDataFlags {
  QV_CD_EXTERNAL = 2,    /* the record does not own its data */
  QV_CD_USB_PADDED = 4,  /* size padded to the next 512 (a multiple grows by 512) */
  QV_CD_HEADER = 8,      /* data begin with the 2048-byte CamDataHdr */
  QV_CD_COMPACT = 16,    /* data mode 6: compact raw layout */
  QV_CD_CROSS = 32       /* data mode 5: 281 x 293 with the centre cross inserted */
};

typedef struct _CamData {
  uint32_t size;
  uint32_t mode;
  uint16_t flags;
  uint16_t refCount;
  void* data;
} _CamData;

typedef struct _CamDataMeta {
  uint8_t numDim;
  uint32_t dimSz[5]; /* innermost first */
} _CamDataMeta;

#pragma pack(push, 1)
typedef struct CamDataHdr {
  uint16_t dummy0;
  uint16_t syncWord;
  uint16_t dummy1[14];
  uint16_t zTags[512];
  uint16_t dummy2[480];
  uint16_t tmpOptics;
  uint16_t tmpLaser;
  uint32_t frmDur;
  uint64_t scanDur;
  uint64_t timeStamp;
  uint16_t nFrames;
  uint16_t dummy3;
  uint32_t nVolume;
} CamDataHdr;
#pragma pack(pop)

/* Acquisition timing record, all in nanoseconds. */
typedef struct QV_AcquTiming {
  uint32_t demodPeriod;
  uint32_t calDuration;
  uint32_t framePeriod;
} QV_AcquTiming;

/* Stream object descriptor for QV_FileStreamCmd. */
typedef struct QV_StreamObject {
  uint32_t type;
  uint32_t size;
  void* data;
} QV_StreamObject;

/* Internal function codes of QV_InternalFunc. */
enum QV_InternalFuncCode {
  IF_WriteFX2_RAM = 0,
  IF_ReadFX2_EEPROM = 1,
  IF_WriteFX2_EEPROM = 2,
  IF_WriteSerial = 3,
  IF_ReadSerial = 4,
  IF_BulkRead = 5,
  IF_BulkWrite = 6,
  /* Codes 1 to 4 on a chosen camera: the first argument is a selection text
   * read like an open string ("serial=K7-0815"); without a serial it names the
   * only connected camera. They return -1 when no camera or more than one
   * fits (the reason is reported), and the serial write returns -1 when it
   * failed. The further arguments are those of codes 1 to 4. */
  IF_ReadFX2_EEPROM_Selected = 16,
  IF_WriteFX2_EEPROM_Selected = 17,
  IF_WriteSerial_Selected = 18,
  IF_ReadSerial_Selected = 19
};

/* ---- API frame ------------------------------------------------------------ */

/* Installs cb for the whole process and returns the previous callback.
 * A NULL cb installs the default callback instead (the library never calls NULL). */
QV_API QV_Callback QV_SetCallback(QV_Callback cb);
QV_API QV_Callback QV_GetDefaultCallback(void);
/* ver[0] = fourth, ver[1] = third, ver[2] = minor, ver[3] = major. 0, or -1..-4. */
QV_API int32_t QV_GetVersion(uint16_t* ver);
/* Fills 17-byte entries, one per connected camera; returns their number. */
QV_API uint32_t QV_GetSerials(char* buffer);
/* One connected camera, as QV_GetCameras describes it. */
typedef struct QV_CameraEntry {
  char serial[17];   /* NUL-terminated; empty when the device names none */
  uint8_t firmware;  /* 1: runs the camera firmware, 0: bare controller, firmware not loaded */
  uint16_t vendorId;
  uint16_t productId;
} QV_CameraEntry;
/* Fills up to max entries and returns the number of connected cameras. */
QV_API uint32_t QV_GetCameras(QV_CameraEntry* entries, uint32_t max);
/* The ids of the systems the data folder's system description offers, one per
 * line, NUL-terminated. Returns the bytes needed (with the NUL); the buffer is
 * filled only when size is at least that. 1 when the description cannot be
 * read. */
QV_API uint32_t QV_GetSystemIds(char* buffer, uint32_t size);
/* 1 when a system was opened; *handle is always written (NULL on failure). */
QV_API int32_t QV_Open(QV_Handle* handle, uint32_t mode, const char* openString);
QV_API int32_t QV_Close(QV_Handle handle);
QV_API int32_t QV_SetTimeout(QV_Handle handle, uint32_t milliseconds);
QV_API int32_t QV_SetCamInfo(QV_Handle handle, const void* info60);
QV_API int32_t QV_GetCamInfo(QV_Handle handle, void* info60);
QV_API int32_t QV_CleanUSB(QV_Handle handle);
QV_API int32_t QV_OpenFile(const char* fileName);
QV_API int32_t QV_CheckForNewDllVersion(void);

/* ---- Descriptions and register access -------------------------------------- */

QV_API _SysDesc* QV_GetSysDesc(QV_Handle handle);
QV_API _RegDesc* QV_GetRegDesc(QV_Handle handle);
QV_API int32_t QV_SetReg(QV_Handle handle, uint8_t address, uint8_t value);
QV_API uint8_t QV_GetReg(QV_Handle handle, uint8_t address);
QV_API int32_t QV_SetMap(QV_Handle handle, _Map* map, uint32_t value);
QV_API uint32_t QV_GetMap(QV_Handle handle, _Map* map);

/* ---- Acquisition and data -------------------------------------------------- */

QV_API int32_t QV_Acquire(QV_Handle handle);
QV_API _CamData* QV_AllocCamData(QV_Handle handle, uint8_t slot, uint32_t mode, uint16_t flags,
                                 void* buffer, uint32_t bufferSize);
QV_API _CamData* QV_GetCamData(QV_Handle handle, uint8_t slot, int8_t addRef, _CamDataMeta* meta);
QV_API int32_t QV_SetCamData(QV_Handle handle, uint8_t slot, _CamData* record);
QV_API _CamData* QV_FreeCamData(QV_Handle handle, uint32_t slot);
QV_API int32_t QV_Read(QV_Handle handle, uint16_t* buffer, uint32_t size, int32_t flags);
QV_API int32_t QV_Write(QV_Handle handle, ...);
QV_API _CamData* QV_ProcessCamData(QV_Handle handle, uint8_t slot, uint32_t command, void* argument);
/* Threads QV_ProcessCamData may use for one record of 8 MB or more (large
 * frame stacks, wide windows): started and joined within the call, none kept.
 * 0 and 1: the calling thread alone (the default); at most 16. Results do not
 * depend on it. Returns the previous setting, -1 for an unknown handle. */
QV_API int32_t QV_SetProcessingThreads(QV_Handle handle, uint32_t threads);
QV_API int32_t QV_UpdateAcquTiming(QV_Handle handle, QV_AcquTiming* timing, uint16_t what);

/* ---- Stream files ---------------------------------------------------------- */

QV_API int32_t QV_CreateStreamFile(QV_Handle handle, const char* path);
QV_API int32_t QV_FileStreamCmd(QV_Handle handle, uint32_t command, uint32_t argument, void* parameter);

/* ---- Dialog and internal functions ----------------------------------------- */

QV_API int32_t QV_OpenDlgRegDesc(QV_Handle handle, void* parentWindow);
/* No handle check; see QV_InternalFuncCode for the arguments of each code. */
QV_API int32_t QV_InternalFunc(int32_t code, ...);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(CamDataHdr) == 2048, "frame header is 2048 bytes on the wire");
#endif

#endif /* ORVEX_H */
#include "OrvexLabVIEW.h"

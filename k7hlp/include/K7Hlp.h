// libK7Hlp: surfaces, amplitude and phase images from camera acquisitions.
//
// Every function reads and writes K7Hlp_Data records. The caller owns the
// record itself (zero-filled before its first K7Hlp_alloc); the sample array
// and the header block it points to belong to the library until K7Hlp_free.
// Status results: 0 success, -1 a named value or step failed, -2 a required
// record or argument is missing, -3/-4 the input is of an unsupported kind,
// further negative codes per function (see docs/k7hlp.md). Every failure that
// has a message leaves it in K7Hlp_getLastError().
//
// The functions have C++ linkage: K7Hlp_extractSurface is overloaded.
#ifndef K7HLP_H
#define K7HLP_H

#include <cstdint>

#include "Orvex.h"

#if defined(_WIN32)
#define K7HLP_API __declspec(dllexport)
#else
#define K7HLP_API __attribute__((visibility("default")))
#endif

// Kind of the sample array (dataType).
enum K7Hlp_DataType : int32_t { K7Hlp_dataNone = 0, K7Hlp_dataRaw16 = 1, K7Hlp_dataFloat = 2 };
// Kind of the header block (headerType).
enum K7Hlp_HeaderType : int32_t { K7Hlp_headerNone = 0, K7Hlp_headerCamera = 1, K7Hlp_headerExtended = 2 };
// What float samples mean (unit).
enum K7Hlp_Unit : int32_t {
  K7Hlp_unitRaw = 0,
  K7Hlp_unitFrames = 2,      // surface position in frame units
  K7Hlp_unitUnscalable = 3,  // a unit that scaling does not handle
  K7Hlp_unitScaled = 4,      // surface in the units of the scaling table
  K7Hlp_unitAmplitude = 5,
  K7Hlp_unitPhase = 6        // radians
};

// One camera register value at the time of the acquisition; value < 0: not read.
struct K7Hlp_Param {
  const char* name;
  int32_t value;
};

// Order of the six register values in K7Hlp_Data::param.
enum K7Hlp_ParamIndex : int32_t {
  K7Hlp_paramCamMode = 0,
  K7Hlp_paramSensNFrames = 1,
  K7Hlp_paramSensNavM2 = 2,
  K7Hlp_paramSensTqp = 3,
  K7Hlp_paramSensDeltaExp = 4,
  K7Hlp_paramBSEnable = 5,
  K7Hlp_paramCount = 6
};

struct K7Hlp_Data {
  int32_t dataType;     // K7Hlp_DataType
  uint32_t dataSize;    // bytes in data
  uint32_t dim[4];      // innermost first: width, height, then frames/planes, components
  void* data;           // uint16_t samples (dataType 1) or floats (dataType 2)
  int32_t headerType;   // K7Hlp_HeaderType
  uint32_t headerSize;  // 2048 (camera header) or 4096 (extended header)
  void* header;
  K7Hlp_Param param[K7Hlp_paramCount];
  int32_t unit;         // K7Hlp_Unit
};

enum _K7Hlp_extractMode : int32_t {
  K7Hlp_extractThreshold = 0,     // where the amplitude falls below a threshold
  K7Hlp_extractCentroid = 1,      // centroid of the squared amplitude
  K7Hlp_extractCentroidPhase = 2  // centroid plus a phase-dependent correction
};

enum K7Hlp_scaleMode : int32_t {
  K7Hlp_scaleZTagFile = 0,   // source: path of a zTag file (char*)
  K7Hlp_scaleCounter = 1,    // source: uint32_t* count scale (>= 1000)
  K7Hlp_scaleZTagHandle = 2  // source: zTagHdl* from K7Hlp_zTagFileLoad
};

// A loaded zTag table.
struct zTagHdl;

// Library version: version[0] least significant ... version[3] most significant.
K7HLP_API int K7Hlp_getVersion(unsigned short* const version);
K7HLP_API char* K7Hlp_getLastError();

K7HLP_API int K7Hlp_alloc(K7Hlp_Data* data);
K7HLP_API int K7Hlp_free(K7Hlp_Data* data);

// Fills rawOut from one processed acquisition of the open system sys (the
// libOrvex handle); camHeader is the 2048-byte frame header of the raw record.
K7HLP_API int K7Hlp_assignRawData(CPelSys* sys, void* camHeader, _CamDataMeta* camMeta, _CamData* camData,
                                  K7Hlp_Data* rawOut);

// threshold points to a float in K7Hlp_extractThreshold mode and is not read otherwise.
K7HLP_API int K7Hlp_extractSurface(K7Hlp_Data* dataIn, _K7Hlp_extractMode mode, void* threshold,
                                   K7Hlp_Data* extractedSurface);
K7HLP_API int K7Hlp_extractSurface(K7Hlp_Data* dataIn, _K7Hlp_extractMode mode, void* threshold,
                                   K7Hlp_Data* extractedSurface, K7Hlp_Data* amplitude);
K7HLP_API int K7Hlp_extractSurface(K7Hlp_Data* dataIn, _K7Hlp_extractMode mode, void* threshold,
                                   K7Hlp_Data* extractedSurface, K7Hlp_Data* amplitude, K7Hlp_Data* phase);

// Input and output must be different records.
K7HLP_API int K7Hlp_flipX(K7Hlp_Data* inputData, K7Hlp_Data* outputData);
K7HLP_API int K7Hlp_flipY(K7Hlp_Data* inputData, K7Hlp_Data* outputData);
// mode must be 0; reserved is not read. The image must be wider and higher than 50 pixels.
K7HLP_API int K7Hlp_leveling(K7Hlp_Data* inputData, K7Hlp_Data* outputData, int mode, void* reserved);
// damp 1 divides the three centre columns of the result by 1.3.
K7HLP_API int K7Hlp_interpolateCross(K7Hlp_Data* frameSurface, K7Hlp_Data* outputData, int damp);
K7HLP_API int K7Hlp_scaleSurface(K7Hlp_Data* frameSurface, K7Hlp_Data* scaledSurface, K7Hlp_scaleMode mode,
                                 void* source);

K7HLP_API int K7Hlp_zTagFileLoad(zTagHdl** handle, char* fileName);
K7HLP_API void K7Hlp_zTagFileUnload(zTagHdl* handle);

#endif  // K7HLP_H

#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "Orvex.h"

struct CPelSys;
class CQVFileIO;

namespace orvex {

// Records handed to applications are single malloc'ed blocks.
struct FreeBlock {
  void operator()(void* block) const { std::free(block); }
};
template <class T>
using BlockPtr = std::unique_ptr<T, FreeBlock>;

class CUsbInterface;
class CDlgRegDesc;

enum InterfaceKind : uint32_t { kNotConnected = 0, kUsbDevice = 1, kReplayStream = 3 };

// Register attribute bits (the OR of the mode flags of the maps on a register).
constexpr uint8_t kAttrReadThrough = 1;
constexpr uint8_t kAttrReleasesAcq = 4;

constexpr size_t kCamInfoSize = 60;

}  // namespace orvex

// The camera side of an open system.
class CPelCam {
 public:
  // Both defined in api/CameraParts.cpp: they need the types of all parts.
  explicit CPelCam(CPelSys* owner);
  ~CPelCam();
  CPelCam(const CPelCam&) = delete;
  CPelCam& operator=(const CPelCam&) = delete;

  // Sizes the register image and attributes to n bytes, all zero.
  void SizeRegisterImage(size_t n);
  // ORs the mode bits of every map into the attributes of the registers it
  // has entries on (entries outside the image are skipped).
  void MarkRegisterAttributes();
  size_t RegisterCount() const { return regImage.size(); }
  const _SysDesc* SysDesc() const;
  QV_Handle Handle() const { return owner; }

  // Register protocol (usb/RegisterProtocol.cpp): the image is the reference;
  // a connected device receives every write and answers read-through reads.
  int32_t SetReg(uint8_t address, uint8_t value);
  uint8_t GetReg(uint8_t address);
  int32_t GetAllReg();
  // The image value without any device access (0 beyond the described registers).
  uint8_t GetRegImage(uint8_t address) const { return address < regImage.size() ? regImage[address] : 0; }

  // Slot 0 is dropped when a register that changes the acquisition size is
  // written (acq/); the next acquisition rebuilds it.
  void ReleaseAcquisitionBuffer();
  // Appends a register-write object to the recording stream, if one is open.
  void RecordRegisterWrite(uint8_t address, uint8_t value);

  CPelSys* owner;
  orvex::CDlgRegDesc* dialog = nullptr;
  orvex::BlockPtr<_RegDesc> regDesc;
  std::vector<uint8_t> regImage;
  std::vector<uint8_t> regAttr;
  uint8_t camInfo[orvex::kCamInfoSize] = {};
  std::vector<_CamData*> slots;
  uint32_t interfaceKind = orvex::kNotConnected;
  // Interface object: the USB interface for kind 1, the replay reader for kind 3.
  std::unique_ptr<orvex::CUsbInterface> usb;
  std::unique_ptr<CQVFileIO> replay;
  std::unique_ptr<CQVFileIO> recording;
  // Threads one processing call may use on a large record (QV_SetProcessingThreads).
  uint32_t processingThreads = 1;
};

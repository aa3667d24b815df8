// One block: header, the matched part records, then copies of every text, so
// that the record outlives the document it was read from.
#include <cstdlib>
#include <cstring>
#include <new>

#include "desc/SysDescParser.h"

namespace orvex {
namespace {

constexpr size_t AlignUp(size_t offset, size_t alignment) { return (offset + alignment - 1) / alignment * alignment; }

size_t TextSize(const char* text) { return text ? std::strlen(text) + 1 : 0; }

// Hands out places in the block in order; texts come last and need no alignment.
class BlockLayout {
 public:
  template <class T>
  size_t Reserve() {
    size_ = AlignUp(size_, alignof(T));
    size_t offset = size_;
    size_ += sizeof(T);
    return offset;
  }
  void ReserveText(const char* text) { size_ += TextSize(text); }
  size_t Size() const { return size_; }

 private:
  size_t size_ = 0;
};

class TextArea {
 public:
  TextArea(char* begin, char* end) : next_(begin), end_(end) {}
  const char* Copy(const char* text) {
    if (!text) return nullptr;
    size_t size = std::strlen(text) + 1;
    if (size > static_cast<size_t>(end_ - next_)) return nullptr;  // cannot happen: sized above
    std::memcpy(next_, text, size);
    const char* copy = next_;
    next_ += size;
    return copy;
  }

 private:
  char* next_;
  char* end_;
};

template <class T>
T* Place(char* block, bool present, size_t offset, const T& value) {
  if (!present) return nullptr;
  return new (block + offset) T(value);
}

}  // namespace

BlockPtr<_SysDesc> AssembleSysDesc(const CSysDescParser& parser) {
  const bool hasFpga = parser.matched[kPartFpga];
  const bool hasSensor = parser.matched[kPartSensor];
  const bool hasUsb = parser.matched[kPartUsb];
  const bool hasEth = parser.matched[kPartEth];
  const bool hasMotion = parser.matched[kPartMotion];  // never matched; kept for the layout
  const char* systemId = parser.matched[kPartSystem] ? parser.matched[kPartSystem].attribute("id").value() : nullptr;

  BlockLayout layout;
  layout.Reserve<_SysDesc>();
  size_t fpgaAt = hasFpga ? layout.Reserve<_FpgaDesc>() : 0;
  size_t sensorAt = hasSensor ? layout.Reserve<_SensorDesc>() : 0;
  size_t usbAt = hasUsb ? layout.Reserve<_UsbDesc>() : 0;
  size_t ethAt = hasEth ? layout.Reserve<_EthDesc>() : 0;
  size_t motionAt = hasMotion ? layout.Reserve<_MotionDesc>() : 0;
  size_t textAt = layout.Size();
  layout.ReserveText(systemId);
  if (hasFpga) {
    for (const char* text : {parser.fpga.id, parser.fpga.regDesc, parser.fpga.fpgaCfg, parser.fpga.verStr,
                             parser.fpga.variant})
      layout.ReserveText(text);
  }
  if (hasSensor) {
    layout.ReserveText(parser.sensor.id);
    layout.ReserveText(parser.sensor.verStr);
  }
  if (hasUsb) {
    for (const char* text : {parser.usb.id, parser.usb.fx2FW, parser.usb.variant, parser.usb.verStr})
      layout.ReserveText(text);
  }
  if (hasEth) layout.ReserveText(parser.eth.id);
  if (hasMotion) layout.ReserveText(parser.motion.id);

  char* block = static_cast<char*>(std::calloc(1, layout.Size()));
  if (!block) throw std::bad_alloc();
  BlockPtr<_SysDesc> record(new (block) _SysDesc{});
  TextArea texts(block + textAt, block + layout.Size());

  record->fpgaFeatureNames = kFpgaFeatureNames;
  record->usbFeatureNames = kUsbFeatureNames;
  record->fpga = Place(block, hasFpga, fpgaAt, parser.fpga);
  record->sensor = Place(block, hasSensor, sensorAt, parser.sensor);
  record->usb = Place(block, hasUsb, usbAt, parser.usb);
  record->eth = Place(block, hasEth, ethAt, parser.eth);
  record->motion = Place(block, hasMotion, motionAt, parser.motion);

  record->sysId = texts.Copy(systemId);
  if (_FpgaDesc* fpga = record->fpga) {
    fpga->id = texts.Copy(fpga->id);
    fpga->regDesc = texts.Copy(fpga->regDesc);
    fpga->fpgaCfg = texts.Copy(fpga->fpgaCfg);
    fpga->verStr = texts.Copy(fpga->verStr);
    fpga->variant = texts.Copy(fpga->variant);
  }
  if (_SensorDesc* sensor = record->sensor) {
    sensor->id = texts.Copy(sensor->id);
    sensor->verStr = texts.Copy(sensor->verStr);
  }
  if (_UsbDesc* usb = record->usb) {
    usb->id = texts.Copy(usb->id);
    usb->fx2FW = texts.Copy(usb->fx2FW);
    usb->variant = texts.Copy(usb->variant);
    usb->verStr = texts.Copy(usb->verStr);
  }
  if (_EthDesc* eth = record->eth) eth->id = texts.Copy(eth->id);
  if (_MotionDesc* motion = record->motion) motion->id = texts.Copy(motion->id);
  return record;
}

}  // namespace orvex

#include <iomanip>

#include "desc/SysDescParser.h"

namespace orvex {
namespace {

// Labels right-aligned in 15 columns; numbers in hexadecimal with "0x".
class FieldLister {
 public:
  explicit FieldLister(std::ostream& out) : out_(out), guard_(out) { out_ << std::hex << std::showbase; }

  void Text(const char* label, const char* value) { Label(label) << (value ? value : "(null)") << '\n'; }
  template <class Value>
  void Number(const char* label, Value value) {
    Label(label) << value << '\n';
  }
  // Bytes are numbers here, not characters.
  void Byte(const char* label, uint8_t value) { Number(label, static_cast<unsigned>(value)); }

 private:
  std::ostream& Label(const char* label) { return out_ << std::setw(15) << std::right << label; }
  std::ostream& out_;
  StreamFormatGuard guard_;
};

void FeatureList(std::ostream& out, const char* title, const char* const* names, int count) {
  StreamFormatGuard guard(out);
  const std::string dashes(20, '-');
  out << '\n' << dashes << title << std::dec << count << ' ' << dashes << '\n';
  for (int bit = 0; bit < count; ++bit) out << "0x" << std::hex << bit << ": " << names[bit] << '\n';
}

void ListFpga(std::ostream& out, const _FpgaDesc& fpga) {
  out << "FPGA:\n";
  FieldLister list(out);
  list.Text("  id: ", fpga.id);
  list.Text("  regDesc: ", fpga.regDesc);
  list.Text("  fpgaCfg: ", fpga.fpgaCfg);
  list.Text("  verStr: ", fpga.verStr);
  list.Text("  variant: ", fpga.variant);
  list.Number("  numRegs: ", fpga.numRegs);
  list.Number("  verReg: ", fpga.verReg);
  list.Number("  verRegBCD: ", fpga.verRegBCD);
  list.Number("  feature: ", fpga.feature);
  list.Number("  frmMrk: ", fpga.frmMrk);
  list.Number("  maxFrm: ", fpga.maxFrm);
  list.Number("  maxFrmModeA: ", fpga.maxFrmModeA);
  list.Number("  mhtHdrSz: ", fpga.mhtHdrSz);
  list.Number("  zFrmBlkSz: ", fpga.zFrmBlkSz);
}

void ListUsb(std::ostream& out, const _UsbDesc& usb) {
  out << "\nUSB:\n";
  FieldLister list(out);
  list.Text("  id: ", usb.id);
  list.Text("  fx2FW: ", usb.fx2FW);
  list.Text("  variant: ", usb.variant);
  list.Text("  verStr: ", usb.verStr);
  list.Number("  productID: ", usb.productID);
  list.Number("  vendorID: ", usb.vendorID);
  list.Number("  feature: ", usb.feature);
  list.Number("  protocol: ", usb.protocol);
  list.Number("  verFx2: ", usb.verFx2);
  list.Byte("  config: ", usb.config);
  list.Byte("  iface: ", usb.iface);
  list.Byte("  epCmdRead: ", usb.epCmdRead);
  list.Byte("  epCmdWrite: ", usb.epCmdWrite);
  list.Byte("  epRead: ", usb.epRead);
  list.Byte("  epWrite: ", usb.epWrite);
  list.Number("  dataBlockSize: ", usb.dataBlockSize);
}

}  // namespace

void DumpSysDesc(uint32_t /*sections*/, std::ostream& out, const _SysDesc* desc) {
  FeatureList(out, " FPGA FeatureList:", kFpgaFeatureNames, 23);
  FeatureList(out, " USB FeatureList:", kUsbFeatureNames, 5);
  if (!desc) return;
  const std::string dashes(20, '-');
  out << '\n' << dashes << " SYSDESC: " << (desc->sysId ? desc->sysId : "(null)") << ' ' << dashes << '\n';
  if (desc->fpga) ListFpga(out, *desc->fpga);
  if (desc->sensor) {
    out << "\nSensor:\n";
    FieldLister list(out);
    list.Text("  id: ", desc->sensor->id);
    list.Text("  verStr: ", desc->sensor->verStr);
  }
  if (desc->usb) ListUsb(out, *desc->usb);
  if (desc->eth) {
    out << "\nETH:\n";
    FieldLister(out).Text("  id: ", desc->eth->id);
  }
  if (desc->motion) {
    out << "\nMotion:\n";
    FieldLister(out).Text("  id: ", desc->motion->id);
  }
}

}  // namespace orvex

// The register-description dialog: one row for raw register access and one
// row per map, built from the register description and driven through the
// abstract window of DlgWindow.h. The logic reaches the camera only through
// the four operations below, so any implementation of them can be shown.
#pragma once

#include <cstdint>
#include <vector>

#include "Orvex.h"
#include "window/DlgWindow.h"

namespace orvex {

class CDlgRegDesc : public IRegisterDialog {
 public:
  explicit CDlgRegDesc(const _RegDesc* regDesc) : regDesc_(regDesc) {}
  ~CDlgRegDesc() override = default;
  CDlgRegDesc(const CDlgRegDesc&) = delete;
  CDlgRegDesc& operator=(const CDlgRegDesc&) = delete;

  virtual void SetReg(uint8_t address, uint8_t value) = 0;
  virtual uint8_t GetReg(uint8_t address) = 0;
  virtual void SetMap(const _Map* map, uint32_t value) = 0;
  virtual uint32_t GetMap(const _Map* map) = 0;

  void AttachWindow(IDlgControls* window) override { window_ = window; }
  void BuildControls() override;
  void OnOk() override;
  void OnListSelectionChanged(int id) override;
  void OnCheckboxClicked(int id) override;
  void OnScroll(int id, ScrollCode code, int thumbPosition) override;
  void OnCloseRequest() override;
  void OwnerClosed() override;

  const _RegDesc* RegDesc() const { return regDesc_; }
  IDlgControls* Window() const { return window_; }
  bool IsOwnerClosed() const { return ownerClosed_; }

 private:
  enum class RowKind { Registers, List, Checkbox, Value };
  struct Row {
    int base;
    RowKind kind;
    const _Map* map;                      // null for the register row
    std::vector<const _Reg*> registers;   // register row: item data
    std::vector<const enumEntry*> entries;  // list row: item data
  };

  // Rows are only looked at while a window is attached and the system is open.
  bool Live() const { return window_ && !ownerClosed_; }
  const Row* RowOfControl(int id, int offset) const;

  int AddRegisterRow(int x, int y, int base);
  int AddListRow(const _Map& map, int x, int y, int base);
  int AddCheckboxRow(const _Map& map, int x, int y, int base);
  int AddValueRow(const _Map& map, int x, int y, int base);
  void CreateControl(ControlKind kind, int id, int x, int y, int width, int height, const char* text);
  void ShowHex(int id, uint32_t value);

  void ApplyRegisterValue(const Row& row, long long value);
  void ApplyMapValue(const Row& row, long long value);

  const _RegDesc* regDesc_;
  IDlgControls* window_ = nullptr;
  bool ownerClosed_ = false;
  std::vector<Row> rows_;
};

// Parses a value field the way "%i" does: optional sign, "0x" hexadecimal,
// leading-zero octal or decimal, trailing text ignored. False when no number
// starts the text; values beyond 64 bits saturate (and fail any range check).
bool ParseFieldNumber(const char* text, long long& value);

}  // namespace orvex

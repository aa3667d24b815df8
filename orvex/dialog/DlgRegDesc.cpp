#include "dialog/DlgRegDesc.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "dialog/DlgLayout.h"
#include "dialog/SliderMath.h"

namespace orvex {
namespace {

constexpr int kDialogResultClosed = 2;
// Value fields are read like a 32-character text buffer.
constexpr size_t kFieldTextSize = 32;

int OffsetOf(int id) { return (id - kFirstRowBase) % kRowStep; }

}  // namespace

bool ParseFieldNumber(const char* text, long long& value) {
  if (!text) return false;
  char* end = nullptr;
  errno = 0;
  long long parsed = std::strtoll(text, &end, 0);
  if (end == text) return false;
  value = parsed;  // ERANGE leaves LLONG_MIN/LLONG_MAX, outside every range
  return true;
}

void CDlgRegDesc::CreateControl(ControlKind kind, int id, int x, int y, int width, int height,
                                const char* text) {
  window_->CreateControl(ControlSpec{kind, id, x, y, width, height, text ? text : ""});
}

void CDlgRegDesc::ShowHex(int id, uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  window_->SetText(id, text);
}

void CDlgRegDesc::BuildControls() {
  if (!Live()) return;
  rows_.clear();
  CreateControl(ControlKind::Notes, kNotesId, kNotesX, kNotesY, kNotesWidth, kNotesHeight, "");
  const DialogGeometry geometry = ComputeDialogGeometry(EstimateDialogHeight(regDesc_));
  window_->ResizeWindow(geometry.width, geometry.height);

  int x = kRowsLeft;
  int y = kRowsTop;
  int base = kFirstRowBase;
  y = AddRegisterRow(x, y, base);
  base += kRowStep;
  const unsigned mapCount = regDesc_ && regDesc_->maps ? regDesc_->mapCount : 0;
  for (unsigned i = 0; i < mapCount; ++i) {
    const _Map& map = regDesc_->maps[i];
    if (map.enumEntries)
      y = AddListRow(map, x, y, base);
    else if (MapBitCount(&map) == 1)
      y = AddCheckboxRow(map, x, y, base);
    else
      y = AddValueRow(map, x, y, base);
    base += kRowStep;
    if (y > geometry.columnHeight + kRowsTop) {
      x += kColumnWidth;
      y = kRowsTop;
    }
  }
}

int CDlgRegDesc::AddRegisterRow(int x, int y, int base) {
  Row row{base, RowKind::Registers, nullptr, {}, {}};
  CreateControl(ControlKind::Label, base + kOffsetLabel, x, y, 100, 17, "Registers:");
  CreateControl(ControlKind::List, base + kOffsetList, x + 104, y, 140, 200, "");
  const unsigned regCount = regDesc_ && regDesc_->regs ? regDesc_->regCount : 0;
  for (unsigned i = 0; i < regCount; ++i) {
    const _Reg& reg = regDesc_->regs[i];
    window_->AddListItem(base + kOffsetList, reg.id ? reg.id : "");
    row.registers.push_back(&reg);
  }
  CreateControl(ControlKind::ValueField, base + kOffsetValue, x + 105, y + 20, 100, 15, "");
  rows_.push_back(std::move(row));
  return y + 40;
}

int CDlgRegDesc::AddListRow(const _Map& map, int x, int y, int base) {
  Row row{base, RowKind::List, &map, {}, {}};
  CreateControl(ControlKind::Label, base + kOffsetLabel, x, y, 100, 17, map.id);
  CreateControl(ControlKind::List, base + kOffsetList, x + 104, y, 140, 200, "");
  const uint32_t current = GetMap(&map);
  int selected = -1;
  for (const enumEntry* entry = map.enumEntries; entry; entry = entry->next) {
    window_->AddListItem(base + kOffsetList, entry->name ? entry->name : "");
    // Every match is selected as it is added, so the last one wins.
    if (static_cast<uint32_t>(entry->value) == current) selected = static_cast<int>(row.entries.size());
    row.entries.push_back(entry);
  }
  if (selected >= 0) window_->SetListSelection(base + kOffsetList, selected);
  rows_.push_back(std::move(row));
  return y + 20;
}

int CDlgRegDesc::AddCheckboxRow(const _Map& map, int x, int y, int base) {
  CreateControl(ControlKind::Checkbox, base + kOffsetCheckbox, x, y, 117, 17, map.id);
  window_->SetChecked(base + kOffsetCheckbox, GetMap(&map) != 0);
  rows_.push_back(Row{base, RowKind::Checkbox, &map, {}, {}});
  return y + 20;
}

int CDlgRegDesc::AddValueRow(const _Map& map, int x, int y, int base) {
  const unsigned bits = MapBitCount(&map);
  const uint32_t current = GetMap(&map);
  CreateControl(ControlKind::Label, base + kOffsetLabel, x, y, 100, 17, map.id);
  CreateControl(ControlKind::ValueField, base + kOffsetValue, x + 105, y, 100, 15, "");
  ShowHex(base + kOffsetValue, current);
  const int slider = base + kOffsetSlider;
  CreateControl(ControlKind::Slider, slider, x + 100, y + 15, 160, 15, "");
  window_->SetSliderRange(slider, 0, SliderMaxPosition(bits));
  window_->SetSliderTickFrequency(slider, SliderTickFrequency(bits));
  window_->SetSliderPosition(slider, SliderPositionOf(current, bits));
  rows_.push_back(Row{base, RowKind::Value, &map, {}, {}});
  return y + 40;
}

const CDlgRegDesc::Row* CDlgRegDesc::RowOfControl(int id, int offset) const {
  if (id < kFirstRowBase || OffsetOf(id) != offset) return nullptr;
  const size_t index = static_cast<size_t>((id - kFirstRowBase) / kRowStep);
  return index < rows_.size() ? &rows_[index] : nullptr;
}

void CDlgRegDesc::OnOk() {
  if (!Live()) return;
  const int focused = window_->FocusedControl();
  const Row* row = RowOfControl(focused, kOffsetValue);
  if (!row || (row->kind != RowKind::Registers && row->kind != RowKind::Value)) return;
  char text[kFieldTextSize] = {};
  window_->GetText(focused, text, sizeof text);
  text[sizeof text - 1] = '\0';
  long long value = 0;
  if (!ParseFieldNumber(text, value)) {
    window_->ShowWarning("string parsing error");
    return;
  }
  if (row->kind == RowKind::Registers)
    ApplyRegisterValue(*row, value);
  else
    ApplyMapValue(*row, value);
}

void CDlgRegDesc::ApplyRegisterValue(const Row& row, long long value) {
  const int selected = window_->GetListSelection(row.base + kOffsetList);
  if (selected < 0 || static_cast<size_t>(selected) >= row.registers.size()) return;
  if (value < 0 || value > 0xFF) {
    window_->ShowWarning("range error:\nvalid range is 0 to 0xff");
    return;
  }
  SetReg(row.registers[static_cast<size_t>(selected)]->num, static_cast<uint8_t>(value));
}

void CDlgRegDesc::ApplyMapValue(const Row& row, long long value) {
  const unsigned bits = MapBitCount(row.map);
  const uint32_t max = MapMaxValue(bits);
  if (value < 0 || value > static_cast<long long>(max)) {
    char text[64];
    std::snprintf(text, sizeof text, "range error:\nvalid range is 0 to 0x%x", max);
    window_->ShowWarning(text);
    return;
  }
  const uint32_t accepted = static_cast<uint32_t>(value);
  window_->SetSliderPosition(row.base + kOffsetSlider, SliderPositionOf(accepted, bits));
  SetMap(row.map, accepted);
}

void CDlgRegDesc::OnListSelectionChanged(int id) {
  if (!Live()) return;
  const Row* row = RowOfControl(id, kOffsetList);
  if (!row) return;
  const int selected = window_->GetListSelection(id);
  if (selected < 0) return;
  const size_t index = static_cast<size_t>(selected);
  if (row->kind == RowKind::Registers) {
    if (index < row->registers.size()) ShowHex(row->base + kOffsetValue, GetReg(row->registers[index]->num));
  } else if (row->kind == RowKind::List) {
    if (index < row->entries.size()) SetMap(row->map, static_cast<uint32_t>(row->entries[index]->value));
  }
}

void CDlgRegDesc::OnCheckboxClicked(int id) {
  if (!Live()) return;
  const Row* row = RowOfControl(id, kOffsetCheckbox);
  if (!row || row->kind != RowKind::Checkbox) return;
  SetMap(row->map, window_->IsChecked(id) ? 1 : 0);
}

void CDlgRegDesc::OnScroll(int id, ScrollCode code, int thumbPosition) {
  if (!Live()) return;
  const Row* row = RowOfControl(id, kOffsetSlider);
  if (!row || row->kind != RowKind::Value) return;
  const unsigned bits = MapBitCount(row->map);
  const uint32_t next = ScrolledValue(code, GetMap(row->map), bits, thumbPosition);
  window_->SetSliderPosition(id, SliderPositionOf(next, bits));
  SetMap(row->map, next);
  ShowHex(row->base + kOffsetValue, next);
}

void CDlgRegDesc::OnCloseRequest() {
  if (window_) window_->EndDialog(kDialogResultClosed);
}

void CDlgRegDesc::OwnerClosed() {
  ownerClosed_ = true;
  regDesc_ = nullptr;
}

}  // namespace orvex

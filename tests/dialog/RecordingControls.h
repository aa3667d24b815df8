// A control set that remembers what the dialog logic did to it, and lets a
// test play the user (focus, typed text, selections, checkboxes).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "window/DlgWindow.h"

namespace orvex_test {

struct RecordedControl {
  orvex::ControlSpec spec{};
  std::string text;
  std::vector<std::string> items;
  int selection = -1;
  bool checked = false;
  int rangeMin = 0;
  int rangeMax = 0;
  int tickFrequency = 0;
  int position = 0;
};

class RecordingControls : public orvex::IDlgControls {
 public:
  void ResizeWindow(int width, int height) override {
    windowWidth = width;
    windowHeight = height;
  }
  void CreateControl(const orvex::ControlSpec& spec) override {
    order.push_back(spec.id);
    controls[spec.id].spec = spec;
    controls[spec.id].text = spec.text;
  }
  void AddListItem(int id, const char* text) override { controls.at(id).items.push_back(text); }
  void SetListSelection(int id, int index) override { controls.at(id).selection = index; }
  int GetListSelection(int id) override { return controls.at(id).selection; }
  void SetChecked(int id, bool checked) override { controls.at(id).checked = checked; }
  bool IsChecked(int id) override { return controls.at(id).checked; }
  void SetSliderRange(int id, int minimum, int maximum) override {
    controls.at(id).rangeMin = minimum;
    controls.at(id).rangeMax = maximum;
  }
  void SetSliderTickFrequency(int id, int frequency) override { controls.at(id).tickFrequency = frequency; }
  void SetSliderPosition(int id, int position) override { controls.at(id).position = position; }
  void SetText(int id, const char* text) override { controls.at(id).text = text; }
  void GetText(int id, char* buffer, size_t size) override {
    controls.at(id).text.copy(buffer, size - 1);
    buffer[std::min(size - 1, controls.at(id).text.size())] = '\0';
  }
  int FocusedControl() override { return focus; }
  void ShowWarning(const char* text) override { warnings.push_back(text); }
  void EndDialog(int result) override { endResult = result; }

  RecordedControl& operator[](int id) { return controls.at(id); }
  bool Has(int id) const { return controls.count(id) != 0; }

  std::map<int, RecordedControl> controls;
  std::vector<int> order;
  std::vector<std::string> warnings;
  int windowWidth = 0;
  int windowHeight = 0;
  int focus = -1;
  int endResult = -1;
};

}  // namespace orvex_test

// The meeting point of the register dialog's logic and whatever toolkit shows
// it. Only abstract interfaces and plain values live here: the desktop plug-in
// is built against this header alone and never links against the library, so
// every call in either direction goes through a virtual function.
#pragma once

#include <cstddef>
#include <string>

namespace orvex {

enum class ControlKind {
  Notes,       // read-only, multi-line, auto-scrolling text box (stays empty)
  Label,       // static text, right-aligned
  ValueField,  // single-line edit field
  Slider,      // horizontal slider with automatic ticks
  List,        // drop-down list (no free text)
  Checkbox,    // text left of the box, right-aligned
};

// Positions and sizes are pixels of the dialog's client area. For a list the
// height is the height of its dropped-down part.
struct ControlSpec {
  ControlKind kind;
  int id;
  int x;
  int y;
  int width;
  int height;
  std::string text;
};

// The scroll codes a slider reports (the numbering of the classic trackbar).
enum class ScrollCode {
  LineUp = 0,
  LineDown = 1,
  PageUp = 2,
  PageDown = 3,
  ThumbPosition = 4,
  ThumbTrack = 5,
  Top = 6,
  Bottom = 7,
  EndScroll = 8,
};

// The dialog window as the logic sees it: controls addressed by id.
class IDlgControls {
 public:
  virtual ~IDlgControls() = default;
  virtual void ResizeWindow(int width, int height) = 0;
  virtual void CreateControl(const ControlSpec& spec) = 0;
  // Appends an item; items are addressed by their index in order of adding.
  virtual void AddListItem(int id, const char* text) = 0;
  // -1 selects nothing.
  virtual void SetListSelection(int id, int index) = 0;
  // -1 when nothing is selected.
  virtual int GetListSelection(int id) = 0;
  virtual void SetChecked(int id, bool checked) = 0;
  virtual bool IsChecked(int id) = 0;
  virtual void SetSliderRange(int id, int minimum, int maximum) = 0;
  virtual void SetSliderTickFrequency(int id, int frequency) = 0;
  virtual void SetSliderPosition(int id, int position) = 0;
  virtual void SetText(int id, const char* text) = 0;
  // Copies at most size - 1 characters and always terminates (size > 0).
  virtual void GetText(int id, char* buffer, size_t size) = 0;
  // The id of the control that has the keyboard focus, -1 when none has.
  virtual int FocusedControl() = 0;
  // Modal box owned by the dialog: caption "Warning", exclamation icon.
  virtual void ShowWarning(const char* text) = 0;
  // Ends the modal run with the given result.
  virtual void EndDialog(int result) = 0;
};

// What the window reports to the logic.
class IRegisterDialog {
 public:
  virtual ~IRegisterDialog() = default;
  // The window the logic drives from now on; null when it is gone.
  virtual void AttachWindow(IDlgControls* window) = 0;
  // Sizes the window and creates every row (once, right after attaching).
  virtual void BuildControls() = 0;
  // Enter / the default button.
  virtual void OnOk() = 0;
  virtual void OnListSelectionChanged(int id) = 0;
  virtual void OnCheckboxClicked(int id) = 0;
  // thumbPosition is only looked at for the two thumb codes.
  virtual void OnScroll(int id, ScrollCode code, int thumbPosition) = 0;
  // The window's close button.
  virtual void OnCloseRequest() = 0;
  // The system the dialog edits is being closed: from now on nothing is read
  // or written; the window is closed by the backend.
  virtual void OwnerClosed() = 0;
};

}  // namespace orvex

// The register dialog's window in GTK: a fixed-size window whose client area
// places every control at the pixel position the dialog logic computed.
#pragma once

#include <map>

#include "window/DlgWindow.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _GMainLoop GMainLoop;

namespace orvex_gtk {

class GtkRegisterDialog : public orvex::IDlgControls {
 public:
  explicit GtkRegisterDialog(orvex::IRegisterDialog& logic);
  ~GtkRegisterDialog() override;
  GtkRegisterDialog(const GtkRegisterDialog&) = delete;
  GtkRegisterDialog& operator=(const GtkRegisterDialog&) = delete;

  // Builds the controls, shows the window and runs until it is closed.
  void Run();
  void Raise();
  // The system was closed: end the run, whatever the user does.
  void Close();
  orvex::IRegisterDialog& Logic() { return logic_; }

  void ResizeWindow(int width, int height) override;
  void CreateControl(const orvex::ControlSpec& spec) override;
  void AddListItem(int id, const char* text) override;
  void SetListSelection(int id, int index) override;
  int GetListSelection(int id) override;
  void SetChecked(int id, bool checked) override;
  bool IsChecked(int id) override;
  void SetSliderRange(int id, int minimum, int maximum) override;
  void SetSliderTickFrequency(int id, int frequency) override;
  void SetSliderPosition(int id, int position) override;
  void SetText(int id, const char* text) override;
  void GetText(int id, char* buffer, size_t size) override;
  int FocusedControl() override;
  void ShowWarning(const char* text) override;
  void EndDialog(int result) override;

 private:
  GtkWidget* Control(int id) const;
  GtkWidget* NewControl(const orvex::ControlSpec& spec);
  void ConnectSignals(GtkWidget* widget, orvex::ControlKind kind);

  static int IdOf(GtkWidget* widget);
  static int OnDeleteEvent(GtkWidget*, void*, GtkRegisterDialog* self);
  static int OnKeyPress(GtkWidget*, void* event, GtkRegisterDialog* self);
  static void OnComboChanged(GtkWidget* combo, GtkRegisterDialog* self);
  static void OnToggled(GtkWidget* check, GtkRegisterDialog* self);
  static int OnChangeValue(GtkWidget* scale, int scroll, double value, GtkRegisterDialog* self);

  orvex::IRegisterDialog& logic_;
  GtkWidget* window_;
  GtkWidget* area_;
  GMainLoop* loop_;
  std::map<int, GtkWidget*> controls_;
  bool building_ = false;
  bool ended_ = false;
};

}  // namespace orvex_gtk

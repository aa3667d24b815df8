#include "gtk/GtkRegisterDialog.h"

#include <gtk/gtk.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gtk/GtkMessageBox.h"
#include "gtk/GtkStyle.h"
#include "gtk/GtkText.h"

namespace orvex_gtk {
namespace {

using orvex::ControlKind;
using orvex::ScrollCode;

constexpr const char* kIdKey = "orvex-control-id";
// The dialog template: 577 x 262 dialog units before the logic sizes it.
constexpr int kTemplateWidth = 866;
constexpr int kTemplateHeight = 426;
// A list's given height is its dropped-down part; closed it is one line.
constexpr int kClosedListHeight = 21;

ScrollCode ScrollCodeOf(GtkScrollType scroll) {
  switch (scroll) {
    case GTK_SCROLL_STEP_BACKWARD:
    case GTK_SCROLL_STEP_LEFT:
    case GTK_SCROLL_STEP_UP:
      return ScrollCode::LineUp;
    case GTK_SCROLL_STEP_FORWARD:
    case GTK_SCROLL_STEP_RIGHT:
    case GTK_SCROLL_STEP_DOWN:
      return ScrollCode::LineDown;
    case GTK_SCROLL_PAGE_BACKWARD:
    case GTK_SCROLL_PAGE_LEFT:
    case GTK_SCROLL_PAGE_UP:
      return ScrollCode::PageUp;
    case GTK_SCROLL_PAGE_FORWARD:
    case GTK_SCROLL_PAGE_RIGHT:
    case GTK_SCROLL_PAGE_DOWN:
      return ScrollCode::PageDown;
    case GTK_SCROLL_START:
      return ScrollCode::Top;
    case GTK_SCROLL_END:
      return ScrollCode::Bottom;
    case GTK_SCROLL_JUMP:
      return ScrollCode::ThumbTrack;
    case GTK_SCROLL_NONE:
    default:
      return ScrollCode::EndScroll;
  }
}

GtkWidget* NewNotes() {
  GtkWidget* text = gtk_text_view_new();
  gtk_text_view_set_editable(GTK_TEXT_VIEW(text), FALSE);
  gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(text), GTK_WRAP_WORD_CHAR);
  GtkWidget* frame = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(frame), GTK_SHADOW_IN);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(frame), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
  gtk_container_add(GTK_CONTAINER(frame), text);
  return frame;
}

GtkWidget* NewLabel(const std::string& text) {
  GtkWidget* label = gtk_label_new(text.c_str());
  gtk_label_set_xalign(GTK_LABEL(label), 1.0f);
  gtk_label_set_ellipsize(GTK_LABEL(label), PANGO_ELLIPSIZE_END);
  return label;
}

GtkWidget* NewCheckbox(const std::string& text) {
  GtkWidget* check = gtk_check_button_new_with_label(text.c_str());
  // Text left of the box: the box goes to the end of the reading direction.
  gtk_widget_set_direction(check, GTK_TEXT_DIR_RTL);
  // Right-aligned: next to the box (the start side in this direction).
  GtkWidget* label = gtk_bin_get_child(GTK_BIN(check));
  gtk_widget_set_direction(label, GTK_TEXT_DIR_RTL);
  gtk_widget_set_hexpand(label, TRUE);
  gtk_widget_set_halign(label, GTK_ALIGN_START);
  return check;
}

GtkWidget* NewSlider() {
  GtkWidget* scale = gtk_scale_new(GTK_ORIENTATION_HORIZONTAL, nullptr);
  gtk_scale_set_draw_value(GTK_SCALE(scale), FALSE);
  gtk_scale_set_digits(GTK_SCALE(scale), 0);
  gtk_range_set_round_digits(GTK_RANGE(scale), 0);
  gtk_range_set_increments(GTK_RANGE(scale), 1, 1);
  return scale;
}

}  // namespace

GtkRegisterDialog::GtkRegisterDialog(orvex::IRegisterDialog& logic) : logic_(logic) {
  InstallDialogStyle();
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_widget_set_name(window_, kDialogStyleName);
  gtk_window_set_title(GTK_WINDOW(window_), "Dialog");
  gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
  gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
  gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  // A tool window: a light frame and no task-bar entry.
  gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_UTILITY);
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), TRUE);
  // Controls are placed in pixels; the area clips what lies beyond its size.
  area_ = gtk_layout_new(nullptr, nullptr);
  gtk_widget_set_size_request(area_, kTemplateWidth, kTemplateHeight);
  gtk_container_add(GTK_CONTAINER(window_), area_);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDeleteEvent), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  loop_ = g_main_loop_new(nullptr, FALSE);
}

GtkRegisterDialog::~GtkRegisterDialog() {
  gtk_widget_destroy(window_);
  g_main_loop_unref(loop_);
  gdk_display_flush(gdk_display_get_default());
}

void GtkRegisterDialog::Run() {
  logic_.AttachWindow(this);
  building_ = true;
  logic_.BuildControls();
  building_ = false;
  gtk_widget_show_all(window_);
  gtk_window_present(GTK_WINDOW(window_));
  if (!ended_) g_main_loop_run(loop_);
  gtk_widget_hide(window_);
  logic_.AttachWindow(nullptr);
}

void GtkRegisterDialog::Raise() { gtk_window_present(GTK_WINDOW(window_)); }

void GtkRegisterDialog::Close() { EndDialog(2); }

void GtkRegisterDialog::EndDialog(int /*result*/) {
  ended_ = true;
  if (g_main_loop_is_running(loop_)) g_main_loop_quit(loop_);
}

GtkWidget* GtkRegisterDialog::Control(int id) const {
  auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

int GtkRegisterDialog::IdOf(GtkWidget* widget) {
  for (; widget; widget = gtk_widget_get_parent(widget)) {
    gpointer id = g_object_get_data(G_OBJECT(widget), kIdKey);
    if (id) return GPOINTER_TO_INT(id);
  }
  return -1;
}

GtkWidget* GtkRegisterDialog::NewControl(const orvex::ControlSpec& spec) {
  const std::string text = ValidUtf8(spec.text.c_str());
  switch (spec.kind) {
    case ControlKind::Notes:
      return NewNotes();
    case ControlKind::Label:
      return NewLabel(text);
    case ControlKind::ValueField: {
      GtkWidget* entry = gtk_entry_new();
      gtk_entry_set_width_chars(GTK_ENTRY(entry), 1);
      gtk_entry_set_text(GTK_ENTRY(entry), text.c_str());
      return entry;
    }
    case ControlKind::Slider:
      return NewSlider();
    case ControlKind::List:
      return gtk_combo_box_text_new();
    case ControlKind::Checkbox:
      return NewCheckbox(text);
  }
  return nullptr;
}

void GtkRegisterDialog::CreateControl(const orvex::ControlSpec& spec) {
  if (Control(spec.id)) return;  // ids are unique; a second create keeps the first
  GtkWidget* widget = NewControl(spec);
  if (!widget) return;
  char name[24];
  std::snprintf(name, sizeof name, "0x%x", static_cast<unsigned>(spec.id));
  gtk_widget_set_name(widget, name);
  g_object_set_data(G_OBJECT(widget), kIdKey, GINT_TO_POINTER(spec.id));
  const int height = spec.kind == ControlKind::List ? std::min(spec.height, kClosedListHeight) : spec.height;
  gtk_widget_set_size_request(widget, spec.width, height);
  gtk_layout_put(GTK_LAYOUT(area_), widget, spec.x, spec.y);
  controls_[spec.id] = widget;
  ConnectSignals(widget, spec.kind);
}

void GtkRegisterDialog::ConnectSignals(GtkWidget* widget, ControlKind kind) {
  switch (kind) {
    case ControlKind::List:
      g_signal_connect(widget, "changed", G_CALLBACK(OnComboChanged), this);
      break;
    case ControlKind::Checkbox:
      g_signal_connect(widget, "toggled", G_CALLBACK(OnToggled), this);
      break;
    case ControlKind::Slider:
      g_signal_connect(widget, "change-value", G_CALLBACK(OnChangeValue), this);
      break;
    default:
      break;
  }
}

void GtkRegisterDialog::ResizeWindow(int width, int height) {
  if (width < 1 || height < 1) return;
  gtk_widget_set_size_request(area_, width, height);
  gtk_window_resize(GTK_WINDOW(window_), width, height);
}

void GtkRegisterDialog::AddListItem(int id, const char* text) {
  if (GtkWidget* combo = Control(id))
    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), ValidUtf8(text).c_str());
}

void GtkRegisterDialog::SetListSelection(int id, int index) {
  if (GtkWidget* combo = Control(id)) gtk_combo_box_set_active(GTK_COMBO_BOX(combo), index);
}

int GtkRegisterDialog::GetListSelection(int id) {
  GtkWidget* combo = Control(id);
  return combo ? gtk_combo_box_get_active(GTK_COMBO_BOX(combo)) : -1;
}

void GtkRegisterDialog::SetChecked(int id, bool checked) {
  if (GtkWidget* check = Control(id)) gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(check), checked);
}

bool GtkRegisterDialog::IsChecked(int id) {
  GtkWidget* check = Control(id);
  return check && gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(check));
}

void GtkRegisterDialog::SetSliderRange(int id, int minimum, int maximum) {
  GtkWidget* scale = Control(id);
  if (!scale || maximum < minimum) return;
  // GTK wants a range of some width; a zero-width one keeps the thumb at 0.
  gtk_range_set_range(GTK_RANGE(scale), minimum, maximum > minimum ? maximum : minimum + 1);
}

void GtkRegisterDialog::SetSliderTickFrequency(int id, int frequency) {
  GtkWidget* scale = Control(id);
  if (!scale || frequency < 1) return;
  GtkAdjustment* range = gtk_range_get_adjustment(GTK_RANGE(scale));
  const int upper = static_cast<int>(gtk_adjustment_get_upper(range));
  gtk_scale_clear_marks(GTK_SCALE(scale));
  for (int tick = 0; tick <= upper; tick += frequency) gtk_scale_add_mark(GTK_SCALE(scale), tick, GTK_POS_BOTTOM, nullptr);
}

void GtkRegisterDialog::SetSliderPosition(int id, int position) {
  if (GtkWidget* scale = Control(id)) gtk_range_set_value(GTK_RANGE(scale), position);
}

void GtkRegisterDialog::SetText(int id, const char* text) {
  GtkWidget* widget = Control(id);
  if (!widget) return;
  const std::string valid = ValidUtf8(text);
  if (GTK_IS_ENTRY(widget))
    gtk_entry_set_text(GTK_ENTRY(widget), valid.c_str());
  else if (GTK_IS_LABEL(widget))
    gtk_label_set_text(GTK_LABEL(widget), valid.c_str());
  else if (GTK_IS_BUTTON(widget))
    gtk_button_set_label(GTK_BUTTON(widget), valid.c_str());
}

void GtkRegisterDialog::GetText(int id, char* buffer, size_t size) {
  if (!buffer || size == 0) return;
  buffer[0] = '\0';
  GtkWidget* widget = Control(id);
  if (!widget || !GTK_IS_ENTRY(widget)) return;
  const char* text = gtk_entry_get_text(GTK_ENTRY(widget));
  std::strncpy(buffer, text ? text : "", size - 1);
  buffer[size - 1] = '\0';
}

int GtkRegisterDialog::FocusedControl() { return IdOf(gtk_window_get_focus(GTK_WINDOW(window_))); }

void GtkRegisterDialog::ShowWarning(const char* text) {
  RunMessageBox(GTK_WINDOW(window_), text, "Warning", orvex::MessageIcon::Warning);
}

int GtkRegisterDialog::OnDeleteEvent(GtkWidget*, void*, GtkRegisterDialog* self) {
  self->logic_.OnCloseRequest();
  return TRUE;  // the window lives until the run has returned
}

int GtkRegisterDialog::OnKeyPress(GtkWidget*, void* event, GtkRegisterDialog* self) {
  const guint key = static_cast<GdkEventKey*>(event)->keyval;
  if (key != GDK_KEY_Return && key != GDK_KEY_KP_Enter && key != GDK_KEY_ISO_Enter) return FALSE;
  self->logic_.OnOk();
  return TRUE;
}

void GtkRegisterDialog::OnComboChanged(GtkWidget* combo, GtkRegisterDialog* self) {
  if (!self->building_) self->logic_.OnListSelectionChanged(IdOf(combo));
}

void GtkRegisterDialog::OnToggled(GtkWidget* check, GtkRegisterDialog* self) {
  if (!self->building_) self->logic_.OnCheckboxClicked(IdOf(check));
}

// The logic decides the new value and positions the thumb itself.
int GtkRegisterDialog::OnChangeValue(GtkWidget* scale, int scroll, double value, GtkRegisterDialog* self) {
  GtkAdjustment* range = gtk_range_get_adjustment(GTK_RANGE(scale));
  const double held = std::fmin(std::fmax(value, gtk_adjustment_get_lower(range)), gtk_adjustment_get_upper(range));
  self->logic_.OnScroll(IdOf(scale), ScrollCodeOf(static_cast<GtkScrollType>(scroll)),
                        static_cast<int>(std::lround(held)));
  return TRUE;
}

}  // namespace orvex_gtk

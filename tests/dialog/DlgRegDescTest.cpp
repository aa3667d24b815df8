#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/PelCam.h"
#include "dialog/DlgLayout.h"
#include "dialog/DlgRegDescPelCam.h"
#include "dialog/ExampleDesc.h"
#include "dialog/RecordingControls.h"

using orvex::ControlKind;
using orvex::ScrollCode;
using orvex_test::DescBuilder;
using orvex_test::RecordingControls;

namespace {

// Row bases of the example: registers, FrameMode, Trig, Exposure.
constexpr int kRegRow = 0x1000;
constexpr int kFrameModeRow = 0x1010;
constexpr int kTrigRow = 0x1020;
constexpr int kExposureRow = 0x1030;

// A camera without a device: writes land in the register image.
class DialogTest : public ::testing::Test {
 protected:
  DialogTest() { camera.SizeRegisterImage(8); }
  void Open(_RegDesc* desc) {
    // The description belongs to the builder; the camera only borrows it.
    camera.regDesc.reset(desc);
    dialog = std::make_unique<orvex::CDlgRegDescPelCam>(camera);
    camera.dialog = dialog.get();
    dialog->AttachWindow(&window);
    dialog->BuildControls();
  }
  void TearDown() override {
    dialog.reset();
    (void)camera.regDesc.release();
  }
  // The user types into a field and presses Enter.
  void Type(int id, const std::string& text) {
    window.focus = id;
    window[id].text = text;
    dialog->OnOk();
  }
  void SelectListItem(int id, int index) {
    window[id].selection = index;
    dialog->OnListSelectionChanged(id);
  }

  DescBuilder builder;
  CPelCam camera{nullptr};
  RecordingControls window;
  std::unique_ptr<orvex::CDlgRegDescPelCam> dialog;
};

void ExpectPlaced(const orvex::ControlSpec& spec, ControlKind kind, int x, int y, int width, int height) {
  EXPECT_EQ(spec.kind, kind) << std::hex << spec.id;
  EXPECT_EQ(spec.x, x) << std::hex << spec.id;
  EXPECT_EQ(spec.y, y) << std::hex << spec.id;
  EXPECT_EQ(spec.width, width) << std::hex << spec.id;
  EXPECT_EQ(spec.height, height) << std::hex << spec.id;
}

TEST_F(DialogTest, ExampleDescriptionGivesOneRowPerKind) {
  // FrameMode 2, Trig 1, Exposure 0xA34
  camera.regImage[0] = 0x82;
  camera.regImage[1] = 0x34;
  camera.regImage[2] = 0x0A;
  Open(orvex_test::ExampleDesc(builder));

  // 40 + 20 + 20 + 40 = 120: one column.
  EXPECT_EQ(window.windowWidth, 310);
  EXPECT_EQ(window.windowHeight, 310);
  ExpectPlaced(window[orvex::kNotesId].spec, ControlKind::Notes, 10, 11, 846, 89);

  ExpectPlaced(window[kRegRow].spec, ControlKind::Label, 10, 110, 100, 17);
  EXPECT_EQ(window[kRegRow].text, "Registers:");
  ExpectPlaced(window[kRegRow + 3].spec, ControlKind::List, 114, 110, 140, 200);
  EXPECT_EQ(window[kRegRow + 3].items, (std::vector<std::string>{"Mode", "ExpLo", "ExpHi", "Gain"}));
  EXPECT_EQ(window[kRegRow + 3].selection, -1);
  ExpectPlaced(window[kRegRow + 1].spec, ControlKind::ValueField, 115, 130, 100, 15);
  EXPECT_EQ(window[kRegRow + 1].text, "");

  ExpectPlaced(window[kFrameModeRow].spec, ControlKind::Label, 10, 150, 100, 17);
  EXPECT_EQ(window[kFrameModeRow].text, "FrameMode");
  ExpectPlaced(window[kFrameModeRow + 3].spec, ControlKind::List, 114, 150, 140, 200);
  EXPECT_EQ(window[kFrameModeRow + 3].items, (std::vector<std::string>{"Off", "Single", "Continuous"}));
  EXPECT_EQ(window[kFrameModeRow + 3].selection, 2);

  ExpectPlaced(window[kTrigRow + 4].spec, ControlKind::Checkbox, 10, 170, 117, 17);
  EXPECT_EQ(window[kTrigRow + 4].text, "Trig");
  EXPECT_TRUE(window[kTrigRow + 4].checked);
  EXPECT_FALSE(window.Has(kTrigRow));

  ExpectPlaced(window[kExposureRow].spec, ControlKind::Label, 10, 190, 100, 17);
  ExpectPlaced(window[kExposureRow + 1].spec, ControlKind::ValueField, 115, 190, 100, 15);
  EXPECT_EQ(window[kExposureRow + 1].text, "0xa34");
  ExpectPlaced(window[kExposureRow + 2].spec, ControlKind::Slider, 110, 205, 160, 15);
  EXPECT_EQ(window[kExposureRow + 2].rangeMin, 0);
  EXPECT_EQ(window[kExposureRow + 2].rangeMax, 255);
  EXPECT_EQ(window[kExposureRow + 2].tickFrequency, 16);
  EXPECT_EQ(window[kExposureRow + 2].position, 0xA3);
}

TEST_F(DialogTest, ListSelectsTheLastMatchingEntryOrNone) {
  builder.AddReg(0, "Mode");
  builder.AddMap("Twice", {{0, 0x03, 0}}, {{1, "A"}, {1, "B"}, {2, "C"}});
  builder.AddMap("Unmatched", {{0, 0x03, 0}}, {{5, "X"}});
  camera.regImage[0] = 1;
  Open(builder.Desc());
  EXPECT_EQ(window[0x1013].selection, 1);
  EXPECT_EQ(window[0x1023].selection, -1);
}

TEST_F(DialogTest, RejectedInputShowsItsWarningAndWritesNothing) {
  Open(orvex_test::ExampleDesc(builder));
  const std::vector<uint8_t> before = camera.regImage;
  SelectListItem(kRegRow + 3, 1);

  Type(kExposureRow + 1, "0x1000");
  Type(kRegRow + 1, "300");
  Type(kRegRow + 1, "-1");
  Type(kExposureRow + 1, "abc");
  Type(kExposureRow + 1, "");
  Type(kExposureRow + 1, "99999999999999999999999");
  EXPECT_EQ(window.warnings, (std::vector<std::string>{
                                 "range error:\nvalid range is 0 to 0xfff",
                                 "range error:\nvalid range is 0 to 0xff",
                                 "range error:\nvalid range is 0 to 0xff",
                                 "string parsing error",
                                 "string parsing error",
                                 "range error:\nvalid range is 0 to 0xfff",
                             }));
  EXPECT_EQ(camera.regImage, before);
}

TEST_F(DialogTest, AcceptedInputIsWrittenAndMovesTheSlider) {
  Open(orvex_test::ExampleDesc(builder));
  Type(kExposureRow + 1, "0x123");
  EXPECT_EQ(camera.regImage[1], 0x23);
  EXPECT_EQ(camera.regImage[2], 0x01);
  EXPECT_EQ(window[kExposureRow + 2].position, 0x12);

  SelectListItem(kRegRow + 3, 3);
  Type(kRegRow + 1, "017");  // octal, as "%i" reads it
  EXPECT_EQ(camera.regImage[3], 15);
  EXPECT_TRUE(window.warnings.empty());
}

TEST_F(DialogTest, EnterOutsideAValueFieldOrWithoutRegisterDoesNothing) {
  Open(orvex_test::ExampleDesc(builder));
  const std::vector<uint8_t> before = camera.regImage;
  Type(kRegRow + 1, "5");  // no register selected
  window.focus = kExposureRow + 2;
  dialog->OnOk();
  window.focus = -1;
  dialog->OnOk();
  EXPECT_EQ(camera.regImage, before);
  EXPECT_TRUE(window.warnings.empty());
}

TEST_F(DialogTest, RegisterSelectionShowsItsValue) {
  Open(orvex_test::ExampleDesc(builder));
  camera.regImage[2] = 0x1f;
  SelectListItem(kRegRow + 3, 2);
  EXPECT_EQ(window[kRegRow + 1].text, "0x1f");
}

TEST_F(DialogTest, ListAndCheckboxWriteTheirMap) {
  Open(orvex_test::ExampleDesc(builder));
  SelectListItem(kFrameModeRow + 3, 2);
  EXPECT_EQ(camera.regImage[0] & 0x03, 2);
  window[kTrigRow + 4].checked = true;
  dialog->OnCheckboxClicked(kTrigRow + 4);
  EXPECT_EQ(camera.regImage[0], 0x82);
  window[kTrigRow + 4].checked = false;
  dialog->OnCheckboxClicked(kTrigRow + 4);
  EXPECT_EQ(camera.regImage[0], 0x02);
}

TEST_F(DialogTest, SliderScrollCodesOnAThreeBitMap) {
  builder.AddReg(0, "Gain");
  builder.AddMap("Gain", {{0, 0x07, 0}});
  Open(builder.Desc());
  const int slider = 0x1012;
  EXPECT_EQ(window[slider].rangeMax, 7);
  EXPECT_EQ(window[slider].tickFrequency, 1);
  struct Step {
    uint8_t from;
    ScrollCode code;
    uint8_t to;
  };
  const Step steps[] = {
      {6, ScrollCode::PageDown, 7}, {7, ScrollCode::PageDown, 7}, {0, ScrollCode::LineUp, 0},
      {3, ScrollCode::LineUp, 2},   {7, ScrollCode::LineDown, 7}, {1, ScrollCode::PageUp, 0},
      {2, ScrollCode::PageUp, 1},   {5, ScrollCode::Top, 0},      {2, ScrollCode::Bottom, 7},
      {4, ScrollCode::EndScroll, 4},
  };
  for (const Step& step : steps) {
    camera.regImage[0] = step.from;
    dialog->OnScroll(slider, step.code, 0);
    EXPECT_EQ(camera.regImage[0], step.to) << "code " << static_cast<int>(step.code) << " from " << +step.from;
    EXPECT_EQ(window[slider].position, step.to);
    EXPECT_EQ(window[0x1011].text, "0x" + std::to_string(step.to));
  }
}

TEST_F(DialogTest, WideSliderScalesThumbAndPages) {
  Open(orvex_test::ExampleDesc(builder));
  const int slider = kExposureRow + 2;
  dialog->OnScroll(slider, ScrollCode::ThumbTrack, 0x80);
  EXPECT_EQ(camera.regImage[1], 0x00);
  EXPECT_EQ(camera.regImage[2], 0x08);
  EXPECT_EQ(window[kExposureRow + 1].text, "0x800");
  dialog->OnScroll(slider, ScrollCode::PageDown, 0);  // page 2^8
  EXPECT_EQ(window[kExposureRow + 1].text, "0x900");
  EXPECT_EQ(window[slider].position, 0x90);
  dialog->OnScroll(slider, ScrollCode::ThumbPosition, 999);  // held to the slider's range
  EXPECT_EQ(window[kExposureRow + 1].text, "0xff0");
}

// Many register entries give bit counts above 32; nothing may overflow.
TEST_F(DialogTest, BitCountsAboveThirtyTwoStayBounded) {
  for (uint8_t i = 0; i < 5; ++i) builder.AddReg(i, "R");
  builder.AddMap("Huge", {{0, 0xFF, 0}, {1, 0xFF, -8}, {2, 0xFF, -16}, {3, 0xFF, -24}, {4, 0xFF, -32}});
  Open(builder.Desc());
  EXPECT_EQ(window[0x1012].rangeMax, 255);
  Type(0x1011, "0xffffffff");
  EXPECT_TRUE(window.warnings.empty());
  dialog->OnScroll(0x1012, ScrollCode::PageUp, 0);
  dialog->OnScroll(0x1012, ScrollCode::ThumbTrack, 255);
  EXPECT_EQ(window[0x1011].text, "0xffffffff");
}

TEST(DialogLayout, FewMapsGiveOneColumnManyMapsWrap) {
  EXPECT_EQ(orvex::ComputeDialogGeometry(40).columns, 1);
  EXPECT_EQ(orvex::ComputeDialogGeometry(124).columns, 1);
  const orvex::DialogGeometry many = orvex::ComputeDialogGeometry(40 + 40 * 40);
  EXPECT_EQ(many.columns, 4);  // ceil(sqrt(13))
  EXPECT_EQ(many.columnHeight, 410);
  EXPECT_EQ(many.width, 1060);
  EXPECT_EQ(many.height, 600);
}

TEST_F(DialogTest, RowsWrapIntoTheNextColumn) {
  builder.AddReg(0, "R");
  for (int i = 0; i < 40; ++i) builder.AddMap("V", {{0, 0x0F, 0}});
  Open(builder.Desc());
  // Column height 410: a column ends once y passes 520.
  int firstInSecondColumn = 0;
  for (int id : window.order)
    if (window[id].spec.x == 260 && !firstInSecondColumn) firstInSecondColumn = id;
  ASSERT_NE(firstInSecondColumn, 0);
  EXPECT_EQ(window[firstInSecondColumn].spec.y, 110);
  EXPECT_EQ(firstInSecondColumn, 0x1000 + 11 * 16);  // 40 + 10 rows of 40 reach 550 > 520
}

TEST_F(DialogTest, CloseRequestEndsWithResultTwo) {
  Open(orvex_test::ExampleDesc(builder));
  dialog->OnCloseRequest();
  EXPECT_EQ(window.endResult, 2);
}

TEST_F(DialogTest, AfterTheOwnerClosedNothingIsTouched) {
  Open(orvex_test::ExampleDesc(builder));
  dialog->OwnerClosed();
  EXPECT_EQ(camera.dialog, dialog.get());  // the camera clears its own reference
  camera.dialog = nullptr;
  const std::vector<uint8_t> before = camera.regImage;
  Type(kExposureRow + 1, "1");
  SelectListItem(kFrameModeRow + 3, 1);
  dialog->OnScroll(kExposureRow + 2, ScrollCode::Bottom, 0);
  EXPECT_EQ(camera.regImage, before);
}

TEST_F(DialogTest, DestroyingTheDialogClearsTheCameraReference) {
  Open(orvex_test::ExampleDesc(builder));
  EXPECT_EQ(camera.dialog, dialog.get());
  dialog.reset();
  EXPECT_EQ(camera.dialog, nullptr);
}

TEST(DialogParse, ReadsLikePercentI) {
  long long value = 0;
  EXPECT_TRUE(orvex::ParseFieldNumber("0x1f", value));
  EXPECT_EQ(value, 0x1f);
  EXPECT_TRUE(orvex::ParseFieldNumber(" 12abc", value));
  EXPECT_EQ(value, 12);
  EXPECT_TRUE(orvex::ParseFieldNumber("-010", value));
  EXPECT_EQ(value, -8);
  EXPECT_FALSE(orvex::ParseFieldNumber("x1", value));
  EXPECT_FALSE(orvex::ParseFieldNumber("", value));
}

}  // namespace

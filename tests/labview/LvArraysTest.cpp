#include <dlfcn.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LvTestSupport.h"
#include "core/PelSys.h"
#include "core/SystemList.h"
#include "common/CallbackRecorder.h"

namespace {

using lvtest::Array;
using orvex_test::CallbackRecorder;

class LvArraysTest : public ::testing::Test {
 protected:
  void SetUp() override { lvtest::UseStandIn(); }
  void TearDown() override {
    lvtest::UseStandIn();
    orvex::CloseAllSystems();
  }
  int32_t GetParamList(QV_Handle handle) {
    return LV_GetParamList(handle, arrays_[0].get(), arrays_[1].get(), arrays_[2].get(), arrays_[3].get(),
                           arrays_[4].get(), arrays_[5].get(), arrays_[6].get(), arrays_[7].get(), arrays_[8].get());
  }
  std::string Row(int param, int map, int rowLength) {
    const char* row = arrays_[param].Elements<char>(2) + map * rowLength;
    return std::string(row, strnlen(row, rowLength));
  }
  template <class T>
  std::vector<T> Column(int param, size_t count) {
    const T* values = arrays_[param].Elements<T>(1);
    return std::vector<T>(values, values + count);
  }

  lvtest::TestDescription description_;
  Array arrays_[9];
};

TEST_F(LvArraysTest, ParamListDescribesEveryMapInOrder) {
  QV_Handle system = description_.Open();
  ASSERT_EQ(GetParamList(system), 6);
  const int M = 6;
  for (int p : {0, 3}) EXPECT_EQ(arrays_[p].Extents(2), (std::vector<int32_t>{M, 32}));
  EXPECT_EQ(arrays_[1].Extents(2), (std::vector<int32_t>{M, 256}));
  for (int p : {2, 4, 5, 6, 7, 8}) EXPECT_EQ(arrays_[p].Extents(1), (std::vector<int32_t>{M}));
  EXPECT_EQ(arrays_[0].BlockSize(), 8 + M * 32);
  EXPECT_EQ(arrays_[6].BlockSize(), 4 + M * 4);

  EXPECT_EQ(Row(0, 0, 32), "CamMode");
  EXPECT_EQ(Row(0, 2, 32), "SensNFrames");
  EXPECT_EQ(Row(1, 2, 256), "Frames per acquisition");
  EXPECT_EQ(Row(3, 2, 32), "Sensor");
  EXPECT_EQ(Column<uint8_t>(2, M), (std::vector<uint8_t>{6, 0, 4, 0, 0, 0}));
  EXPECT_EQ(Column<uint8_t>(4, M), (std::vector<uint8_t>{1, 0, 2, 0, 0, 0}));
  EXPECT_EQ(Column<uint32_t>(5, M), (std::vector<uint32_t>{0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(Column<uint32_t>(6, M), (std::vector<uint32_t>{7, 1, 2047, 255, 0xFFFFFFFFu, 0}));
  EXPECT_EQ(Column<uint32_t>(7, M), (std::vector<uint32_t>{0, 0, 10, 0, 0, 0}));
  EXPECT_EQ(Column<uint8_t>(8, M), (std::vector<uint8_t>{0xFF, 0, 0x8F, 0, 0, 0}));
}

TEST_F(LvArraysTest, ParamListCutsLongTextsAndLeavesMissingTextsEmpty) {
  QV_Handle system = description_.Open();
  ASSERT_EQ(GetParamList(system), 6);
  EXPECT_EQ(Row(0, 4, 32), std::string(31, 'I'));
  EXPECT_EQ(Row(1, 4, 256), std::string(255, 'c'));
  EXPECT_EQ(Row(3, 4, 32), std::string(31, 'I'));
  EXPECT_EQ(Row(0, 5, 32), "Bare");
  EXPECT_EQ(Row(1, 5, 256), "");
  EXPECT_EQ(Row(3, 5, 32), "");
}

TEST_F(LvArraysTest, EachParamListResizeFailureIsNumberedInResizeOrder) {
  QV_Handle system = description_.Open();
  // Resize order 3, 5, 6, 7, 8, 9, 1, 2, 4 (parameters counted from 1).
  const int order[9] = {2, 4, 5, 6, 7, 8, 0, 1, 3};
  for (int failing = 0; failing < 9; ++failing) {
    lvtest::Array fresh[9];
    CallbackRecorder recorder;
    lvtest::Runtime().failResizesAfter(failing);
    EXPECT_EQ(LV_GetParamList(system, fresh[0].get(), fresh[1].get(), fresh[2].get(), fresh[3].get(), fresh[4].get(),
                              fresh[5].get(), fresh[6].get(), fresh[7].get(), fresh[8].get()),
              -1);
    EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"LV_Acquire: NumericArrayResize(" +
                                                          std::to_string(failing + 1) + ") failed"}));
    EXPECT_EQ(lvtest::Runtime().handleSize(fresh[order[failing]].get()), 0) << "the failing array is untouched";
    if (failing > 0) {
      // Arrays resized before the failure already carry their extents.
      EXPECT_EQ(fresh[order[failing - 1]].Extents(1)[0], 6);
    }
  }
}

TEST_F(LvArraysTest, OneArrayForTwoParametersIsRefused) {
  QV_Handle system = description_.Open();
  CallbackRecorder recorder;
  // Comments (resized 8th) and groups (9th) in one block: the groups' resize
  // would shrink the block the comments are written into.
  EXPECT_EQ(LV_GetParamList(system, arrays_[0].get(), arrays_[1].get(), arrays_[2].get(), arrays_[1].get(),
                            arrays_[4].get(), arrays_[5].get(), arrays_[6].get(), arrays_[7].get(), arrays_[8].get()),
            -1);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"LV_Acquire: NumericArrayResize(9) failed"}));
}

TEST_F(LvArraysTest, ParamListWithoutDescriptionAndWithBadHandle) {
  QV_Handle system = description_.Open();
  orvex::CheckHandle(system)->camera->regDesc.reset();
  EXPECT_EQ(GetParamList(system), 0);
  EXPECT_EQ(arrays_[0].Extents(2), (std::vector<int32_t>{0, 32}));
  CallbackRecorder recorder;
  int never = 0;
  EXPECT_EQ(GetParamList(reinterpret_cast<QV_Handle>(&never)), -1);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"Illegal Handle!"}));
}

TEST_F(LvArraysTest, TestShapesForEveryDimensionCount) {
  const std::vector<std::vector<int32_t>> shapes = {{8}, {7, 8}, {6, 7, 8}, {5, 6, 7, 8}};
  const int32_t elements[] = {8, 56, 336, 1680};
  for (uint32_t numDim = 1; numDim <= 4; ++numDim) {
    Array array;
    LV_TestRequest request{numDim, LV_TYPE_F32};
    ASSERT_EQ(LV_Test(&request, array.get()), 0);
    EXPECT_EQ(array.Extents(numDim), shapes[numDim - 1]);
    EXPECT_EQ(array.BlockSize(), static_cast<int32_t>(4 * numDim) + 4 * elements[numDim - 1]);
  }
}

TEST_F(LvArraysTest, EightByteElementsStartAligned) {
  Array array;
  LV_TestRequest request{3, 10};  // float64
  ASSERT_EQ(LV_Test(&request, array.get()), 0);
  EXPECT_EQ(array.BlockSize(), 16 + 8 * 336) << "three extents padded to 16 bytes";
  EXPECT_EQ(reinterpret_cast<uintptr_t>(array.Elements<double>(3)) % 8, 0u);
}

TEST_F(LvArraysTest, TestRejectsOddRequestsAndPassesResizeErrorsOn) {
  Array array;
  LV_TestRequest five{5, LV_TYPE_U8};
  EXPECT_EQ(LV_Test(&five, array.get()), 1);
  EXPECT_EQ(LV_Test(nullptr, array.get()), 1);
  LV_TestRequest one{1, LV_TYPE_U8};
  EXPECT_EQ(LV_Test(&one, nullptr), 1) << "a null handle could never reach the caller";
  EXPECT_EQ(array.BlockSize(), 0);
  lvtest::Runtime().failResizesAfter(0);
  EXPECT_EQ(LV_Test(&one, array.get()), 2);
}

TEST_F(LvArraysTest, ResizeKeepsTheHandleAndTheContents) {
  Array array;
  LV_TestRequest one{1, LV_TYPE_U8};
  ASSERT_EQ(LV_Test(&one, array.get()), 0);
  for (int i = 0; i < 8; ++i) array.Elements<uint8_t>(1)[i] = static_cast<uint8_t>(i + 1);
  LV_Handle before = array.get();
  LV_TestRequest wider{1, LV_TYPE_U32};
  ASSERT_EQ(LV_Test(&wider, array.get()), 0);
  EXPECT_EQ(array.get(), before);
  EXPECT_EQ(array.BlockSize(), 4 + 32);
  // The memory manager keeps bytes, not elements.
  EXPECT_EQ(array.Elements<uint32_t>(1)[0], 0x04030201u);
  EXPECT_EQ(array.Elements<uint32_t>(1)[2], 0u) << "new bytes are zero";
}

TEST_F(LvArraysTest, WithoutRunTimeCallsFailAndTheProcessLives) {
  SetLVRTModule(nullptr);
  Array array;
  CallbackRecorder recorder;
  LV_TestRequest one{1, LV_TYPE_U8};
  EXPECT_EQ(LV_Test(&one, array.get()), 53);
  ASSERT_EQ(recorder.messages().size(), 1u);
  EXPECT_EQ(recorder.messages()[0].value, 0x102u);
  EXPECT_NE(recorder.messages()[0].text.find("LabVIEW run-time not found"), std::string::npos);
  lvtest::UseStandIn();
  EXPECT_EQ(LV_Test(&one, array.get()), 0);
}

[[noreturn]] void ResizeInsideLabView() {
  void* global = dlopen(LVRT_STANDIN_PATH, RTLD_NOW | RTLD_GLOBAL);
  SetLVRTModule(nullptr);
  auto newHandle = reinterpret_cast<LV_Handle (*)(size_t)>(dlsym(global, "DSNewHandle"));
  LV_Handle handle = newHandle(0);
  LV_TestRequest two{2, LV_TYPE_U16};
  int32_t result = LV_Test(&two, handle);
  // _exit: the child shares the fixture's arrays, which the parent frees.
  _exit(result == 0 && static_cast<int32_t*>(*handle)[0] == 7 ? 0 : 1);
}

TEST_F(LvArraysTest, InsideLabViewTheProcessProvidesTheRunTime) {
  // A global load makes the process look like LabVIEW (it exports AZNewHandle);
  // done in a child so the rest of the suite keeps a process without it.
  EXPECT_EXIT(ResizeInsideLabView(), ::testing::ExitedWithCode(0), "");
}

}  // namespace

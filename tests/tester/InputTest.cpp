#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "AccessLock.h"
#include "CapturedOutput.h"
#include "KeyInput.h"
#include "PathPrompt.h"

namespace {

TEST(KeyInput, OverLongLineIsCutAndItsRestDoesNotReachTheNextRead) {
  ScriptedInput in(std::string(300, 's') + "\nnext\n");
  CKeyInput input(in.file());
  std::string line;
  ASSERT_TRUE(input.ReadLine(line, 255));
  EXPECT_EQ(line, std::string(255, 's'));
  ASSERT_TRUE(input.ReadLine(line, 255));
  EXPECT_EQ(line, "next");
  EXPECT_FALSE(input.ReadLine(line, 255));
}

TEST(KeyInput, LastLineWithoutLineFeedKeepsItsLastCharacter) {
  ScriptedInput in("abc");
  CKeyInput input(in.file());
  std::string line;
  ASSERT_TRUE(input.ReadLine(line, 63));
  EXPECT_EQ(line, "abc");
}

TEST(KeyInput, KeysFromAPipeAreFirstCharactersOfLinesAndTheEndExits) {
  ScriptedInput in("7\n\nib\n");
  CKeyInput input(in.file());
  EXPECT_EQ(input.ReadKey(), '7');
  EXPECT_EQ(input.ReadKey(), '\n');
  EXPECT_EQ(input.ReadKey(), 'i');
  EXPECT_EQ(input.ReadKey(), 'x');
}

TEST(AccessLock, WrongPasswordRefusesAndAsksAgainNextTime) {
  ScriptedInput in("Marrowby57\nmarrowby57\n");
  CapturedOutput out;
  CKeyInput input(in.file());
  CAccessLock lock(input, out.file());
  EXPECT_FALSE(lock.Unlock());
  EXPECT_TRUE(lock.Unlock());
  EXPECT_TRUE(lock.Unlock());  // granted once, not asked again
  EXPECT_EQ(out.text(),
            "enter password to activate internal functions:\ninvalid password\n"
            "enter password to activate internal functions:\npermission granted\n");
}

TEST(AccessLock, PasswordFollowedByMoreTextIsRefused) {
  ScriptedInput in("marrowby57 \n");
  CapturedOutput out;
  CKeyInput input(in.file());
  CAccessLock lock(input, out.file());
  EXPECT_FALSE(lock.Unlock());
}

TEST(PathPrompt, EmptyLineCancelsAndMissingFileIsRefused) {
  ScriptedInput in("\n/nonexistent/fw.iic\n");
  CapturedOutput out;
  CKeyInput input(in.file());
  std::string path;
  EXPECT_FALSE(PromptOpenFile(input, out.file(), "Load FX2-i2c File ...", kI2cFileFilter, path));
  EXPECT_FALSE(PromptOpenFile(input, out.file(), "Load FX2-i2c File ...", kI2cFileFilter, path));
  EXPECT_NE(out.text().find("Load FX2-i2c File ...\ni2c Files (*.iic): "), std::string::npos);
}

TEST(PathPrompt, SaveAddsTheDefaultExtensionOnlyWhenThereIsNone) {
  ScriptedInput in("/tmp/eeprom\n/tmp/eeprom.bin\n/nonexistent-folder/eeprom\n");
  CapturedOutput out;
  CKeyInput input(in.file());
  std::string path;
  ASSERT_TRUE(PromptSaveFile(input, out.file(), "Save FX2-i2c File ...", kI2cFileFilter, path));
  EXPECT_EQ(path, "/tmp/eeprom.iic");
  ASSERT_TRUE(PromptSaveFile(input, out.file(), "Save FX2-i2c File ...", kI2cFileFilter, path));
  EXPECT_EQ(path, "/tmp/eeprom.bin");
  EXPECT_FALSE(PromptSaveFile(input, out.file(), "Save FX2-i2c File ...", kI2cFileFilter, path));
}

TEST(PathPrompt, RelativeAnswersBecomeFullPaths) {
  // The library looks for a bare firmware name in the data folder, so the
  // prompt must answer with the full path a dialog would give.
  ScriptedInput in("sub/../eeprom\n");
  CapturedOutput out;
  CKeyInput input(in.file());
  std::string path;
  ASSERT_TRUE(PromptSaveFile(input, out.file(), "Save FX2-i2c File ...", kI2cFileFilter, path));
  EXPECT_EQ(path, (std::filesystem::current_path() / "eeprom.iic").string());
}

}  // namespace

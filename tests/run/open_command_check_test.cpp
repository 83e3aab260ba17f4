#include <gtest/gtest.h>

#include <string>

#include "primitives/file_type_repair.h"
#include "report/texts.h"
#include "run/cleaning_run.h"
#include "run/open_command_check.h"
#include "sim/sim_control.h"

namespace {

const char kCommandKey[] = "exefile\\shell\\open\\command";

std::string CleanReport() {
  return std::string(kBanner) + kOwnershipLine + "\n" + kNothingToClean +
         kClosingPrompt;
}

class OpenCommandCheckTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override {
    sim::Reset(GetParam());
    sim::SetConsoleAvailable(false);
    sim::SetStringValue(HKEY_CLASSES_ROOT, "exefile", "", "Application");
  }
};

TEST_P(OpenCommandCheckTest, WrongCommandIsRepairedAndNothingIsReported) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, kCommandKey, "", "\"%1\"%*");

  EXPECT_EQ(0, CleaningRun());

  // The 9x line keeps a text only up to its NUL.
  size_t zeros = GetParam() == sim::Line::Nt ? 253 : 1;
  EXPECT_EQ(std::string("\"%1\" %*") + std::string(zeros, '\0'),
            sim::ValueData(HKEY_CLASSES_ROOT, kCommandKey, ""));
  EXPECT_EQ(CleanReport(), sim::ConsoleOutput());
  EXPECT_EQ(0, sim::OpenKeyCount());
}

TEST_P(OpenCommandCheckTest, StandardCommandIsLeftAsItIs) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, kCommandKey, "", "\"%1\" %*");
  std::string before = sim::RegistryDump();

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(before, sim::RegistryDump());
  EXPECT_EQ(CleanReport(), sim::ConsoleOutput());
}

TEST_P(OpenCommandCheckTest, MissingCommandKeyIsNotCreated) {
  std::string before = sim::RegistryDump();

  EXPECT_EQ(0, CleaningRun());

  EXPECT_EQ(before, sim::RegistryDump());
  EXPECT_EQ(CleanReport(), sim::ConsoleOutput());
}

INSTANTIATE_TEST_SUITE_P(BothLines, OpenCommandCheckTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

// How every default value of this program is written: the text, then zero
// bytes up to 260. The 9x line keeps a text only up to its NUL.
std::string Written(const std::string& text) {
  if (sim::CurrentLine() == sim::Line::Win9x) return text + '\0';
  return text + std::string(260 - text.size(), '\0');
}

std::string Default(const std::string& key) {
  return sim::ValueData(HKEY_CLASSES_ROOT, key, "");
}

// The check on its own, without the rest of the run.
class OpenCommandCheckStepTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override { sim::Reset(GetParam()); }
  void TearDown() override {
    EXPECT_EQ(0, sim::OpenKeyCount());
    EXPECT_EQ("", sim::ConsoleOutput());
    EXPECT_TRUE(run_.NothingToClean);
  }
  RunState run_ = {true, false};
};

TEST_P(OpenCommandCheckStepTest, RepairsAnyOtherCommand) {
  const std::string wrong[] = {
      "\"%1\"%*",
      "\"%1\" %* ",
      "\"%1\" %",
      "\"%1\" %* \"%1\"",
      "C:\\WINDOWS\\SYSTEM\\worm.exe \"%1\" %*",
      "",
      std::string(259, 'x'),
  };
  for (const std::string& command : wrong) {
    sim::SetStringValue(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, "",
                        command);

    CheckOpenCommand(run_);

    EXPECT_EQ(Written("\"%1\" %*"), Default(kExecutableOpenCommandKey))
        << command;
  }
}

TEST_P(OpenCommandCheckStepTest, LeavesTheStandardCommandAlone) {
  sim::SetStringValue(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, "",
                      "\"%1\" %*");
  std::string before = sim::RegistryDump();

  CheckOpenCommand(run_);

  EXPECT_EQ(before, sim::RegistryDump());
  EXPECT_EQ(0, sim::CallCount("RegSetValueExA"));

  // Stored without its NUL it is the same command.
  sim::SetRawValue(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, "", REG_SZ,
                   "\"%1\" %*");
  CheckOpenCommand(run_);
  EXPECT_EQ(0, sim::CallCount("RegSetValueExA"));
}

TEST_P(OpenCommandCheckStepTest, LeavesWhatItCannotRead) {
  // 260 bytes and more do not fit the buffer with a NUL.
  const std::string unreadable[] = {
      std::string(260, 'x'),
      std::string(259, 'x') + "y" + std::string(1, '\0'),
      std::string(1000, 'z'),
  };
  for (const std::string& data : unreadable) {
    sim::SetRawValue(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, "", REG_SZ,
                     data);

    CheckOpenCommand(run_);

    EXPECT_EQ(data, Default(kExecutableOpenCommandKey));
  }
  sim::SetStringValue(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey, "",
                      "wrong");
  sim::FailCall("RegQueryValueExA", ERROR_ACCESS_DENIED);
  CheckOpenCommand(run_);
  EXPECT_EQ(0, sim::CallCount("RegSetValueExA"));
}

TEST_P(OpenCommandCheckStepTest, CreatesNothing) {
  sim::CreateKey(HKEY_CLASSES_ROOT, "exefile\\shell\\open");
  std::string before = sim::RegistryDump();

  CheckOpenCommand(run_);

  EXPECT_EQ(before, sim::RegistryDump());

  // A key without a default value: nothing to compare, nothing written.
  sim::CreateKey(HKEY_CLASSES_ROOT, kExecutableOpenCommandKey);
  before = sim::RegistryDump();
  CheckOpenCommand(run_);
  EXPECT_EQ(before, sim::RegistryDump());
}

INSTANTIATE_TEST_SUITE_P(BothLines, OpenCommandCheckStepTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace

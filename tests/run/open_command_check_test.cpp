#include <gtest/gtest.h>

#include <string>

#include "report/texts.h"
#include "run/cleaning_run.h"
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

}  // namespace

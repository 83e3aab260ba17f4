// Runs the contract tests against the simulated Windows, as a fresh machine
// of the line named on the command line (--line=nt or --line=9x) for each
// test.
#include <string.h>

#include <gtest/gtest.h>

#include "sim/sim_control.h"

namespace {

class FreshMachinePerTest : public testing::EmptyTestEventListener {
 public:
  explicit FreshMachinePerTest(sim::Line line) : line_(line) {}
  void OnTestStart(const testing::TestInfo&) override { sim::Reset(line_); }

 private:
  sim::Line line_;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  sim::Line line = sim::Line::Nt;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--line=9x") == 0) line = sim::Line::Win9x;
  }
  testing::UnitTest::GetInstance()->listeners().Append(
      new FreshMachinePerTest(line));
  return RUN_ALL_TESTS();
}

#include "primitives/key_purge.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/sim_control.h"

namespace {

const char kMarker[] = "Software\\SirCam";

class KeyPurgeTest : public testing::TestWithParam<sim::Line> {
 protected:
  void SetUp() override {
    sim::Reset(GetParam());
    // Something next to the key, which must survive.
    sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Other", "keep", "1");
  }

  // Purges the marker key and closes it again.
  bool Purge() {
    HKEY key;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, kMarker, 0,
                                           KEY_READ | KEY_WRITE, &key));
    bool purged = PurgeKey(key);
    RegCloseKey(key);
    EXPECT_EQ(0, sim::OpenKeyCount());
    return purged;
  }

  // The registry as it looks with the marker key empty.
  std::string DumpWithEmptyMarker() {
    std::string now = sim::RegistryDump();
    sim::Reset(GetParam());
    sim::SetStringValue(HKEY_CURRENT_USER, "Software\\Other", "keep", "1");
    sim::CreateKey(HKEY_CURRENT_USER, kMarker);
    std::string empty = sim::RegistryDump();
    EXPECT_EQ(empty, now);
    return empty;
  }
};

TEST_P(KeyPurgeTest, KeyWithValuesOnlyLosesThemAll) {
  sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "", "default");
  sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "a", "1");
  sim::SetRawValue(HKEY_CURRENT_USER, kMarker, "b", REG_BINARY, "\x01\x02");
  sim::SetRawValue(HKEY_CURRENT_USER, kMarker, "c", REG_DWORD,
                   std::string(4, '\0'));

  EXPECT_TRUE(Purge());

  DumpWithEmptyMarker();
}

TEST_P(KeyPurgeTest, EmptyKeyIsDoneAtOnce) {
  sim::CreateKey(HKEY_CURRENT_USER, kMarker);
  std::string before = sim::RegistryDump();

  EXPECT_TRUE(Purge());

  EXPECT_EQ(before, sim::RegistryDump());
  EXPECT_EQ(0, sim::CallCount("RegEnumValueA"));
  EXPECT_EQ(0, sim::CallCount("RegEnumKeyA"));
}

TEST_P(KeyPurgeTest, NestedKeysAreEmptiedDepthFirstEachVisitedOnce) {
  sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "top", "1");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam\\a", "v", "1");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam\\a\\b", "v", "1");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam\\a\\b\\c\\d", "",
                      "deep");
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\a\\b2");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam\\e", "x", "1");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam\\e", "y", "2");
  const int kSubkeys = 6;  // a, a\b, a\b\c, a\b\c\d, a\b2, e
  int opensBefore = sim::CallCount("RegOpenKeyExA");

  EXPECT_TRUE(Purge());

  // One open for the marker key itself, one per subkey.
  EXPECT_EQ(kSubkeys + 1, sim::CallCount("RegOpenKeyExA") - opensBefore);
  EXPECT_EQ(kSubkeys, sim::CallCount("RegDeleteKeyA"));
  EXPECT_EQ(6, sim::CallCount("RegDeleteValueA"));
  DumpWithEmptyMarker();
}

TEST_P(KeyPurgeTest, EndsWhenCountingFails) {
  sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "a", "1");
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\sub");
  std::string before = sim::RegistryDump();

  sim::FailCall("RegQueryInfoKeyA", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Purge());
  EXPECT_EQ(before, sim::RegistryDump());

  // The count after a deletion fails: the purge stops rather than guess.
  sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "b", "2");
  sim::FailCall("RegQueryInfoKeyA", ERROR_ACCESS_DENIED, 2);
  EXPECT_FALSE(Purge());
  EXPECT_EQ(1, sim::CallCount("RegDeleteValueA"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\SirCam\\sub"));
}

TEST_P(KeyPurgeTest, EndsWhenEnumeratingFails) {
  const struct {
    const char* function;
    bool valueRemains;
  } cases[] = {{"RegEnumValueA", true}, {"RegEnumKeyA", false}};
  for (const auto& c : cases) {
    sim::Reset(GetParam());
    sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "a", "1");
    sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\sub");
    // Every call fails: a purge that retried would never end.
    sim::FailCall(c.function, ERROR_NO_MORE_ITEMS, 1, true);

    EXPECT_FALSE(Purge()) << c.function;

    EXPECT_EQ(1, sim::CallCount(c.function));
    EXPECT_EQ(c.valueRemains,
              sim::ValueExists(HKEY_CURRENT_USER, kMarker, "a"));
    EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\SirCam\\sub"));
  }
}

// A deletion that reports success but leaves the value or key in place (the
// call "fails" with ERROR_SUCCESS) must not pass for a purge that emptied the
// key.
TEST_P(KeyPurgeTest, DeletionThatRemovesNothingEndsThePurge) {
  for (const char* function : {"RegDeleteValueA", "RegDeleteKeyA"}) {
    sim::Reset(GetParam());
    sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "a", "1");
    sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "b", "1");
    sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\one");
    sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\two");
    sim::FailCall(function, ERROR_SUCCESS);

    EXPECT_FALSE(Purge()) << function;

    EXPECT_EQ(1, sim::CallCount(function)) << function;
    EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\SirCam\\two"))
        << function;
  }
}

TEST_P(KeyPurgeTest, ValueNameTooLongForTheBufferEndsThePurge) {
  sim::SetStringValue(HKEY_CURRENT_USER, kMarker, std::string(300, 'n'), "1");

  EXPECT_FALSE(Purge());

  EXPECT_EQ(0, sim::CallCount("RegDeleteValueA"));
}

TEST_P(KeyPurgeTest, FirstFailedDeletionEndsThePurge) {
  sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "a", "1");
  sim::SetStringValue(HKEY_CURRENT_USER, kMarker, "b", "1");
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\sub");
  sim::FailCall("RegDeleteValueA", ERROR_ACCESS_DENIED, 2);

  EXPECT_FALSE(Purge());

  // The first value stays deleted; the rest is left.
  EXPECT_EQ(2, sim::CallCount("RegDeleteValueA"));
  EXPECT_EQ(1, sim::ValueExists(HKEY_CURRENT_USER, kMarker, "a") +
                   sim::ValueExists(HKEY_CURRENT_USER, kMarker, "b"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\SirCam\\sub"));
  EXPECT_EQ(0, sim::CallCount("RegDeleteKeyA"));
}

TEST_P(KeyPurgeTest, FailedSubkeyDeletionEndsThePurge) {
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\one");
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\two");
  sim::FailCall("RegDeleteKeyA", ERROR_ACCESS_DENIED);

  EXPECT_FALSE(Purge());

  EXPECT_EQ(1, sim::CallCount("RegDeleteKeyA"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\SirCam\\one"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\SirCam\\two"));
}

TEST_P(KeyPurgeTest, FailureDeepDownEndsThePurgeAtEveryLevel) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam\\a\\b", "v", "1");
  sim::CreateKey(HKEY_CURRENT_USER, "Software\\SirCam\\z");
  sim::FailCall("RegDeleteValueA", ERROR_ACCESS_DENIED);

  EXPECT_FALSE(Purge());

  EXPECT_EQ(0, sim::CallCount("RegDeleteKeyA"));
  EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\SirCam\\z"));
}

TEST_P(KeyPurgeTest, SubkeyThatCannotBeOpenedIsStillDeleted) {
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam\\locked", "v", "1");
  sim::SetStringValue(HKEY_CURRENT_USER, "Software\\SirCam\\locked\\inner", "v",
                      "1");
  int opensBefore = sim::CallCount("RegOpenKeyExA");
  // The marker key's own open is the first, the subkey's the second.
  sim::FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED, 2);

  bool purged = Purge();

  EXPECT_EQ(2, sim::CallCount("RegOpenKeyExA") - opensBefore);
  EXPECT_EQ(1, sim::CallCount("RegDeleteKeyA"));
  if (GetParam() == sim::Line::Nt) {
    // NT refuses to delete a key that still has subkeys.
    EXPECT_FALSE(purged);
    EXPECT_TRUE(sim::KeyExists(HKEY_CURRENT_USER, "Software\\SirCam\\locked"));
  } else {
    EXPECT_TRUE(purged);
    DumpWithEmptyMarker();
  }
}

INSTANTIATE_TEST_SUITE_P(BothLines, KeyPurgeTest,
                         testing::Values(sim::Line::Nt, sim::Line::Win9x));

}  // namespace

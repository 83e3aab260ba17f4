#include <gtest/gtest.h>

#include "platform/console.h"
#include "sim/sim_control.h"
#include "support/host/input_records.h"

namespace {

struct RecordCase {
  const char* what;
  INPUT_RECORD record;
  bool endsWait;
};

TEST(KeyEndsWaitTest, EveryKindOfRecord) {
  const DWORD kLeftAlt = LEFT_ALT_PRESSED;
  const DWORD kRightCtrl = RIGHT_CTRL_PRESSED;
  const RecordCase cases[] = {
      {"letter", KeyRecord(true, 'A', 'a'), true},
      {"digit", KeyRecord(true, '1', '1'), true},
      {"enter", KeyRecord(true, VK_RETURN, '\r'), true},
      {"space", KeyRecord(true, VK_SPACE, ' '), true},
      {"esc with its character", KeyRecord(true, VK_ESCAPE, 0x1b), true},
      {"esc without a character", KeyRecord(true, VK_ESCAPE, 0), true},
      {"ctrl+c as a key", KeyRecord(true, 'C', 3, LEFT_CTRL_PRESSED), true},
      {"byte above 127", KeyRecord(true, 0xDE, static_cast<char>(0xE4)), true},
      {"cursor up", KeyRecord(true, VK_UP, 0, ENHANCED_KEY), true},
      {"page down", KeyRecord(true, VK_NEXT, 0), true},
      {"home", KeyRecord(true, VK_HOME, 0), true},
      {"insert", KeyRecord(true, VK_INSERT, 0), true},
      {"delete", KeyRecord(true, VK_DELETE, 0), true},
      {"keypad 5 without num lock", KeyRecord(true, VK_CLEAR, 0), true},
      {"F1", KeyRecord(true, VK_F1, 0), true},
      {"F12", KeyRecord(true, VK_F12, 0), true},
      {"alt+x", KeyRecord(true, 'X', 0, kLeftAlt), true},
      {"ctrl+F5 style combination", KeyRecord(true, '2', 0, kRightCtrl), true},
      {"letter released", KeyRecord(false, 'A', 'a'), false},
      {"F1 released", KeyRecord(false, VK_F1, 0), false},
      {"lone shift", KeyRecord(true, VK_SHIFT, 0, SHIFT_PRESSED), false},
      {"lone left shift", KeyRecord(true, VK_LSHIFT, 0), false},
      {"lone ctrl", KeyRecord(true, VK_CONTROL, 0, LEFT_CTRL_PRESSED), false},
      {"lone alt", KeyRecord(true, VK_MENU, 0, kLeftAlt), false},
      {"right alt", KeyRecord(true, VK_RMENU, 0, RIGHT_ALT_PRESSED), false},
      {"ctrl pressed while alt is held",
       KeyRecord(true, VK_CONTROL, 0, kLeftAlt | LEFT_CTRL_PRESSED), false},
      {"caps lock", KeyRecord(true, VK_CAPITAL, 0), false},
      {"num lock", KeyRecord(true, VK_NUMLOCK, 0), false},
      {"scroll lock", KeyRecord(true, VK_SCROLL, 0), false},
      {"windows key", KeyRecord(true, VK_LWIN, 0), false},
      {"key with neither character nor extended code",
       KeyRecord(true, VK_APPS, 0), false},
      {"mouse", EventRecord(MOUSE_EVENT), false},
      {"focus", EventRecord(FOCUS_EVENT), false},
      {"menu", EventRecord(MENU_EVENT), false},
      {"window size", EventRecord(WINDOW_BUFFER_SIZE_EVENT), false},
  };
  for (const RecordCase& c : cases) {
    EXPECT_EQ(c.endsWait, KeyEndsWait(c.record)) << c.what;
  }
}

class WaitForKeyPressTest : public testing::Test {
 protected:
  void SetUp() override { sim::Reset(); }
  const DWORD kInitialMode =
      ENABLE_PROCESSED_INPUT | ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT;
};

TEST_F(WaitForKeyPressTest, IgnoresNoiseUntilAKeyAndRestoresTheMode) {
  sim::QueueInput(KeyRecord(false, VK_RETURN, '\r'));  // left from the start
  sim::QueueInput(EventRecord(FOCUS_EVENT));
  sim::QueueInput(KeyRecord(true, VK_SHIFT, 0, SHIFT_PRESSED));
  sim::QueueInput(KeyRecord(true, 'Q', 'Q', SHIFT_PRESSED));
  sim::QueueInput(KeyRecord(true, 'Z', 'z'));  // must stay unread

  WaitForKeyPress(false);

  EXPECT_EQ(1, sim::QueuedInputCount());
  EXPECT_EQ(std::vector<DWORD>({0, kInitialMode}), sim::ConsoleModeHistory());
  EXPECT_EQ(kInitialMode, sim::ConsoleInputMode());
  EXPECT_EQ(0, sim::OpenHandleCount());
  EXPECT_EQ(4, sim::CallCount("ReadConsoleInputA"));
}

TEST_F(WaitForKeyPressTest, CtrlBreakOrClosedWindowStillRestoresTheMode) {
  for (DWORD event : {DWORD(CTRL_BREAK_EVENT), DWORD(CTRL_CLOSE_EVENT)}) {
    SCOPED_TRACE(event);
    sim::Reset();
    sim::QueueInput(EventRecord(FOCUS_EVENT));
    sim::QueueControlEvent(event);
    sim::QueueInput(KeyRecord(true, 'A', 'a'));

    WaitForKeyPress(false);

    EXPECT_TRUE(sim::EndedByControlEvent());
    EXPECT_EQ(kInitialMode, sim::InputModeAtEnd());
  }
}

TEST_F(WaitForKeyPressTest, ControlHandlerIsOnlyThereDuringTheWait) {
  sim::QueueInput(KeyRecord(true, 'A', 'a'));

  WaitForKeyPress(false);

  EXPECT_EQ(1, sim::CallCount("ReadConsoleInputA"));
  EXPECT_EQ(0, sim::ControlHandlerCount());
  EXPECT_FALSE(sim::EndedByControlEvent());
}

TEST_F(WaitForKeyPressTest, ReadFailureEndsTheWaitAndRestoresTheMode) {
  sim::QueueInput(EventRecord(MOUSE_EVENT));
  sim::FailCall("ReadConsoleInputA", ERROR_INVALID_HANDLE, 2);
  sim::QueueInput(KeyRecord(true, 'A', 'a'));

  WaitForKeyPress(false);

  EXPECT_EQ(2, sim::CallCount("ReadConsoleInputA"));
  EXPECT_EQ(kInitialMode, sim::ConsoleInputMode());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST_F(WaitForKeyPressTest, NoConsoleDeviceEndsAtOnce) {
  sim::SetConsoleAvailable(false);
  sim::QueueInput(KeyRecord(true, 'A', 'a'));

  WaitForKeyPress(false);

  EXPECT_EQ(0, sim::CallCount("ReadConsoleInputA"));
  EXPECT_EQ(1, sim::QueuedInputCount());
  EXPECT_TRUE(sim::ConsoleModeHistory().empty());
}

TEST_F(WaitForKeyPressTest, UnknownModeLeavesTheConsoleAsItWas) {
  // The first query is standard output's, which tells a console.
  sim::FailCall("GetConsoleMode", ERROR_INVALID_HANDLE, 2);
  sim::QueueInput(KeyRecord(true, 'A', 'a'));

  WaitForKeyPress(false);

  EXPECT_TRUE(sim::ConsoleModeHistory().empty());
  EXPECT_EQ(0, sim::CallCount("ReadConsoleInputA"));
  EXPECT_EQ(0, sim::OpenHandleCount());
}

TEST_F(WaitForKeyPressTest, ModeThatCannotBeSetStillWaitsAndIsNotTouched) {
  sim::FailCall("SetConsoleMode", ERROR_INVALID_HANDLE);
  sim::QueueInput(KeyRecord(true, 'A', 'a'));
  sim::QueueInput(KeyRecord(true, 'B', 'b'));

  WaitForKeyPress(false);

  EXPECT_EQ(1, sim::QueuedInputCount());
  EXPECT_EQ(1, sim::CallCount("SetConsoleMode"));
  EXPECT_EQ(kInitialMode, sim::ConsoleInputMode());
  EXPECT_EQ(0, sim::OpenHandleCount());
}

}  // namespace

namespace {

struct PrintCase {
  const char* what;
  const char* format;
  const char* first;
  const char* second;
  const char* bytes;  // exactly as written to standard output
};

// The one output path, with the only conversions the texts use.
TEST(ConsolePrintTest, FormatsAndWritesTextModeLineEnds) {
  const PrintCase cases[] = {
      {"plain text", "Nothing to clean.", NULL, NULL, "Nothing to clean."},
      {"line feeds", "a\nb\n\n", NULL, NULL, "a\r\nb\r\n\r\n"},
      {"one text", "[%s]", "x", NULL, "[x]"},
      {"two texts", "%s and %s\n", "C:\\a b", "c:\\d", "C:\\a b and c:\\d\r\n"},
      {"line feed in an argument", "%s", "1\n2", NULL, "1\r\n2"},
      {"empty argument", "<%s>", "", NULL, "<>"},
      {"missing text", "<%s>", NULL, NULL, "<>"},
      {"percent sign", "100%% %s", "sure", NULL, "100% sure"},
      {"conversion of no text", "%d%c%", "unused", NULL, "%d%c%"},
      {"carriage return kept", "a\r\n", NULL, NULL, "a\r\r\n"},
      {"bytes above 127", "%s", "C:\\\xe4\x81\\x", NULL, "C:\\\xe4\x81\\x"},
  };
  for (const PrintCase& c : cases) {
    SCOPED_TRACE(c.what);
    sim::Reset();
    sim::SetStandardOutputIsConsole(false);

    ConsolePrint(c.format, c.first, c.second);

    EXPECT_EQ(c.bytes, sim::StandardOutputBytes());
  }
}

// Neither the length of a text nor a device that takes a few bytes at a time
// may cut it; every byte is written before the call returns.
TEST(ConsolePrintTest, LongTextIsWrittenWholeWhateverEachWriteTakes) {
  std::string longText;
  for (int i = 0; longText.size() < 5000; ++i) {
    longText += "line " + std::to_string(i) + "\n";
  }
  std::string expected;
  for (char c : longText) {
    if (c == '\n') expected += '\r';
    expected += c;
  }
  const DWORD limits[] = {0, 1, 7, 511, 512, 513};
  for (DWORD limit : limits) {
    SCOPED_TRACE(limit);
    sim::Reset();
    sim::LimitStandardOutputWrites(limit);

    ConsolePrint("%s", longText.c_str());

    EXPECT_EQ(expected, sim::StandardOutputBytes());
    EXPECT_EQ(longText, sim::ConsoleOutput());
  }
}

TEST(ConsolePrintTest, FailedWriteLosesOnlyTheRestOfThatText) {
  sim::Reset();
  std::string longText(2000, 'x');
  sim::FailCall("WriteFile to standard output", ERROR_NO_DATA, 2);

  ConsolePrint("%s", longText.c_str());
  ConsolePrint("%s", "next\n");

  EXPECT_EQ(std::string(512, 'x') + "next\r\n", sim::StandardOutputBytes());

  sim::Reset();
  sim::FailCall("GetStdHandle", ERROR_INVALID_HANDLE);
  ConsolePrint("%s", "lost");
  ConsolePrint("%s", "kept");
  EXPECT_EQ("kept", sim::StandardOutputBytes());
}

}  // namespace

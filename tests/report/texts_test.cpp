// The one place where every text the user sees is spelled out, as the
// program has always printed it (its typos included): every other test
// uses the constants.
#include "report/texts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextsTest, EveryTextKeepsItsWording) {
  const struct {
    const char* name;
    const char* text;
    const char* expected;
  } texts[] = {
      {"kBanner", kBanner,
       "Utility for cleaning infection by:\n"
       "I-Worm.BleBla.b\n"
       "I-Worm.Navidad\n"
       "I-Worm.Sircam.\n"
       " Version 1.1\n"},
      {"kOwnershipLine", kOwnershipLine,
       "Copyright (C) 2001-2026 Tarnwell. All rights reserved.\n"},
      {"kDownloadAdvice", kDownloadAdvice,
       "You can download free trial version of Tarnwell Anti-Virus from\n"
       "http://www.tarnwell.example/\n"},
      {"kRestartAdvice", kRestartAdvice,
       "You should close all programs and restart your PC now\n"
       "to finilize removal of this virus.\n"},
      {"kNothingToClean", kNothingToClean, "Nothing to clean."},
      {"kClosingPrompt", kClosingPrompt, "\nPress any key to continue."},
      {"kNeedsAdministrator", kNeedsAdministrator,
       "This program needs administrator rights to clean this computer.\n"
       "Log on as an administrator and run it again.\n"},
      {"kCannotDeleteFormat", kCannotDeleteFormat,
       "This program can not delete %s file. \n"
       "You can try to find and delete this file manually.\n\n"},
      {"kCannotRestoreFormat", kCannotRestoreFormat,
       "This program can not restore %s file. \n"
       "You can try to copy %s file to its place manually.\n\n"},
      {"kCannotRestoreAfterRestartFormat", kCannotRestoreAfterRestartFormat,
       "This program can not restore %s file now. \n"
       "After the restart you can try to copy %s file to its place "
       "manually.\n\n"},
      {"kCommandNotRestoredFormat", kCommandNotRestoredFormat,
       "This program can not restore the command that starts programs,\n"
       "so it left %s file in place.\n"
       "Do not delete this file until this program has restored the "
       "command.\n\n"},
      {"kProfileNotReachedFormat", kProfileNotReachedFormat,
       "This program can not open %s profile. \n"
       "Run it again while that user is logged on.\n\n"},
      {"kProfileLeftLoadedFormat", kProfileLeftLoadedFormat,
       "This program can not close %s profile. \n"
       "Restart your PC now.\n\n"},
      {"kBleBlaResult", kBleBlaResult,
       "Your registry was cleaned from links to I-Worm.BleBla.b virus \n"
       "but we recommend to use Tarnwell Anti-Virus to scan your hard "
       "drive.\n"},
      {"kNavidadResultA", kNavidadResultA,
       "Your registry was cleaned from links to I-Worm.Navidad virus \n"
       "but we recommend to use Tarnwell Anti-Virus to scan your hard "
       "drive.\n"},
      {"kNavidadResultB", kNavidadResultB,
       "Your registry was complitely cleaned from links to I-Worm.Navidad "
       "virus \n"
       "but we recomend to use antivirus program to scan your hard drive."},
      {"kSircamResult", kSircamResult,
       "Your registry was cleaned from links to I-Worm.Sircam virus \n"
       "but we recommend to use Tarnwell Anti-Virus to scan your hard "
       "drive.\n"},
      {"kCannotModifyStartupBatch", kCannotModifyStartupBatch,
       "This program can not modify c:\\autoexec.bat file. \n"
       "You can try to find and delete \"@win \\recycled\\sirc32.exe\" "
       "string from this file manually.\n\n"},
  };
  for (const auto& t : texts) {
    EXPECT_EQ(std::string(t.expected), t.text) << t.name;
  }
}

// The cannot-delete and command-not-restored texts are formats: one %s for
// the path and nothing else that printf would read.
TEST(TextsTest, FormatsNamingOneFileTakeOnlyThePath) {
  for (const char* text :
       {kCannotDeleteFormat, kCommandNotRestoredFormat,
        kProfileNotReachedFormat, kProfileLeftLoadedFormat}) {
    std::string format = text;
    size_t path = format.find("%s");
    ASSERT_NE(std::string::npos, path) << format;
    EXPECT_EQ(std::string::npos, format.find('%', path + 1)) << format;
    EXPECT_EQ(path, format.find('%')) << format;
  }
}

// The cannot-restore texts take two paths, the program's first, and nothing
// else that printf would read.
TEST(TextsTest, CannotRestoreFormatTakesTwoPaths) {
  for (std::string format :
       {kCannotRestoreFormat, kCannotRestoreAfterRestartFormat}) {
    SCOPED_TRACE(format);
    size_t program = format.find("%s");
    ASSERT_NE(std::string::npos, program);
    EXPECT_EQ(program, format.find('%'));
    size_t original = format.find("%s", program + 2);
    ASSERT_NE(std::string::npos, original);
    EXPECT_EQ(original, format.find('%', program + 2));
    EXPECT_EQ(std::string::npos, format.find('%', original + 2));
  }
}

TEST(TextsTest, DownloadAdviceAndOwnershipLineKeepTheirForm) {
  std::string download = kDownloadAdvice;
  EXPECT_EQ(0u, download.find("You can download free trial version of Tarnwell "
                              "Anti-Virus from\n"));
  EXPECT_EQ('\n', download.back());
  EXPECT_NE(std::string::npos, std::string(kOwnershipLine).find("Tarnwell"));
  EXPECT_EQ('\n', std::string(kOwnershipLine).back());
}

}  // namespace

// Every text the user sees, exactly as printed (typos included: they are the
// program's wording).
#ifndef WORMSWEEP_REPORT_TEXTS_H_
#define WORMSWEEP_REPORT_TEXTS_H_

// ---- The run ----
const char kBanner[] =
    "Utility for cleaning infection by:\n"
    "I-Worm.BleBla.b\n"
    "I-Worm.Navidad\n"
    "I-Worm.Sircam.\n"
    " Version 1.1\n";
const char kOwnershipLine[] =
    "Copyright (C) 2001-2026 Tarnwell. All rights reserved.\n";
const char kDownloadAdvice[] =
    "You can download free trial version of Tarnwell Anti-Virus from\n"
    "http://www.tarnwell.example/\n";
const char kRestartAdvice[] =
    "You should close all programs and restart your PC now\n"
    "to finilize removal of this virus.\n";
const char kNothingToClean[] = "Nothing to clean.";
// Instead of the cleaning when the user lacks the rights it needs.
const char kNeedsAdministrator[] =
    "This program needs administrator rights to clean this computer.\n"
    "Log on as an administrator and run it again.\n";
const char kClosingPrompt[] = "\nPress any key to continue.";

// ---- A file that could not be deleted ----
// A printf format: %s is the file's full path.
const char kCannotDeleteFormat[] =
    "This program can not delete %s file. \n"
    "You can try to find and delete this file manually.\n\n";

// ---- A system program that could not be put back ----
// A printf format: the first %s is the program's full path, the second that
// of the saved original to copy into its place.
const char kCannotRestoreFormat[] =
    "This program can not restore %s file. \n"
    "You can try to copy %s file to its place manually.\n\n";

// ---- A system program that can be put back only after the restart ----
// A printf format: the first %s is the program's full path, the second that
// of the saved original to copy into its place once its deletion, which
// waits for the restart, has been carried out.
const char kCannotRestoreAfterRestartFormat[] =
    "This program can not restore %s file now. \n"
    "After the restart you can try to copy %s file to its place manually.\n\n";

// ---- An open command that could not be put back ----
// A printf format: %s is the full path of the worm's program that the
// command still starts.
const char kCommandNotRestoredFormat[] =
    "This program can not restore the command that starts programs,\n"
    "so it left %s file in place.\n"
    "Do not delete this file until this program has restored the command.\n\n";

// ---- Users who are not logged on ----
// A printf format: %s is the folder of a user's profile whose registry could
// not be loaded (its file missing, damaged, in use or not readable), so that
// the worms' traces of that user were not looked for.
const char kProfileNotReachedFormat[] =
    "This program can not open %s profile. \n"
    "Run it again while that user is logged on.\n\n";
// A printf format: %s is the folder of a user's profile whose registry stays
// loaded: at a logon before the restart that user would get a temporary
// profile.
const char kProfileLeftLoadedFormat[] =
    "This program can not close %s profile. \n"
    "Restart your PC now.\n\n";

// ---- The cleaners' results ----
const char kBleBlaResult[] =
    "Your registry was cleaned from links to I-Worm.BleBla.b virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
const char kNavidadResultA[] =
    "Your registry was cleaned from links to I-Worm.Navidad virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";
// Without a final line feed: the download advice follows on the same line.
const char kNavidadResultB[] =
    "Your registry was complitely cleaned from links to I-Worm.Navidad virus \n"
    "but we recomend to use antivirus program to scan your hard drive.";
const char kSircamResult[] =
    "Your registry was cleaned from links to I-Worm.Sircam virus \n"
    "but we recommend to use Tarnwell Anti-Virus to scan your hard drive.\n";

// ---- The startup batch file ----
const char kCannotModifyStartupBatch[] =
    "This program can not modify c:\\autoexec.bat file. \n"
    "You can try to find and delete \"@win \\recycled\\sirc32.exe\" string "
    "from this file manually.\n\n";

#endif  // WORMSWEEP_REPORT_TEXTS_H_

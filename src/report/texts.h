// The fixed texts that the run itself prints, exactly as the user sees them.
#ifndef WORMSWEEP_RUN_RUN_TEXTS_H_
#define WORMSWEEP_RUN_RUN_TEXTS_H_

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
const char kClosingPrompt[] = "\nPress any key to continue.";

#endif  // WORMSWEEP_RUN_RUN_TEXTS_H_

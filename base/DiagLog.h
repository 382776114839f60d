#pragma once
// The diagnostic log: one UTF-8 text file per month of start-up in the temporary folder, with
// CR LF line ends. Each entry opens, appends and closes the file; an entry that cannot be
// written (folder missing, another writer busy with the file) is lost without a word.

#include "base/Format.h"

void DiagLog(const char* path, const char* format, ...) DL_PRINTF(2, 3);

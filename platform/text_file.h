// Creating the transcript file, the one file the program writes.
#ifndef VEXMOR_PLATFORM_TEXT_FILE_H_
#define VEXMOR_PLATFORM_TEXT_FILE_H_

#include <stdio.h>

// Creates `path`, or truncates it when it exists, and opens it for writing as a
// buffered text stream that other processes may read and write meanwhile (but
// not delete). Returns null when it cannot be opened.
FILE* CreateTextFile(const char* path);

#endif  // VEXMOR_PLATFORM_TEXT_FILE_H_

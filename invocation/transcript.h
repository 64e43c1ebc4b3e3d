// The optional transcript: a text file that receives a copy of everything the
// session prints (but the banner) and of every line the user types.
#ifndef VEXMOR_INVOCATION_TRANSCRIPT_H_
#define VEXMOR_INVOCATION_TRANSCRIPT_H_

#include <stdio.h>

#if defined(__GNUC__)
#define VEXMOR_PRINTF(format_index, first_arg) \
  __attribute__((format(printf, format_index, first_arg)))
#else
#define VEXMOR_PRINTF(format_index, first_arg)
#endif

// The current transcript, or null. One per process.
extern FILE* gTranscript;

// Formats onto standard output, then formats the same again onto `transcript`
// when there is one. No intermediate buffer, so a text of any length is written
// whole to both.
void SessionPrint(FILE* transcript, const char* format, ...) VEXMOR_PRINTF(2, 3);

// Formats onto standard output alone, for the texts the transcript never holds.
void ConsolePrint(const char* format, ...) VEXMOR_PRINTF(1, 2);

// SessionPrint onto `console` in place of standard output.
void SessionPrintTo(FILE* console, FILE* transcript, const char* format, ...) VEXMOR_PRINTF(3, 4);

// Handles one "/o:File" argument: opens everything after its first colon as the
// new transcript. No colon, or nothing after it: does nothing. A file that cannot
// be opened leaves the program without a transcript and says so on the console.
void OpenTranscript(const char* option);

// Copies a line just read from standard input into the transcript, as typed.
void EchoLine(const char* line);

// Writes out everything pending on standard output and in the transcript.
// Returns false once standard output can no longer be written, whether now or
// earlier: closed, full, or a pipe whose reader has gone.
bool FlushOutput();

// Closes the transcript, if there is one.
void CloseTranscript();

#endif  // VEXMOR_INVOCATION_TRANSCRIPT_H_

// Reading the command line: vexmor <ServerName> [/o:OutputFile], or /? for help.
#ifndef VEXMOR_INVOCATION_ARGUMENTS_H_
#define VEXMOR_INVOCATION_ARGUMENTS_H_

// Room for a server name of at most 127 characters and its terminating zero.
constexpr int kServerNameSize = 128;

// Takes the server name (the last argument that is not an option) into `server`,
// which must start empty, and opens the transcript of each /o option. Prints the
// usage text and returns false when there are no arguments or one asks for help.
// A name that does not fit is reported and also refused.
bool ParseArguments(int argc, char** argv, char (&server)[kServerNameSize]);

// Writes the usage text to the console.
void PrintUsage();

#endif  // VEXMOR_INVOCATION_ARGUMENTS_H_

#include "invocation/arguments.h"

#include <stdio.h>
#include <string.h>

#include "invocation/transcript.h"

bool ParseArguments(int argc, char** argv, char (&server)[kServerNameSize]) {
  if (argc < 2) {
    PrintUsage();
    return false;
  }
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] == '-' || arg[0] == '/') {
      switch (arg[1]) {
        case '?':
          PrintUsage();
          return false;
        case 'o':
        case 'O':
          OpenTranscript(arg);
          break;
        default:  // Unknown options are ignored.
          break;
      }
      continue;
    }
    size_t length = strlen(arg);
    if (length >= sizeof server) {
      printf("The server name is longer than %d characters.\n", kServerNameSize - 1);
      return false;
    }
    memcpy(server, arg, length + 1);
  }
  return true;
}

void PrintUsage() {
  static const char* const kUsage[] = {
      "Simulates a Pellomar session at a DOS prompt.\n\n",
      "USAGE: vexmor <ServerName> [/o:OutputFile]\n\n",
      "  ServerName      The server you want to remote console to.\n",
      "  /o:OutputFile   [optional] The name of a text file you would like\n",
      "                  the information in the remote console session sent\n",
      "                  to, in addition to the DOS console screen.\n",
      "\nIf the ServerName or OutputFile has spaces, enclose the argument in\n",
      "quotation marks. Please note that this is not a 'live' console; it\n",
      "merely sends the commands that you type and returns the results.\n",
      // One write on purpose: the notice line and the version.
      ("\nvexmor: a remote console for Pellomar servers through the Velmora runtime.\n"
       "version 1.0a\n"),
  };
  for (const char* text : kUsage)
    fputs(text, stdout);
}

// Starts a program with a command line given whole, as a Windows command prompt
// passes it on, so that the tests see how vexmor.exe splits a command line with
// quotes in it. The command line comes from the environment variable
// VEXMOR_COMMAND_LINE; the program gets this process's standard input, output
// and error, and its exit status becomes this one's.
#include <stdio.h>
#include <windows.h>

int main() {
  static char line[32768];
  DWORD n = GetEnvironmentVariableA("VEXMOR_COMMAND_LINE", line, sizeof line);
  if (n == 0 || n >= sizeof line) {
    fprintf(stderr, "vexmor_command_line: VEXMOR_COMMAND_LINE is not set\n");
    return 125;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    fprintf(stderr, "vexmor_command_line: cannot start %s: error %lu\n", line,
            static_cast<unsigned long>(GetLastError()));
    return 126;
  }
  DWORD status = 126;
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

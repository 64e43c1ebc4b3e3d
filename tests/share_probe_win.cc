// Tells how another program may use a file that vexmor holds open: whether it
// can open it for reading and writing, and whether it can delete it. Prints one
// line for each, "read-write: yes" or "read-write: no", then "delete: ..." the
// same way.
#include <stdio.h>
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: vexmor_share_probe FILE\n");
    return 2;
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  printf("read-write: %s\n", file != INVALID_HANDLE_VALUE ? "yes" : "no");
  if (file != INVALID_HANDLE_VALUE)
    CloseHandle(file);
  printf("delete: %s\n", DeleteFileA(argv[1]) ? "yes" : "no");
  return 0;
}

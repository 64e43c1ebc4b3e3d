#include "platform/text_file.h"

#include <share.h>

FILE* CreateTextFile(const char* path) {
  // Text mode turns each "\n" into "\r\n"; _SH_DENYNO lets others read and write
  // the file while the session runs.
  return _fsopen(path, "w", _SH_DENYNO);
}

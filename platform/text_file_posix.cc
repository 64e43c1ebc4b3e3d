#include "platform/text_file.h"

FILE* CreateTextFile(const char* path) {
  return fopen(path, "w");
}

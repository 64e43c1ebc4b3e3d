// Runs a fuzz target over files and folders of inputs without libFuzzer, so that
// a build with any compiler replays the seed corpora (and any input a fuzzer
// stopped on) in its ordinary test run. Arguments starting with "-" are
// libFuzzer's options and are skipped.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr)
    LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::filesystem::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-')
      continue;
    std::filesystem::path path = argv[i];
    if (!std::filesystem::is_directory(path)) {
      inputs.push_back(path);
      continue;
    }
    std::vector<std::filesystem::path> folder;
    for (const auto& entry : std::filesystem::directory_iterator(path)) {
      if (entry.is_regular_file())
        folder.push_back(entry.path());
    }
    std::sort(folder.begin(), folder.end());
    inputs.insert(inputs.end(), folder.begin(), folder.end());
  }
  for (const std::filesystem::path& path : inputs) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      fprintf(stderr, "cannot read %s\n", path.c_str());
      return 1;
    }
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }
  fprintf(stderr, "%zu inputs replayed\n", inputs.size());
  // Replaying nothing means a missing corpus, not a success.
  return inputs.empty() ? 1 : 0;
}

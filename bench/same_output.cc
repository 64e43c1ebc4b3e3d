#include "bench/same_output.h"

#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

namespace {

constexpr std::string_view kAfterStamp = "] COMMAND SENT: ";

// A whole file, mapped read-only.
class Mapped {
 public:
  explicit Mapped(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
      if (fd >= 0)
        close(fd);
      return;
    }
    ok_ = true;
    size_ = static_cast<size_t>(st.st_size);
    if (size_ > 0) {
      data_ = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
      if (data_ == MAP_FAILED) {
        data_ = nullptr;
        ok_ = false;
      }
    }
    close(fd);
  }
  ~Mapped() {
    if (data_ != nullptr)
      munmap(data_, size_);
  }
  Mapped(const Mapped&) = delete;
  Mapped& operator=(const Mapped&) = delete;

  bool ok() const { return ok_; }
  std::string_view text() const {
    return data_ != nullptr ? std::string_view(static_cast<const char*>(data_), size_)
                            : std::string_view();
  }

 private:
  bool ok_ = false;
  void* data_ = nullptr;
  size_t size_ = 0;
};

// Whether a time stamp HH:MM:SS starts at `at`, inside a record.
bool StampAt(std::string_view text, size_t at) {
  if (at == 0 || text[at - 1] != '[' || text.size() - at < 8 + kAfterStamp.size() ||
      text.substr(at + 8, kAfterStamp.size()) != kAfterStamp)
    return false;
  for (size_t i = 0; i < 8; ++i) {
    char c = text[at + i];
    if (i % 3 == 2 ? c != ':' : (c < '0' || c > '9'))
      return false;
  }
  return true;
}

// The offset of the first byte at or after `from` where `a` and `b`, of equal
// size, differ; their size if none does.
size_t FirstDifference(std::string_view a, std::string_view b, size_t from) {
  constexpr size_t kBlock = 4096;
  for (size_t at = from; at < a.size(); at += kBlock) {
    size_t n = a.size() - at < kBlock ? a.size() - at : kBlock;
    if (memcmp(a.data() + at, b.data() + at, n) != 0) {
      while (a[at] == b[at])
        ++at;
      return at;
    }
  }
  return a.size();
}

}  // namespace

bool SameOutput(const std::string& a, const std::string& b, std::string* why) {
  Mapped ma(a);
  Mapped mb(b);
  if (!ma.ok() || !mb.ok()) {
    *why = "cannot read " + (ma.ok() ? b : a);
    return false;
  }
  std::string_view ta = ma.text();
  std::string_view tb = mb.text();
  if (ta.size() != tb.size()) {
    *why = a + " holds " + std::to_string(ta.size()) + " bytes, " + b + " " +
           std::to_string(tb.size());
    return false;
  }
  for (size_t at = 0;;) {
    size_t diff = FirstDifference(ta, tb, at);
    if (diff == ta.size())
      return true;
    // A difference is allowed only inside the time stamp of a record.
    size_t s = diff >= 7 ? diff - 7 : 0;
    while (s <= diff && !(StampAt(ta, s) && StampAt(tb, s)))
      ++s;
    if (s > diff) {
      *why = a + " and " + b + " differ at byte " + std::to_string(diff);
      return false;
    }
    at = s + 8;
  }
}

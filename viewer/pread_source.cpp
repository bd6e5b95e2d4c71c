// The positional read on systems with pread (the native build: tests and benchmarks).
#include "viewer/render.h"

#if !defined(_WIN32)

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ned {

bool PreadSampleSource::open(const std::string& path) {
  close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  rewind();
  return fd_ >= 0;
}

void PreadSampleSource::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

size_t PreadSampleSource::readAt(int64_t offset, unsigned char* into, size_t bytes) {
  size_t done = 0;
  while (fd_ >= 0 && done < bytes) {
    const ssize_t got = ::pread(fd_, into + done, bytes - done,
                                static_cast<off_t>(offset) + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

}  // namespace ned

#endif

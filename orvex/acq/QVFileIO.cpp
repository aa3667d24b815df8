#include "acq/QVFileIO.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "acq/StreamBytes.h"

using orvex::ObjectHeader;

CQVFileIO::~CQVFileIO() { Close(); }

bool CQVFileIO::Open(const char* path, int flags, char access) {
  if (!path || access_) return false;
  int fd = ::open(path, flags | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // Replay and recording both walk the file front to back.
  (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  fd_ = fd;
  access_ = access;
  return true;
}

bool CQVFileIO::OpenForWriting(const char* path) { return Open(path, O_WRONLY | O_CREAT, 'w'); }

bool CQVFileIO::OpenForReading(const char* path) { return Open(path, O_RDONLY, 'r'); }

int CQVFileIO::Close() {
  if (!access_) return -1;
  if (access_ == 'w') {
    // A recording over an older, longer file must not keep the old tail.
    off_t end = ::lseek(fd_, 0, SEEK_CUR);
    if (end >= 0) (void)::ftruncate(fd_, end);
  }
  ::close(fd_);
  fd_ = -1;
  access_ = 0;
  index_.clear();
  return 0;
}

int64_t CQVFileIO::Read(void* buffer, size_t length) {
  if (fd_ < 0) return -1;
  auto* bytes = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::read(fd_, bytes + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done ? static_cast<int64_t>(done) : -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t CQVFileIO::Write(const void* buffer, size_t length) {
  if (fd_ < 0 || access_ != 'w') return -1;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::write(fd_, bytes + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done ? static_cast<int64_t>(done) : -1;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

int64_t CQVFileIO::Position() const { return fd_ < 0 ? -1 : ::lseek(fd_, 0, SEEK_CUR); }

bool CQVFileIO::SeekTo(uint64_t position) {
  return fd_ >= 0 && ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool CQVFileIO::StepBack(uint32_t bytes) { return fd_ >= 0 && ::lseek(fd_, -static_cast<off_t>(bytes), SEEK_CUR) >= 0; }

int64_t CQVFileIO::FileSize() const {
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) return -1;
  return info.st_size;
}

int64_t CQVFileIO::ReadPayload(void* buffer, size_t length) {
  int64_t n = Read(buffer, length);
  if (n != static_cast<int64_t>(length)) {
    Close();
    return -1;
  }
  return n;
}

bool CQVFileIO::ObjectFits(const ObjectHeader& header, uint64_t position) const {
  if (header.size < orvex::kObjectHeaderBytes) return false;
  int64_t fileSize = FileSize();
  return fileSize >= 0 && position + header.size <= static_cast<uint64_t>(fileSize);
}

bool CQVFileIO::PeekHeader(ObjectHeader& header) {
  if (!IsReading()) return false;
  int64_t position = Position();
  uint8_t raw[orvex::kObjectHeaderBytes];
  int64_t n = Read(raw, sizeof raw);
  if (n > 0) SeekTo(static_cast<uint64_t>(position));
  if (n != static_cast<int64_t>(sizeof raw)) return false;
  header = orvex::DecodeObjectHeader(raw);
  return ObjectFits(header, static_cast<uint64_t>(position));
}

void CQVFileIO::AddToIndex(uint32_t type, uint64_t position, uint32_t size) {
  if (index_.empty() || index_.back().position < position) index_.push_back({type, position, size});
}

int CQVFileIO::SkipObject() {
  ObjectHeader header;
  if (!PeekHeader(header)) return -1;
  uint64_t position = static_cast<uint64_t>(Position());
  if (!SeekTo(position + header.size)) return -1;
  AddToIndex(header.type, position, header.size);
  if (header.type == orvex::kAcquisitionObject) ++acquisitionCounter;
  return 0;
}

int32_t CQVFileIO::SeekToAcquisition(uint32_t k) {
  if (!IsReading()) return -1;
  uint32_t count = 0;
  for (const IndexEntry& entry : index_) {
    if (entry.type != orvex::kAcquisitionObject) continue;
    if (++count > k) {
      SeekTo(entry.position);
      return static_cast<int32_t>(k);
    }
  }
  // Unseen part: scan on from behind the last indexed object, wherever an
  // earlier backward seek left the file, so that nothing is counted twice.
  if (!index_.empty()) SeekTo(index_.back().position + index_.back().size);
  for (;;) {
    ObjectHeader header;
    if (!PeekHeader(header)) return static_cast<int32_t>(count);
    if (header.type == orvex::kAcquisitionObject && ++count > k) return static_cast<int32_t>(k);
    uint64_t position = static_cast<uint64_t>(Position());
    if (!SeekTo(position + header.size)) return static_cast<int32_t>(count);
    AddToIndex(header.type, position, header.size);
  }
}

int32_t CQVFileIO::AcquisitionCount() const {
  int32_t count = 0;
  for (const IndexEntry& entry : index_)
    if (entry.type == orvex::kAcquisitionObject) ++count;
  return count;
}

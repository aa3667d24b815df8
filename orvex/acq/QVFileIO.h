// Stream-file reader and writer ("qvIO" files): one open file, the index of the
// objects seen so far and the number of the last acquisition read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvex {

constexpr uint32_t kStreamVersion = 1;
constexpr uint32_t kFileHeaderBytes = 8;
constexpr uint32_t kObjectHeaderBytes = 8;
constexpr uint32_t kInitHeaderBytes = 12;

enum StreamObjectType : uint32_t {
  FOID_InitV0x0001 = 1,
  FPGAConfigV0x0001 = 2,
  kAcquisitionObject = 3,
};

struct ObjectHeader {
  uint32_t type = 0;
  uint32_t size = 0;  // the whole object, header included
};

}  // namespace orvex

class CQVFileIO {
 public:
  struct IndexEntry {
    uint32_t type;
    uint64_t position;  // first header byte
    uint32_t size;      // whole object
  };

  CQVFileIO() = default;
  ~CQVFileIO();
  CQVFileIO(const CQVFileIO&) = delete;
  CQVFileIO& operator=(const CQVFileIO&) = delete;

  // Opening: an existing file is kept (close cuts it at the write position),
  // a missing one is created. Both give a sequential-scan hint.
  bool OpenForWriting(const char* path);
  bool OpenForReading(const char* path);
  // For 'w' the file is first cut at the current position. -1 when not open.
  int Close();

  char Access() const { return access_; }
  bool IsReading() const { return access_ == 'r'; }
  bool IsWriting() const { return access_ == 'w'; }
  int FileDescriptor() const { return fd_; }

  // Plain positioned I/O. Read and Write loop over partial transfers and give
  // the bytes moved (-1 on an error before anything moved).
  int64_t Read(void* buffer, size_t length);
  int64_t Write(const void* buffer, size_t length);
  bool WriteAll(const void* buffer, size_t length) { return Write(buffer, length) == static_cast<int64_t>(length); }
  int64_t Position() const;
  bool SeekTo(uint64_t position);
  bool StepBack(uint32_t bytes);
  int64_t FileSize() const;

  // Reads exactly length payload bytes; a short read closes the stream (-1).
  int64_t ReadPayload(void* buffer, size_t length);

  // Reads the 8-byte header at the current position and steps back. False at
  // the end of the file, when not reading, or when the header cannot describe
  // an object (smaller than its header, or running past the end of the file).
  bool PeekHeader(orvex::ObjectHeader& header);
  // Whether an object of this header at this position fits the file.
  bool ObjectFits(const orvex::ObjectHeader& header, uint64_t position) const;

  // Appends unless the object is already indexed (the index is in file order).
  void AddToIndex(uint32_t type, uint64_t position, uint32_t size);
  // Steps over the object at the current position: 0, or -1 (see PeekHeader).
  int SkipObject();
  // Positions on acquisition k (from 0): k, or the number of acquisitions in
  // the file when it ends first. The caller sets the counter to result - 1.
  int32_t SeekToAcquisition(uint32_t k);
  // Acquisition entries in the index (the acquisitions seen so far).
  int32_t AcquisitionCount() const;

  const std::vector<IndexEntry>& Index() const { return index_; }
  int32_t acquisitionCounter = -1;

 private:
  bool Open(const char* path, int flags, char access);

  int fd_ = -1;
  char access_ = 0;
  std::vector<IndexEntry> index_;
};

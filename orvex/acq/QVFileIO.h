#pragma once

// Stream-file reader and writer ("qvIO" files).
class CQVFileIO {
 public:
  CQVFileIO() = default;
  ~CQVFileIO();
  CQVFileIO(const CQVFileIO&) = delete;
  CQVFileIO& operator=(const CQVFileIO&) = delete;
};

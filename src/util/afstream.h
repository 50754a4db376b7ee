#pragma once
#include <fstream>
#include <streambuf>
#include <string>

#include "util/FileSystem.h"

namespace kickstand {

/// An output file stream that never leaves a half-written destination: it
/// writes to a temporary file beside the destination, and only commit()
/// renames that file over the destination. Every failure is thrown as a
/// std::runtime_error; an uncommitted temporary file is removed on
/// destruction.
class afstream : public std::ofstream {
 public:
  /// Works on the operating system's files, or on files.
  explicit afstream(FileSystem& files = FileSystem::System());
  ~afstream() override;

  /// Starts an empty temporary file for destination.
  void open(const std::string& destination, std::ios_base::openmode mode = std::ios_base::out);
  /// As open(), then copies the destination's current content into the
  /// temporary file; a missing or empty destination throws.
  void open_append(const std::string& destination,
                   std::ios_base::openmode mode = std::ios_base::out);
  /// Replaces the destination with the written file, keeping the old
  /// destination's permission bits. The written file is synced before the
  /// rename and the directory after it, so a power cut leaves the old file
  /// or the new one.
  void commit();

 private:
  /// The stream's buffer: writes reach the temporary file through files, not
  /// through the standard file buffer, which the seam could not see.
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(FileSystem& files) : files_(files) {}
    ~Buffer() override { Close(); }
    void Attach(int fd) { fd_ = fd; setp(data_, data_ + sizeof data_); }
    bool IsOpen() const { return fd_ >= 0; }
    /// Writes what is buffered and closes; false when either failed.
    bool Close();
    /// The error of the last write or close that failed.
    int Error() const { return error_; }

   protected:
    int overflow(int c) override;
    int sync() override;

   private:
    bool Drain();

    FileSystem& files_;
    int fd_ = -1;
    int error_ = 0;
    char data_[8192];
  };

  void CopyDestination();
  void SyncTemporaryFile();
  void SyncDirectory();
  void RenameIntoPlace();

  FileSystem& files_;
  Buffer buffer_;
  std::string temporaryPath_;
  std::string destination_;
};

}  // namespace kickstand

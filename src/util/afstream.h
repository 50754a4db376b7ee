#pragma once
#include <fstream>
#include <functional>
#include <streambuf>
#include <string>

#include "util/FileSystem.h"

namespace kickstand {

class Interruption;

/// What a run asks of its file replacements besides the replacement itself.
struct ReplacementRules {
  /// A replacement begun before this interruption and overtaken by it is
  /// abandoned: the writing stops, the temporary file is removed and the
  /// destination stays as it was; the stream throws the interruption's text.
  const Interruption* interruption = nullptr;
  /// Set only while no other writer can be at work (the run holds the host
  /// tree's lock): before a replacement begins, the temporary files that
  /// killed writers left beside its destination (its name, a dot and six
  /// letters or digits) are removed, and each is passed here.
  std::function<void(const std::string& path)> clearedDebris;
};

/// An output file stream that never leaves a half-written destination: it
/// writes to a temporary file beside the destination, and only commit()
/// renames that file over the destination. Every failure is thrown as a
/// std::runtime_error; an uncommitted temporary file is removed on
/// destruction. A destination that is a symbolic link stays one: the link's
/// final target is replaced, from a temporary file beside it.
class afstream : public std::ofstream {
 public:
  /// Works on the operating system's files, or on files.
  explicit afstream(FileSystem& files = FileSystem::System(), ReplacementRules rules = {});
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
    /// Writes to fd from now on; stops writing once abandonOn is interrupted.
    void Attach(int fd, const Interruption* abandonOn) {
      fd_ = fd;
      abandonOn_ = abandonOn;
      setp(data_, data_ + sizeof data_);
    }
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
    const Interruption* abandonOn_ = nullptr;
    char data_[8192];
  };

  std::string FinalTarget(std::string path);
  void ClearDebris(const std::string& destination);
  void ThrowIfAbandoned() const;
  void CopyDestination();
  void SyncTemporaryFile();
  void SyncDirectory();
  void RenameIntoPlace();

  FileSystem& files_;
  ReplacementRules rules_;
  /// The interruption that abandons this replacement: one that had not
  /// come when it was opened.
  const Interruption* abandonOn_ = nullptr;
  Buffer buffer_;
  std::string temporaryPath_;
  std::string destination_;
};

}  // namespace kickstand

#pragma once
#include <fstream>
#include <string>

namespace kickstand {

/// An output file stream that never leaves a half-written destination: it
/// writes to a temporary file beside the destination, and only commit()
/// renames that file over the destination. Every failure is thrown as a
/// std::runtime_error; an uncommitted temporary file is removed on
/// destruction.
class afstream : public std::ofstream {
 public:
  afstream() = default;
  ~afstream() override;

  /// Starts an empty temporary file for destination.
  void open(const std::string& destination, std::ios_base::openmode mode = std::ios_base::out);
  /// As open(), then copies the destination's current content into the
  /// temporary file; a missing or empty destination throws.
  void open_append(const std::string& destination,
                   std::ios_base::openmode mode = std::ios_base::out);
  /// Replaces the destination with the written file, keeping the old
  /// destination's permission bits.
  void commit();

 private:
  void RenameIntoPlace();

  std::string temporaryPath_;
  std::string destination_;
};

}  // namespace kickstand

#pragma once
#include <exception>
#include <string>

namespace kickstand {

/// Base of the system's exceptions: one fully composed message.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

class NotImplementedException : public Exception {
 public:
  explicit NotImplementedException(const std::string& method);
};

class MethodFailedException : public Exception {
 public:
  MethodFailedException(const std::string& method, const std::string& pluginName,
                        const std::string& reason);
};

/// A plugin's work ended before it finished: the waits of its activation
/// gave up what they waited for, which was ended.
class CutShortException : public Exception {
 public:
  using Exception::Exception;
};

/// A plugin's activation ran past its time limit: "timed out after SECS s".
class TimedOutException : public CutShortException {
 public:
  explicit TimedOutException(unsigned seconds);
};

/// The run was interrupted by a signal while the work ran: "interrupted by
/// SIGTERM".
class InterruptedException : public CutShortException {
 public:
  using CutShortException::CutShortException;
};

class InvalidPluginException : public Exception {
 public:
  InvalidPluginException(const std::string& path, const std::string& reason);
};

}  // namespace kickstand

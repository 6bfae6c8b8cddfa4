#pragma once

#include <stdexcept>
#include <string>

namespace runtime {

// Base of every failure the program reports: carries the message the user sees.
class Exception : public std::exception {
  public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const std::string& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return message_.c_str(); }
    // The class name shown by the last-resort error box.
    virtual const char* ClassName() const noexcept { return "Exception"; }

  private:
    std::string message_;
};

// Ends a handler without any message.
class EAbort : public Exception {
  public:
    EAbort() : Exception("Operation aborted") {}
    const char* ClassName() const noexcept override { return "EAbort"; }
};

class EConvertError : public Exception {
  public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EConvertError"; }
};

class EInOutError : public Exception {
  public:
    EInOutError(std::string message, int error_code)
        : Exception(std::move(message)), error_code_(error_code) {}
    int ErrorCode() const noexcept { return error_code_; }
    const char* ClassName() const noexcept override { return "EInOutError"; }

  private:
    int error_code_;
};

class EOSError : public Exception {
  public:
    EOSError(std::string message, int error_code)
        : Exception(std::move(message)), error_code_(error_code) {}
    int ErrorCode() const noexcept { return error_code_; }
    const char* ClassName() const noexcept override { return "EOSError"; }

  private:
    int error_code_;
};

}  // namespace runtime

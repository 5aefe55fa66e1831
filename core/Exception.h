#pragma once
// The common base of every error the libraries raise. Each carries the
// message text that the user sees.

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string Message() const { return what(); }
};

// Declares `class Name : public Base` with the message constructor.
#define TESSEL_DECLARE_EXCEPTION(Name, Base)                              \
  class Name : public Base {                                              \
  public:                                                                 \
    explicit Name(const std::string& message) : Base(message) {}          \
  }

TESSEL_DECLARE_EXCEPTION(EStreamError, Exception);
TESSEL_DECLARE_EXCEPTION(EReadError, EStreamError);
TESSEL_DECLARE_EXCEPTION(EWriteError, EStreamError);
TESSEL_DECLARE_EXCEPTION(EFOpenError, EStreamError);
TESSEL_DECLARE_EXCEPTION(EFCreateError, EStreamError);
TESSEL_DECLARE_EXCEPTION(EOutOfData, Exception);

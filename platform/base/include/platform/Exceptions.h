// The exception classes of the layer.
//
// Every exception the system raises derives from `Exception`, which carries the message text
// and the class name that reports and the history log show. The classes live in the layer so
// that one type is seen on both sides of the plug-in boundary. Areas declare their own classes
// with TARVIK_EXCEPTION so that ClassName() always matches the C++ name.
#pragma once

#include <exception>

#include "platform/Types.h"

class Exception : public std::exception {
public:
    Exception() = default;
    explicit Exception(String message) : message_(std::move(message)) {}
    ~Exception() override;

    const String& Message() const noexcept { return message_; }
    void SetMessage(String message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    String message_;
};

#define TARVIK_EXCEPTION(Name, Base)                                            \
    class Name : public Base {                                                  \
    public:                                                                     \
        using Base::Base;                                                       \
        const char* ClassName() const noexcept override { return #Name; }       \
    }

// Silent exception: unwinds without a report.
TARVIK_EXCEPTION(EAbort, Exception);
TARVIK_EXCEPTION(EConvertError, Exception);
TARVIK_EXCEPTION(EListError, Exception);
TARVIK_EXCEPTION(EStringListError, Exception);
TARVIK_EXCEPTION(EInvalidOperation, Exception);
TARVIK_EXCEPTION(EInvalidCast, Exception);
TARVIK_EXCEPTION(EInvalidPointer, Exception);
TARVIK_EXCEPTION(EOutOfResources, Exception);
TARVIK_EXCEPTION(EComponentError, Exception);
TARVIK_EXCEPTION(ERangeError, Exception);
TARVIK_EXCEPTION(EIntOverflow, Exception);
TARVIK_EXCEPTION(EZeroDivide, Exception);
TARVIK_EXCEPTION(EStreamError, Exception);
TARVIK_EXCEPTION(EFilerError, EStreamError);
TARVIK_EXCEPTION(EReadError, EFilerError);
TARVIK_EXCEPTION(EWriteError, EFilerError);
TARVIK_EXCEPTION(EFOpenError, EStreamError);
TARVIK_EXCEPTION(EFCreateError, EStreamError);
TARVIK_EXCEPTION(ERegistryException, Exception);
TARVIK_EXCEPTION(EIniFileException, Exception);

// Errors that carry an operating-system or run-time error code.
class EInOutError : public Exception {
public:
    EInOutError(String message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    const char* ClassName() const noexcept override { return "EInOutError"; }
    int ErrorCode = 0;
};

class EOSError : public Exception {
public:
    using Exception::Exception;
    EOSError(String message, DWORD errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    const char* ClassName() const noexcept override { return "EOSError"; }
    DWORD ErrorCode = 0;
};

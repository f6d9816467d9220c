// The crash reporter's own exception classes; reports print their class names, so they live in
// the global namespace.
#pragma once

#include <exception>
#include <string>

class VostException : public std::exception {
public:
    explicit VostException(std::string message)
        : Message(std::move(message))
    {
    }
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

// Marks the termination of the program by an unhandled C++ exception.
class BcbTermination : public VostException {
public:
    using VostException::VostException;
};

// The silent exception: it ends an operation without a report.
class EAbort : public VostException {
public:
    EAbort()
        : VostException("Operation aborted")
    {
    }
};

#pragma once
// Symbolic stack traces for the log: the return addresses of a thread,
// turned into function names, files and lines by addr2line running as a
// child task.

#include <stdexcept>
#include <string>
#include <vector>

class StackTrace {
public:
    // The calling thread's return addresses, leaving out this call itself
    // and `skip` more of the innermost frames.
    static StackTrace current(int skip = 0);

    const std::vector<void*>& frames() const { return frames_; }
    bool empty() const { return frames_.empty(); }

private:
    std::vector<void*> frames_;
};

// An exception that keeps the stack trace of the place where it was made,
// so that a handler far away can print where the trouble started.
class TracedException : public std::runtime_error {
public:
    explicit TracedException(const std::string& what);
    const StackTrace& trace() const { return trace_; }

private:
    StackTrace trace_;
};

// Prints the symbolic trace on standard output without waiting for it: the
// symboliser runs in the background and is reaped there. False when the
// trace is empty or the symboliser could not be started.
bool printStackTrace(const StackTrace& trace);
// The trace of a TracedException, or the caller's own stack for any other.
bool printStackTrace(const std::exception& e);

// The same, done before returning, written to the file descriptor `fd`.
// False when addr2line could not be started for any frame.
bool symbolizeStackTrace(const StackTrace& trace, int fd);

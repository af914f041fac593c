#include "util/LogLines.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <streambuf>
#include <string>
#include <string_view>

namespace {

// A line longer than this goes out in parts rather than growing without end.
constexpr std::size_t kLongestPending = 256 * 1024;

enum Slot { kErr = 0, kOut = 1, kSlots = 2 };

void writeError(const char* data, std::size_t size) {
    // One writer at a time: a long line to a pipe that is full would
    // otherwise be split by another thread's write.
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);
    while (size > 0) {
        const ssize_t written = ::write(STDERR_FILENO, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void writeOutput(const char* data, std::size_t size) {
    flockfile(stdout);
    fwrite_unlocked(data, 1, size, stdout);
    fflush_unlocked(stdout);
    funlockfile(stdout);
}

void send(Slot slot, const char* data, std::size_t size) {
    if (size == 0) return;
    const int saved = errno;  // logging must not change what a caller reports next
    if (slot == kErr)
        writeError(data, size);
    else
        writeOutput(data, size);
    errno = saved;
}

// The calling thread's unfinished text, per stream.
struct Pending {
    std::string text[kSlots];
    ~Pending();
    void flush() {
        for (int slot = 0; slot < kSlots; ++slot) {
            send(static_cast<Slot>(slot), text[slot].data(), text[slot].size());
            text[slot].clear();
        }
    }
};

thread_local bool pendingGone = false;

Pending::~Pending() {
    flush();
    pendingGone = true;
}

// Null once the thread's record is gone (logging from a later destructor).
Pending* pending() {
    if (pendingGone) return nullptr;
    thread_local Pending record;
    return &record;
}

class LineAssembler : public std::streambuf {
public:
    explicit LineAssembler(Slot slot) : slot_(slot) {}

protected:
    int_type overflow(int_type ch) override {
        if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
        const char c = traits_type::to_char_type(ch);
        append(&c, 1);
        return ch;
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        if (size > 0) append(data, static_cast<std::size_t>(size));
        return size;
    }
    // A flush (std::endl, or unitbuf after every insertion) sends nothing
    // early: lines leave whole.
    int sync() override { return 0; }

private:
    void append(const char* data, std::size_t size) {
        Pending* record = pending();
        if (record == nullptr) {
            send(slot_, data, size);
            return;
        }
        std::string& text = record->text[slot_];
        // What is pending holds no line end, so only the new part is searched:
        // a long line written in many small pieces costs no more than once.
        const std::size_t before = text.size();
        text.append(data, size);
        const std::size_t last = std::string_view(data, size).rfind('\n');
        if (last != std::string_view::npos) {
            const std::size_t end = before + last;
            send(slot_, text.data(), end + 1);
            text.erase(0, end + 1);
        }
        if (text.size() > kLongestPending) {
            send(slot_, text.data(), text.size());
            text.clear();
        }
    }

    const Slot slot_;
};

}  // namespace

namespace LogLines {

void install() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Never destroyed: static destructors and exiting threads still log.
        static LineAssembler* const error = new LineAssembler(kErr);
        static LineAssembler* const output = new LineAssembler(kOut);
        std::cerr.rdbuf(error);
        std::clog.rdbuf(error);
        std::cout.rdbuf(output);
    });
}

void flushThisThread() {
    if (Pending* record = pending()) record->flush();
}

}  // namespace LogLines

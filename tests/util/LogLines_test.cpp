#include "util/LogLines.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace {

constexpr int kThreads = 8;
constexpr int kLinesEach = 40;

// Longer than a pipe writes in one piece, different for every line.
size_t lineLength(int thread, int line) { return 1000 + static_cast<size_t>(thread * 7919 + line * 104729) % 20000; }

std::string expectedLine(int thread, int line) {
    return "thread " + std::to_string(thread) + " line " + std::to_string(line) + " " +
           std::string(lineLength(thread, line), static_cast<char>('a' + thread)) + " end";
}

// Points a standard descriptor at `target` for the scope.
class Redirect {
public:
    Redirect(int fd, int target) : fd_(fd), saved_(::dup(fd)) {
        std::fflush(nullptr);
        ::dup2(target, fd_);
    }
    ~Redirect() { restore(); }
    void restore() {
        if (saved_ < 0) return;
        std::fflush(nullptr);
        ::dup2(saved_, fd_);
        ::close(saved_);
        saved_ = -1;
    }

private:
    int fd_;
    int saved_;
};

// Everything read from `fd` until its writers are gone.
std::string readAll(int fd) {
    std::string text;
    char buffer[65536];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    return text;
}

// Many threads log long lines piece by piece; then one thread ends in the
// middle of a line.
void logFromThreads(std::ostream& stream) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&stream, t] {
            for (int i = 0; i < kLinesEach; ++i)
                stream << "thread " << t << " line " << i << ' '
                       << std::string(lineLength(t, i), static_cast<char>('a' + t)) << " end" << std::endl;
        });
    for (std::thread& thread : threads) thread.join();
    std::thread([&stream] { stream << "unfinished " << 42; }).join();
}

}  // namespace

TEST(LogLines, LinesFromManyThreadsArriveWholeAndNothingIsLost) {
    LogLines::install();
    TempDir dir;
    const struct {
        const char* name;
        int fd;
        std::ostream* stream;
        bool toPipe;
    } cases[] = {
        {"standard error to a pipe", STDERR_FILENO, &std::cerr, true},
        {"standard error to a file", STDERR_FILENO, &std::cerr, false},
        {"standard output to a pipe", STDOUT_FILENO, &std::cout, true},
        {"the log stream to a file", STDERR_FILENO, &std::clog, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // The lines go to a pipe read meanwhile, or to a file read afterwards.
        const std::string path = dir.file(std::string(c.name) + ".log");
        int ends[2] = {-1, -1};
        if (c.toPipe) {
            ASSERT_EQ(::pipe(ends), 0);
        } else {
            ends[1] = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
            ASSERT_GE(ends[1], 0);
        }
        std::string text;
        std::thread reader([&] { text = c.toPipe ? readAll(ends[0]) : ""; });
        {
            Redirect redirect(c.fd, ends[1]);
            ::close(ends[1]);
            logFromThreads(*c.stream);
        }
        reader.join();
        if (c.toPipe)
            ::close(ends[0]);
        else
            text = fileBytes(path);

        // The unfinished line of the thread that ended came out last.
        const std::string tail = "unfinished 42";
        ASSERT_GE(text.size(), tail.size());
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
        std::map<std::string, int> seen;
        std::istringstream lines(text.substr(0, text.size() - tail.size()));
        for (std::string line; std::getline(lines, line);) ++seen[line];
        int whole = 0;
        for (int t = 0; t < kThreads; ++t)
            for (int i = 0; i < kLinesEach; ++i) {
                auto it = seen.find(expectedLine(t, i));
                whole += it != seen.end() && it->second == 1 ? 1 : 0;
            }
        EXPECT_EQ(whole, kThreads * kLinesEach);
        EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLinesEach)) << "some lines arrived in pieces";
    }
}

TEST(LogLines, PiecesOfAnySizeComeOutAsTheLinesTheyMake) {
    LogLines::install();
    TempDir dir;
    const std::string path = dir.file("pieces.log");
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
    ASSERT_GE(file, 0);
    const std::string huge(300 * 1024, 'h');  // longer than a line is held back
    std::string afterSeveral, afterSplit;
    {
        Redirect redirect(STDERR_FILENO, file);
        ::close(file);
        // Several lines and the start of the next in one piece.
        std::cerr << "start of one ";
        const std::string several = "line\nsecond\nthird\npart";
        std::cerr.write(several.data(), static_cast<std::streamsize>(several.size()));
        std::cerr.flush();
        afterSeveral = fileBytes(path);
        // A line written one byte at a time.
        for (char c : std::string("rest of part\nbyte by byte")) std::cerr.put(c);
        std::cerr.flush();
        afterSplit = fileBytes(path);
        std::cerr << "\n" << huge << "\n";
    }
    EXPECT_EQ(afterSeveral, "start of one line\nsecond\nthird\n") << "the unfinished line is held back";
    EXPECT_EQ(afterSplit, afterSeveral + "partrest of part\n");
    EXPECT_EQ(fileBytes(path), afterSplit + "byte by byte\n" + huge + "\n") << "a very long line loses nothing";
}

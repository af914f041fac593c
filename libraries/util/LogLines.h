#pragma once
// Whole log lines. The program logs from many threads with
// `std::cerr << a << b << std::endl`, which writes piece by piece, so lines
// of different threads would interleave. install() puts a line assembler
// under std::cerr, std::clog and std::cout: each thread gathers its own text,
// and every complete line goes out in one piece. Standard error gets one
// write(2) per batch of complete lines, never interleaved with another line
// of this process; standard output goes through the C stream (one locked
// write and a flush), so printf and std::cout keep their order. Flushing the
// stream sends no partial line; a thread's unfinished line goes out when the
// thread ends (the main thread's at exit).

namespace LogLines {

// Installs the assemblers; call first thing in main, before other threads
// start. Calling it again does nothing.
void install();
// Sends the calling thread's unfinished lines on now: before the process
// ends without running destructors.
void flushThisThread();

}  // namespace LogLines

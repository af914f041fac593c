#pragma once
// Whole-file reads and writes, a safe write through a temporary file and a
// rename, file times and sizes, and an open file with a buffered writer.

#include <cstdio>
#include <ctime>
#include <string>

class ResourceLocator;

class FileUtils {
public:
    FileUtils() = default;
    ~FileUtils();  // flushes and closes an open file
    FileUtils(const FileUtils&) = delete;
    FileUtils& operator=(const FileUtils&) = delete;

    // The byte count, or -1 when the file cannot be opened or the write is short.
    static int writeFile(const std::string& name, const std::string& data);
    // Writes a unique temporary file beside name, syncs it and renames it over
    // name. The byte count; 0 when nothing was written (name is untouched).
    static int safeWriteFile(const std::string& name, const std::string& data);
    // Appends the whole file to out; the byte count or -1.
    static int readFile(const std::string& name, std::string& out);
    static time_t getLastModificationTime(const std::string& name);
    static int getFileLen(const std::string& name);
    // unlink; names of five characters or fewer are refused with -1.
    static int removeFile(const std::string& name);

    int open(const std::string& name, const std::string& mode);
    int openForReading(const std::string& name) { return open(name, "r"); }
    int openForAppending(const std::string& name) { return open(name, "a"); }
    int openForWriting(const std::string& name) { return open(name, "w"); }
    bool isOpen() const { return file_ != nullptr; }
    int getFD() const { return 0; }
    int seek(long offset, int whence);
    int rename(const std::string& newName);
    // Buffered write: the text waits until the buffer would pass threshold
    // bytes. The text's length, or -1 when the disk took less than was written.
    int write(const std::string& text, unsigned int threshold);
    int flushWriteBuffer();
    int binaryWrite(const char* data, int n);
    int binaryRead(char* data, int n);
    int readFilePart(unsigned long offset, unsigned long length, std::string& out);
    int readEntireFile(std::string& out);
    int close();

private:
    bool writeAll(const char* data, size_t n);

    FILE* file_ = nullptr;
    std::string name_;
    std::string mode_;
    std::string writeBuffer_;
};

// The user's home directory, ending in "/".
std::string getUserHomeDirectory();
// The text of a resource file: a full path, or "dir/name" inside the
// resources; "" (and a log line) when there is none.
std::string readFile(const ResourceLocator& resources, const char* name);

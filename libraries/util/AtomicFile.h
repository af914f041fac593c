#pragma once
// Whole-file reads with a size cap, and whole-file replacement that never
// leaves a reader with a missing, empty or half-written file.

#include <string>

namespace atomicfile {

// Reads the whole file into out. False (with the reason in error) when it
// cannot be opened or read, or when it is larger than maxBytes.
bool read(const std::string& path, std::string& out, std::string& error, size_t maxBytes = 64u << 20);

// Writes data to a unique temporary file beside path, syncs it, gives it
// mode, renames it over path and syncs the folder. On any failure the
// temporary file is removed, path keeps its old content and error says why.
bool replace(const std::string& path, const std::string& data, std::string& error, unsigned mode = 0644);

// The temporary files that an interrupted replace(path) left beside path
// (a crash or a kill between creating and renaming one): regular files named
// "." + the file's name + "." + six letters or digits. Symbolic links and
// anything else are never touched. Only call removeLeftovers while no
// replace of path can run (under the writers' lock): a running one's
// temporary file looks the same. It answers how many it removed.
bool hasLeftovers(const std::string& path);
int removeLeftovers(const std::string& path);

// Creates the folder and its missing parents (mode 0700 for new ones).
bool makeFolders(const std::string& path, std::string& error);

}  // namespace atomicfile

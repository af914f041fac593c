#include "util/ResourceLocator.h"

#include <sys/stat.h>

std::string DirectoryResourceLocator::pathForResource(const std::string& name, const std::string& type,
                                                      const std::string& subdirectory) const {
    // Resource names never climb out of the resource folder.
    if (name.empty() || name.find("..") != std::string::npos || subdirectory.find("..") != std::string::npos) {
        return "";
    }
    std::string path = root_;
    if (!subdirectory.empty()) path += "/" + subdirectory;
    path += "/" + name;
    if (!type.empty()) path += "." + type;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
    return path;
}

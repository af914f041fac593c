#include "standalone/PackageFile.h"

#include "platform/Bundle.h"
#include "util/FileUtils.h"

bool getFileInPackage(const std::string& directory, const std::string& name, std::string& out) {
    out.clear();
    std::string path = Bundle::mainBundle().pathForResource(name, "", directory);
    if (path.empty()) return false;
    std::string text;
    if (FileUtils::readFile(path, text) <= 0) return false;
    out = std::move(text);
    return true;
}

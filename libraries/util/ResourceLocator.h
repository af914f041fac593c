#pragma once
// Finds resource files of a program by name, type and subdirectory. The
// platform's bundles implement it; a plain resource folder is enough for the
// engine and its tests.

#include <string>

class ResourceLocator {
public:
    virtual ~ResourceLocator() = default;
    // Full path of name[.type] in subdirectory (or the top resource folder
    // when empty); "" when there is no such file.
    virtual std::string pathForResource(const std::string& name, const std::string& type,
                                        const std::string& subdirectory) const = 0;
};

// Resources in one folder on disk.
class DirectoryResourceLocator : public ResourceLocator {
public:
    explicit DirectoryResourceLocator(std::string root) : root_(std::move(root)) {}
    std::string pathForResource(const std::string& name, const std::string& type,
                                const std::string& subdirectory) const override;
    const std::string& root() const { return root_; }

private:
    std::string root_;
};

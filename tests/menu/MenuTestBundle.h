#pragma once
// A bundle in a temporary folder whose resources are the project's pictures,
// icon styles, string tables and radar frame; tests replace single files
// (a style file, the moon table) by writing them into resources().

#include <filesystem>
#include <memory>
#include <fstream>
#include <string>

#include "platform/Bundle.h"
#include "support/TempDir.h"

class MenuTestBundle {
public:
    MenuTestBundle() {
        namespace fs = std::filesystem;
        const fs::path source = fs::path(SKYVANE_SOURCE_DIR) / "resources";
        const fs::path app = dir_.path() / "Skyvane.app";
        fs::create_directories(resources());
        std::ofstream(app / "Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>org.skyvane.menutest</string>"
               "<key>CFBundleDevelopmentRegion</key><string>en</string></dict></plist>";
        for (const char* linked : {"gfx", "en.lproj", "radar_overlay.png"})
            fs::create_directory_symlink(source / linked, resources() / linked);
        fs::copy(source / "icon_config", resources() / "icon_config");
        fs::copy_file(source / "moonData.txt", resources() / "moonData.txt");
        bundle_ = std::make_unique<Bundle>(app.string());
    }

    std::filesystem::path resources() const { return dir_.path() / "Skyvane.app" / "Resources"; }
    void write(const std::string& relative, const std::string& text) const {
        std::filesystem::create_directories((resources() / relative).parent_path());
        std::ofstream(resources() / relative, std::ios::binary | std::ios::trunc) << text;
    }
    void remove(const std::string& relative) const { std::filesystem::remove(resources() / relative); }
    Bundle& bundle() { return *bundle_; }

private:
    TempDir dir_;
    std::unique_ptr<Bundle> bundle_;
};

// A moon table for 2006 only: every day at `fraction`, but 1 January at `first`.
inline std::string moonTable(const std::string& fraction, const std::string& first) {
    std::string text = "2006\n";
    for (int day = 1; day <= 31; ++day) {
        text += std::to_string(day);
        for (int month = 1; month <= 12; ++month) text += "\t" + (day == 1 && month == 1 ? first : fraction);
        text += "\n";
    }
    return text;
}

#pragma once
// Fonts by role and size. Sizes are in points (one point is one pixel).

class Font {
public:
    enum class Role { System, BoldSystem, MenuBar, TitleBar };

    static Font systemFont(double size) { return Font(Role::System, size); }
    static Font boldSystemFont(double size) { return Font(Role::BoldSystem, size); }
    static Font menuBarFont(double size) { return Font(Role::MenuBar, size); }
    static Font titleBarFont(double size) { return Font(Role::TitleBar, size); }
    // The size of the ordinary user-interface text.
    static double systemFontSize() { return 13.0; }

    Role role() const { return role_; }
    double pointSize() const { return size_; }
    bool isBold() const { return role_ == Role::BoldSystem || role_ == Role::TitleBar; }
    bool operator==(const Font&) const = default;

private:
    Font(Role role, double size) : role_(role), size_(size > 0 ? size : systemFontSize()) {}
    Role role_;
    double size_;
};

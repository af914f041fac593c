#pragma once
// A string with one set of text attributes over its whole length, measured
// and drawn with Pango.

#include <string>

#include "platform/Color.h"
#include "platform/Font.h"
#include "platform/Geometry.h"

enum class TextAlignment { Left, Center, Right };

struct TextAttributes {
    Font font = Font::systemFont(Font::systemFontSize());
    Color color = Color::black();
    TextAlignment alignment = TextAlignment::Left;
    bool operator==(const TextAttributes&) const = default;
};

class AttributedString {
public:
    AttributedString() = default;
    // The text is converted for display (toDisplayText) on the way in.
    explicit AttributedString(const std::string& text, TextAttributes attributes = {});

    const std::string& string() const { return text_; }
    // Replaces the characters and keeps the attributes.
    void setString(const std::string& text);
    const TextAttributes& attributes() const { return attributes_; }
    void setAttributes(const TextAttributes& a) { attributes_ = a; }
    void setColor(const Color& c) { attributes_.color = c; }
    void setFont(const Font& f) { attributes_.font = f; }
    void setAlignment(TextAlignment a) { attributes_.alignment = a; }
    size_t length() const { return text_.size(); }
    bool empty() const { return text_.empty(); }

    // The size of the laid-out text (one line per line break).
    Size size() const;

    bool operator==(const AttributedString&) const = default;

private:
    std::string text_;
    TextAttributes attributes_;
};

#pragma once
// The plain text of an RTF document (the about box's credits): paragraphs
// and line breaks become line ends, tabs stay, formatting and the font,
// colour, style and information tables are dropped. Text that does not start
// with "{\rtf" is returned as it is.

#include <string>

std::string rtfToPlainText(const std::string& rtf);

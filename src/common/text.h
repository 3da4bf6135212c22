// Text helpers of the portable code: names compared as Windows compares
// them (without case), blanks trimmed, lists joined for a line of text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Whether a and b are the same name but for the case of ASCII letters:
// service names, INI sections and keys, paths.
bool sameName(std::string_view a, std::string_view b);

// text with its ASCII letters in lower case.
std::string lowerCase(std::string text);

// text without the blanks and tabs at its start and end.
std::string_view trimBlanks(std::string_view text);

// text without the white space (blanks, tabs, line breaks) at its end.
std::string withoutTrailingSpace(const std::string &text);

// The items separated by ", ".
std::string joined(const std::vector<std::string> &items);

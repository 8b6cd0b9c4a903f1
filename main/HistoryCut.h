#pragma once

#include <cstddef>
#include <string>

// The longest prefix of at most limit bytes that does not end inside a UTF-8 character.
std::size_t CutAtCharacter(const std::string& text, std::size_t limit);

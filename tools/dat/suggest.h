// "Did you mean": the known word a misspelt one was most likely meant to be.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tools {

// The number of single-character edits (an insertion, a deletion, a change, or two neighbours
// swapped) that turn `a` into `b`, letters compared without case.
int edit_distance(std::string_view a, std::string_view b);

// The candidate `word` is most likely a slip for, or empty when none is near enough: one edit
// for words of up to four characters, two up to eight, three beyond. The first of equally near
// candidates wins; `word` itself is never suggested.
std::string_view nearest_word(std::string_view word, std::span<const std::string_view> candidates);

// "; did you mean 'fx'?" for the nearest candidate, or empty: appended to an error's message.
std::string did_you_mean(std::string_view word, std::span<const std::string_view> candidates);

}  // namespace tools

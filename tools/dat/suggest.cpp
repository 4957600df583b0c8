// Edit distance (optimal string alignment) and the nearest known word.
#include "tools/dat/suggest.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace tools {
namespace {

char folded(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// A slip changes a few letters of a word, not most of them: short words allow fewer edits, so
// that "at" is not offered for "as" in a message about a long name, and no word is offered for
// one it shares no more than a letter with.
int allowed_edits(std::string_view word) {
  return word.size() <= 4 ? 1 : word.size() <= 8 ? 2 : 3;
}

// The table costs the product of the two lengths; a name longer than this is no slip of a
// typist's and is given no suggestion, so that a long word costs no more than a short one.
constexpr size_t LONGEST_SUGGESTED = 64;

}  // namespace

int edit_distance(std::string_view a, std::string_view b) {
  // Three rows of the usual table are enough: a swap looks two rows back.
  const size_t n = b.size();
  std::vector<int> before(n + 1), previous(n + 1), current(n + 1);
  for (size_t j = 0; j <= n; ++j) previous[j] = static_cast<int>(j);
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = static_cast<int>(i);
    for (size_t j = 1; j <= n; ++j) {
      const int change = folded(a[i - 1]) == folded(b[j - 1]) ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
      if (i > 1 && j > 1 && folded(a[i - 1]) == folded(b[j - 2]) &&
          folded(a[i - 2]) == folded(b[j - 1]))
        current[j] = std::min(current[j], before[j - 2] + 1);
    }
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return previous[n];
}

std::string_view nearest_word(std::string_view word, std::span<const std::string_view> candidates) {
  std::string_view best;
  if (word.size() > LONGEST_SUGGESTED) return best;
  int best_distance = allowed_edits(word) + 1;
  for (std::string_view candidate : candidates) {
    // Words whose lengths differ by more edits than allowed are never near enough.
    const size_t apart = word.size() > candidate.size() ? word.size() - candidate.size()
                                                        : candidate.size() - word.size();
    if (candidate == word || apart >= static_cast<size_t>(best_distance)) continue;
    const int distance = edit_distance(word, candidate);
    if (distance < best_distance) {
      best = candidate;
      best_distance = distance;
    }
  }
  return best;
}

std::string did_you_mean(std::string_view word, std::span<const std::string_view> candidates) {
  std::string_view nearest = nearest_word(word, candidates);
  if (nearest.empty()) return {};
  return "; did you mean '" + std::string(nearest) + "'?";
}

}  // namespace tools

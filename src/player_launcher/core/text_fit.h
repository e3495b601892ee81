#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A message laid out for a box of the window: lines broken where Chinese and
// Latin text may break (between any two Chinese characters, at spaces, after
// a path's separators, never before a closing mark), and the last line ended
// with "…" when the whole does not fit. Measured by the caller, so that the
// window lays out with its font and the tests with fixed widths.
namespace tarnwick::player {

// The width of a run of text in the box's font, in pixels.
using Measure = std::function<int(std::u16string_view)>;

struct FittedText {
    std::vector<std::u16string> lines;
    bool whole = true; // false when text was left out (the last line ends with "…")
};

// At most `maxLines` lines of at most `width` pixels each; a line break of
// the text ("\n") starts a new line.
FittedText FitText(std::u16string_view text, int width, std::size_t maxLines, const Measure& measure);

} // namespace tarnwick::player

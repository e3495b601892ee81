#include "ui/logic/operator.h"

namespace tarnwick::ui {

std::pair<int, int> CentredOver(const Frame& main, const Frame& dialog)
{
    // C++ division truncates toward zero, as the placement rule wants.
    return {main.left + (main.width / 2 - dialog.width / 2), main.top + (main.height / 2 - dialog.height / 2)};
}

} // namespace tarnwick::ui

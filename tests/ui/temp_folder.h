#pragma once

#include "temporary_folder.h"

namespace tarnwick::ui::testing {

using TempFolder = tarnwick::testing::TemporaryFolder;

} // namespace tarnwick::ui::testing

// Programs keep their files by the XDG rules here (see app/working_folder.h).
#include "base/user_folders.h"

namespace tarnwick {

std::optional<std::filesystem::path> DocumentsFolder() { return std::nullopt; }

} // namespace tarnwick

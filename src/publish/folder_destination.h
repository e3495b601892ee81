#pragma once

#include "publish/destination.h"

#include <filesystem>
#include <memory>

namespace tarnwick::publish {

// A local or mounted folder that the web server serves: a rename in it is
// atomic for the web server's readers, and flushed so that a power loss
// keeps the old file or the new one.
std::unique_ptr<Destination> MakeFolderDestination(std::filesystem::path root);

} // namespace tarnwick::publish

#pragma once

#include "app/translation.h"
#include "base/error.h"

#include <string>

namespace tarnwick::testing {

// An error as the English interface writes it: what the checks of its words
// read, since what() is the Chinese interface's.
inline std::string English(const Error& error) { return Translation(Language::English).Sentence(error.Text()); }
inline std::string English(const Message& message) { return Translation(Language::English).Sentence(message); }

} // namespace tarnwick::testing

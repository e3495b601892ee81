#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <string_view>

namespace tarnwick::fuzzing {

// A broken invariant: say which, show the input's fate, and crash so that
// libFuzzer keeps the input.
[[noreturn]] inline void Broken(const char* what, std::string_view detail = {})
{
    std::fprintf(stderr, "INVARIANT BROKEN: %s\n%.*s\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

// Plain write, no flush to disk: the file is scratch.
inline void PutFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        Broken("cannot write the scratch file", path.native());
}

} // namespace tarnwick::fuzzing

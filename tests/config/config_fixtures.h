#pragma once

#include "base/file_io.h"
#include "temporary_folder.h"
#include "config/field_decoder.h"
#include "config/model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace tarnwick::testing {

// The model as one text, so that a mismatch shows the differing field.
inline std::string Describe(const SetupModel& model)
{
    std::string out;
    for (const auto& g : model.groups)
        out += "group [" + g.Name + "]\n";
    for (const auto& s : model.servers)
        out += "server [" + s.Group + "] [" + s.ShowName + "] [" + s.Name + "] [" + s.Addr + "] [" + s.Port + "]\n";
    const auto& w = model.web;
    out += "web [" + w.LoginframeUrl + "] [" + w.GMUrl + "] [" + w.PayUrl + "] [" + w.PayUrl2 + "] [" + w.HomeUrl +
           "]\n";
    for (const auto& u : model.updates)
        out += "update [" + u.Hint + "] [" + u.SaveDir + "] [" + u.SaveName + "] [" + u.DownUrl + "] [" + u.Zip +
               "] [" + u.CheckType + "] [" + u.DownType + "] [" + u.Date + "] [" + u.Ver + "] [" + u.MD5 + "] [" +
               u.DownMD5 + "]\n";
    return out;
}

// The value of an encoded text; a defect fails the test.
inline std::string Decoded(std::string_view text, const KeyMaterial& key = BuiltInKey())
{
    FieldDecoder decoder(key);
    std::string value;
    EXPECT_EQ(decoder.DecodeValue(text, value), ValueDefect::None) << text;
    return value;
}

// The compressed stream of an encoded text, byte 0 holding the length.
inline std::string StreamOf(std::string_view text)
{
    std::string stream;
    EXPECT_EQ(FieldDecoder().StreamOf(text, stream), ValueDefect::None) << text;
    return stream;
}

// The model of the format illustration (data/example.xml).
inline SetupModel ExampleModel()
{
    SetupModel model;
    model.groups.Append({"East"});
    model.servers.Append({"East", "Zone", "line one;line two", "10.0.0.1;10.0.0.2", "7000;7001"});
    model.web = {"page-a", "page-e", "page-d", "page-b", "page-c"};
    model.updates.Append({"new files", ".\\Data\\", "patch.dat", "page-f", words::kNo, words::kCheckMd5,
                          words::kDownDirect, "20050505", "1", "", ""});
    return model;
}

inline std::string TestData(const std::string& name)
{
    return ReadFile(std::filesystem::path(TARNWICK_TEST_DATA) / name);
}

// A fresh working directory per test.
class ConfigDirectory : public ::testing::Test {
protected:
    std::filesystem::path Path(const std::string& name) const { return dir_ / name; }
    void Put(const std::string& name, const std::string& bytes) const { ReplaceFile(Path(name), bytes); }

    TemporaryFolder folder_;
    const std::filesystem::path dir_ = folder_.path();
};

} // namespace tarnwick::testing

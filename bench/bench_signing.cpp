// What signing costs, side by side in one run: ServerInfo.txt of 2,000 groups /
// 100,000 servers / 1,000 update entries written with signing and without
// (target: at most 1.05 times), and what a launcher adds to take a list: the
// signature file read and checked, the list's SHA-256 and the ECDSA
// verification, for the sample list and for the large one (target: at most
// 5 ms; the launcher's own figure under Wine is bench_launcher_list.py's).
#include "base/file_io.h"
#include "config/document.h"
#include "config/document_writer.h"
#include "config/model.h"
#include "edit/working_copy.h"
#include "sign/key_store.h"
#include "sign/list_signature.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "temporary_folder.h"

namespace fs = std::filesystem;
using namespace tarnwick;

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(const std::function<void()>& run)
{
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

SetupModel LargeModel()
{
    SetupModel model;
    for (int g = 0; g < 2000; ++g)
        model.groups.Append({"zone " + std::to_string(g + 1)});
    for (int s = 0; s < 100000; ++s) {
        const std::string n = std::to_string(s);
        model.servers.Append({model.groups.At(static_cast<std::size_t>(s % 2000)).Name, "server " + n,
                              "line one " + n + ";line two " + n, "10.0." + std::to_string(s / 256 % 256) + "." +
                              std::to_string(s % 256) + ";game" + n + ".example.com", "7000;7001"});
    }
    for (int u = 0; u < 1000; ++u) {
        const std::string n = std::to_string(u);
        model.updates.Append({"update " + n, ".\\Data\\", "patch" + n + ".dat", "http://www.example.com/p" + n,
                              words::kNo, words::kCheckMd5, words::kDownDirect, "20050505", "1",
                              "0123456789abcdef0123456789abcdef", "0123456789abcdef0123456789abcdef"});
    }
    return model;
}

void CheckCost(const char* what, const std::string& list, const std::string& signature,
               const std::vector<crypto::PublicKey>& trusted)
{
    std::vector<double> times;
    for (int i = 0; i < 21; ++i)
        times.push_back(Milliseconds([&] {
            if (sign::CheckSignedList(list, signature, trusted, 0).trust != sign::ListTrust::Accepted)
                std::abort();
        }));
    const double ms = Median(times);
    std::printf("%-44s %9zu bytes  %8.2f ms  (target at most 5 ms: %s)\n", what, list.size(), ms,
                ms <= 5.0 ? "met" : "NOT met");
}

} // namespace

int main()
{
    testing::TemporaryFolder folder;
    sign::KeyStore store(folder.path() / "settings");
    store.Create();
    const SetupModel model = LargeModel();
    edit::WorkingCopy plain(folder.path() / "plain");
    edit::WorkingCopy signedCopy(folder.path() / "signed");
    fs::create_directories(plain.Folder());
    fs::create_directories(signedCopy.Folder());

    // Alternated, so that both meet the same state of the machine.
    std::vector<double> withoutTimes;
    std::vector<double> withTimes;
    for (int round = 0; round < 5; ++round) {
        withoutTimes.push_back(Milliseconds([&] { plain.WriteServerInfo(model); }));
        withTimes.push_back(Milliseconds([&] { signedCopy.WriteServerInfo(model, &store, 1796720000 + round); }));
    }
    const double without = Median(withoutTimes);
    const double with = Median(withTimes);
    std::printf("serverinfo, 100,000 servers, without signing  %8.1f ms\n", without);
    std::printf("serverinfo, 100,000 servers, signed           %8.1f ms  = %.3f times (target at most 1.05: %s)\n",
                with, with / without, with / without <= 1.05 ? "met" : "NOT met");

    const sign::SigningKeys keys = *store.Load();
    const auto pair = sign::TrustedPublicKeys(keys);
    const std::vector<crypto::PublicKey> trusted(pair.begin(), pair.end());
    const std::string large = ReadFile(signedCopy.ServerInfoPath());
    CheckCost("launcher's check, 100,000-server list", large, ReadFile(signedCopy.SignaturePath()), trusted);
    const std::string small = WrapServerInfo(ConfigurationDocument("none").BuildDocument(SetupModel{}, true));
    CheckCost("launcher's check, an empty list", small, store.SignList(keys, small, 1796730000), trusted);
    return 0;
}

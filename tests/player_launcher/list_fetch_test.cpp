#include "player_launcher/core/kept_list.h"
#include "player_launcher/core/list_fetch.h"
#include "player_launcher/core/player_messages.h"

#include "base/crypto.h"
#include "base/file_io.h"
#include "player_fixtures.h"
#include "sign/list_signature.h"
#include "temporary_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

namespace tarnwick::player {
namespace {

using tarnwick::testing::TemporaryFolder;

const std::u16string kListUrl = u"http://h/ServerInfo.txt";
const std::u16string kSignatureUrl = u"http://h/ServerInfo.txt.sig";

// A web server as nginx answers a launcher: each file with its ETag and
// Last-Modified, a 304 when the request names the one it serves, a 404 for
// what it lacks; or, while `down` is set, that failure for every request.
class FakeServer : public ListTransport {
public:
    struct File {
        std::string body;
        std::string etag;
        std::string lastModified;
    };
    std::map<std::u16string, File> files;
    std::optional<DownloadFailure> down;
    std::vector<std::pair<std::u16string, std::string>> asked; // url, headers

    ListAnswer Get(const std::u16string& url, const std::string& headers, ListPart, bool hash) override
    {
        asked.emplace_back(url, headers);
        ListAnswer answer;
        if (down) {
            answer.failure = *down;
            return answer;
        }
        const auto found = files.find(url);
        if (found == files.end()) {
            answer.failure = {DownloadProblem::HttpStatus, 404, {}};
            return answer;
        }
        const File& file = found->second;
        const auto names = [&](std::string_view header, const std::string& value) {
            return !value.empty() && headers.find(std::string(header) + ": " + value + "\r\n") != std::string::npos;
        };
        if (names("If-None-Match", file.etag) || (file.etag.empty() && names("If-Modified-Since", file.lastModified))) {
            answer.notModified = true;
            return answer;
        }
        answer.body = file.body;
        answer.validators.etag = file.etag;
        answer.validators.lastModified = file.lastModified;
        if (hash)
            answer.digest = sign::ListDigest{file.body.size(), crypto::Sha256(file.body)};
        return answer;
    }

    // The headers of the last request for the address.
    std::string LastAsked(const std::u16string& url) const
    {
        for (auto it = asked.rbegin(); it != asked.rend(); ++it)
            if (it->first == url)
                return it->second;
        return "(never asked)";
    }
};

SetupModel LargerModel()
{
    SetupModel model = tarnwick::testing::PlayerModel();
    model.groups.Append({Utf8ToGbk("西南三区")});
    return model;
}

const crypto::KeyPair& OperatorKey()
{
    static const crypto::KeyPair key = crypto::GenerateKeyPair();
    return key;
}

std::string SignatureOf(std::string_view list, std::uint64_t serial)
{
    return sign::SignatureFileText(sign::SignList(list, OperatorKey(), serial, sign::SignatureTime(0)));
}

struct Launcher {
    TemporaryFolder folder;
    FakeServer server;
    ListTrustKeys trust;
    ListState state{folder.path() / "Game.trust", folder.path() / "Game.serverinfo"};

    FetchedList Fetch() { return ListFetcher(server, trust, state).Fetch(kListUrl); }
    std::string Kept() const { return ReadFile(state.keptFile); }
    bool HasKept() const { return std::filesystem::exists(state.keptFile); }
};

TEST(KeptList, KeepsTheListItsSignatureAndValidatorsAndRefusesACopyThatIsNotWhole)
{
    TemporaryFolder folder;
    const auto file = folder.path() / "Game.serverinfo";
    const std::string list = tarnwick::testing::ServerInfoOf(tarnwick::testing::PlayerModel());
    KeptList kept{{list, {"\"5f1-a2\"", "Wed, 09 Dec 2026 03:12:01 GMT", std::nullopt}},
                  KeptFile{"signature\n", {"\"5f1-9\"", "", std::nullopt}}};
    WriteKeptList(file, kept);
    std::optional<KeptList> read = ReadKeptList(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->list.body, list);
    EXPECT_EQ(read->list.validators, kept.list.validators);
    ASSERT_TRUE(read->signature);
    EXPECT_EQ(read->signature->body, "signature\n");
    EXPECT_EQ(read->signature->validators.etag, "\"5f1-9\"");

    // A validator that could add lines to a request is not kept.
    WriteKeptList(file, {{"list", {"\"a\"\r\nX-Evil: 1", "Wed", std::nullopt}}, std::nullopt});
    read = ReadKeptList(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->list.validators.etag, "");
    EXPECT_EQ(read->list.validators.lastModified, "Wed");
    EXPECT_FALSE(read->signature);

    const std::string whole = "Tarnwick kept list 1\nlist: 4\nlist-etag: \"e\"\nsignature: 3\n\nlistsig";
    ReplaceFile(file, whole);
    ASSERT_TRUE(ReadKeptList(file));
    const struct {
        const char* what;
        std::string bytes;
    } damaged[] = {
        {"cut short", whole.substr(0, whole.size() - 1)},
        {"a byte more", whole + "x"},
        {"another format", "Tarnwick kept list 2" + whole.substr(20)},
        {"no list length", "Tarnwick kept list 1\nlist-etag: \"e\"\n\nlist"},
        {"a length that is no number", "Tarnwick kept list 1\nlist: 4x\n\nlist"},
        {"a field twice", "Tarnwick kept list 1\nlist: 4\nlist: 4\n\nlist"},
        {"an unknown field", "Tarnwick kept list 1\nlist: 4\nowner: me\n\nlist"},
        {"a validator with a control character", "Tarnwick kept list 1\nlist: 4\nlist-etag: \"a\"\tb\n\nlist"},
        {"validators of a signature that is not there", "Tarnwick kept list 1\nlist: 4\nsignature-etag: \"s\"\n\nlist"},
        {"a list larger than any list", "Tarnwick kept list 1\nlist: 67108865\n\n"},
        {"no end of the head", "Tarnwick kept list 1\nlist: 0\n"},
        {"empty", ""},
    };
    for (const auto& row : damaged) {
        SCOPED_TRACE(row.what);
        ReplaceFile(file, row.bytes);
        EXPECT_FALSE(ReadKeptList(file));
    }
    EXPECT_FALSE(ReadKeptList(folder.path() / "missing"));
}

TEST(KeptList, AsksOnlyWithValidatorsThatCanBeSentBack)
{
    EXPECT_EQ(ConditionalHeaders({"\"5f1-a2\"", "Wed, 09 Dec 2026 03:12:01 GMT", std::nullopt}),
              "If-None-Match: \"5f1-a2\"\r\nIf-Modified-Since: Wed, 09 Dec 2026 03:12:01 GMT\r\n");
    EXPECT_EQ(ConditionalHeaders({"W/\"5f1\"", "", std::nullopt}), "If-None-Match: W/\"5f1\"\r\n");
    EXPECT_EQ(ConditionalHeaders({}), "");
    EXPECT_EQ(ConditionalHeaders({"\"a\"\r\nHost: evil", "\xE6\x98\x9F", std::nullopt}), "");
    EXPECT_FALSE(UsableValidator(std::string(1025, 'a')));
}

TEST(ListFetch, AStartAsksOnlyForAChangedListAndShowsTheKeptOneWhileUnchanged)
{
    Launcher launcher;
    const std::string first = tarnwick::testing::ServerInfoOf(tarnwick::testing::PlayerModel());
    launcher.server.files[kListUrl] = {first, "\"v1\"", "Tue, 08 Dec 2026 10:00:00 GMT"};

    FetchedList fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::Fetched);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl), "");
    EXPECT_EQ(ExitStatus(fetched), 0);

    fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::Unchanged);
    EXPECT_EQ(fetched.list->groups.size(), 2u);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl),
              "If-None-Match: \"v1\"\r\nIf-Modified-Since: Tue, 08 Dec 2026 10:00:00 GMT\r\n");
    EXPECT_EQ(ExitStatus(fetched), 0);

    // A changed list comes whole, and the next start asks about it.
    launcher.server.files[kListUrl] = {tarnwick::testing::ServerInfoOf(LargerModel()), "\"v2\"", ""};
    fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::Fetched);
    EXPECT_EQ(fetched.list->groups.size(), 3u);
    EXPECT_EQ(launcher.Fetch().origin, ListOrigin::Unchanged);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl), "If-None-Match: \"v2\"\r\n");

    // A server that says nothing of its files is asked without conditions,
    // and what it sends is kept all the same, for a start without network.
    launcher.server.files[kListUrl] = {first, "", ""};
    EXPECT_EQ(launcher.Fetch().origin, ListOrigin::Fetched);
    EXPECT_EQ(launcher.Fetch().origin, ListOrigin::Fetched);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl), "");
    EXPECT_NE(launcher.Kept().find(first), std::string::npos);
}

TEST(ListFetch, AKeptListThatNoLongerReadsIsDroppedAndTheListFetchedWhole)
{
    Launcher launcher;
    const std::string list = tarnwick::testing::ServerInfoOf(tarnwick::testing::PlayerModel());
    launcher.server.files[kListUrl] = {list, "\"v1\"", ""};
    ASSERT_TRUE(launcher.Fetch().list);

    // One byte of the kept list changed on the disk; its length stays.
    std::string kept = launcher.Kept();
    kept[kept.find("<Group Name=\"") + 21] ^= 1;
    ReplaceFile(launcher.state.keptFile, kept);
    launcher.server.asked.clear();
    const FetchedList fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::Fetched);
    ASSERT_EQ(launcher.server.asked.size(), 2u);
    EXPECT_EQ(launcher.server.asked[0].second, "If-None-Match: \"v1\"\r\n");
    EXPECT_EQ(launcher.server.asked[1].second, "");
    EXPECT_EQ(ReadKeptList(launcher.state.keptFile)->list.body, list);

    // A server that answers 304 to a question it was not asked gives no list.
    Launcher fresh;
    struct NotModifiedServer : FakeServer {
        ListAnswer Get(const std::u16string&, const std::string&, ListPart, bool) override
        {
            ListAnswer answer;
            answer.notModified = true;
            return answer;
        }
    } confused;
    const FetchedList refused = ListFetcher(confused, {}, fresh.state).Fetch(kListUrl);
    EXPECT_FALSE(refused.list);
    EXPECT_EQ(refused.failure.problem, DownloadProblem::HttpStatus);
    EXPECT_EQ(refused.failure.code, 304);
}

TEST(ListFetch, WhenTheNetworkFailsTheKeptListIsShownAsNotRefreshed)
{
    Launcher launcher;
    launcher.server.files[kListUrl] = {tarnwick::testing::ServerInfoOf(tarnwick::testing::PlayerModel()), "\"v1\"", ""};
    ASSERT_TRUE(launcher.Fetch().list);
    const std::string kept = launcher.Kept();

    const DownloadFailure network[] = {
        {DownloadProblem::NoConnection, 12029, "h"}, {DownloadProblem::Timeout, 0, "h"},
        {DownloadProblem::HttpStatus, 503, {}},      {DownloadProblem::SecureChannel, 12175, "h"},
        {DownloadProblem::Incomplete, 0, "1 B / 2 B"}, {DownloadProblem::Network, 12030, "h"},
    };
    for (const DownloadFailure& failure : network) {
        SCOPED_TRACE(FailureText(failure));
        launcher.server.down = failure;
        const FetchedList fetched = launcher.Fetch();
        ASSERT_TRUE(fetched.list);
        EXPECT_EQ(fetched.list->groups.size(), 2u);
        EXPECT_EQ(fetched.origin, ListOrigin::NotRefreshed);
        EXPECT_EQ(fetched.failure.problem, failure.problem);
        EXPECT_EQ(ExitStatus(fetched), kNotRefreshedStatus);
        EXPECT_NE(NotRefreshedText(fetched.failure).find(FailureText(failure)), std::string::npos);
        EXPECT_NE(KeptListShownText(2, 3, fetched.failure).find("未能刷新"), std::string::npos);
    }

    // What the server refuses or sends wrong is no failure of the network:
    // told as it is, and the kept list stays for a later start without one.
    const DownloadFailure refused[] = {
        {DownloadProblem::HttpStatus, 404, {}},
        {DownloadProblem::HttpStatus, 403, {}},
        {DownloadProblem::Redirect, 0, {}},
        {DownloadProblem::TooLarge, 0, {}},
    };
    for (const DownloadFailure& failure : refused) {
        SCOPED_TRACE(FailureText(failure));
        launcher.server.down = failure;
        const FetchedList fetched = launcher.Fetch();
        EXPECT_FALSE(fetched.list);
        EXPECT_EQ(fetched.failure.problem, failure.problem);
        EXPECT_EQ(ExitStatus(fetched), ExitStatus(failure.problem));
        EXPECT_EQ(launcher.Kept(), kept);
    }
    launcher.server.down.reset();
    launcher.server.files[kListUrl] = {"<html>502 Bad Gateway</html>", "\"err\"", ""};
    EXPECT_EQ(launcher.Fetch().failure.problem, DownloadProblem::Damaged);
    EXPECT_EQ(launcher.Kept(), kept);

    // A kept list that no longer reads is no fallback: dropped, and the
    // network's failure told.
    std::string changed = kept;
    changed[changed.find("<Group Name=\"") + 21] ^= 1;
    ReplaceFile(launcher.state.keptFile, changed);
    launcher.server.down = DownloadFailure{DownloadProblem::NoConnection, 12029, "h"};
    const FetchedList none = launcher.Fetch();
    EXPECT_FALSE(none.list);
    EXPECT_EQ(ExitStatus(none), 2);
    EXPECT_FALSE(launcher.HasKept());

    // A fetch given up shows nothing.
    Launcher closing;
    closing.server.files[kListUrl] = {tarnwick::testing::ServerInfoOf(tarnwick::testing::PlayerModel()), "\"v1\"", ""};
    ASSERT_TRUE(closing.Fetch().list);
    closing.server.down = DownloadFailure{DownloadProblem::Network, 1223, "h"};
    const std::atomic<bool> cancelled{true};
    EXPECT_FALSE(ListFetcher(closing.server, {}, closing.state, &cancelled).Fetch(kListUrl).list);
}

TEST(ListFetch, ALauncherThatCannotKeepTheListStillShowsIt)
{
    Launcher launcher;
    std::filesystem::create_directory(launcher.state.keptFile);
    launcher.server.files[kListUrl] = {tarnwick::testing::ServerInfoOf(tarnwick::testing::PlayerModel()), "\"v1\"", ""};
    EXPECT_EQ(launcher.Fetch().origin, ListOrigin::Fetched);
    EXPECT_EQ(launcher.Fetch().origin, ListOrigin::Fetched);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl), "");
}

class SignedListFetch : public ::testing::Test {
protected:
    void SetUp() override
    {
        launcher.trust = {{OperatorKey().publicKey}, false};
        Publish(20);
    }
    void Publish(std::uint64_t serial, const std::string& etag = "\"s20\"")
    {
        launcher.server.files[kListUrl] = {list, "\"v1\"", ""};
        launcher.server.files[kSignatureUrl] = {SignatureOf(list, serial), etag, ""};
    }
    std::uint64_t Highest() const { return ReadHighestSerial(launcher.state.trustFile); }

    const std::string list = tarnwick::testing::ServerInfoOf(tarnwick::testing::PlayerModel());
    Launcher launcher;
};

TEST_F(SignedListFetch, TheKeptListAndItsSignatureAreAskedForConditionallyAndVerifiedAgain)
{
    ASSERT_EQ(launcher.Fetch().origin, ListOrigin::Fetched);
    EXPECT_EQ(Highest(), 20u);
    ASSERT_TRUE(ReadKeptList(launcher.state.keptFile)->signature);

    FetchedList fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::Unchanged);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl), "If-None-Match: \"v1\"\r\n");
    EXPECT_EQ(launcher.server.LastAsked(kSignatureUrl), "If-None-Match: \"s20\"\r\n");

    // The same list signed again: the new signature is taken and kept.
    Publish(30, "\"s30\"");
    fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::Unchanged);
    EXPECT_EQ(Highest(), 30u);
    EXPECT_EQ(ReadKeptList(launcher.state.keptFile)->signature->body, launcher.server.files[kSignatureUrl].body);
    EXPECT_EQ(launcher.Fetch().origin, ListOrigin::Unchanged);
    EXPECT_EQ(launcher.server.LastAsked(kSignatureUrl), "If-None-Match: \"s30\"\r\n");
}

TEST_F(SignedListFetch, ARefusedSignatureForTheUnchangedListIsTheServersAndLeavesTheKeptList)
{
    ASSERT_TRUE(launcher.Fetch().list);
    const TemporaryFolder& folder = launcher.folder;
    const auto before = folder.Contents();

    launcher.server.files.erase(kSignatureUrl);
    FetchedList fetched = launcher.Fetch();
    EXPECT_FALSE(fetched.list);
    EXPECT_EQ(fetched.failure.problem, DownloadProblem::Unsigned);

    std::string changed = SignatureOf(list, 20);
    changed[changed.find("signature: ") + 20] ^= 1;
    launcher.server.files[kSignatureUrl] = {changed, "\"bad\"", ""};
    fetched = launcher.Fetch();
    EXPECT_FALSE(fetched.list);
    EXPECT_EQ(fetched.failure.problem, DownloadProblem::BadSignature);
    EXPECT_EQ(folder.Contents(), before);
}

TEST_F(SignedListFetch, AKeptListOlderThanOneTakenOrChangedOnTheDiskIsNeverShown)
{
    ASSERT_TRUE(launcher.Fetch().list);
    const std::string kept = launcher.Kept();

    // Its signature changed on the disk: dropped, and fetched whole again.
    std::string changed = kept;
    changed[changed.find("signature: ", changed.find("\n\n")) + 20] ^= 1;
    ReplaceFile(launcher.state.keptFile, changed);
    launcher.server.asked.clear();
    FetchedList fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::Fetched);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl), "");
    EXPECT_EQ(launcher.Kept(), kept);

    // Without a network it verifies as a fetched list does.
    launcher.server.down = DownloadFailure{DownloadProblem::Timeout, 0, "h"};
    fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::NotRefreshed);

    // A newer list was taken since (its kept copy lost): the kept one is older.
    WriteHighestSerial(launcher.state.trustFile, 25);
    fetched = launcher.Fetch();
    EXPECT_FALSE(fetched.list);
    EXPECT_EQ(fetched.failure.problem, DownloadProblem::Timeout);
    EXPECT_FALSE(launcher.HasKept());

    // Online, the older kept copy is not shown on a 304 either: it is
    // dropped, and the server's list judged whole.
    launcher.server.down.reset();
    ReplaceFile(launcher.state.keptFile, kept);
    launcher.server.asked.clear();
    fetched = launcher.Fetch();
    EXPECT_FALSE(fetched.list);
    EXPECT_EQ(fetched.failure.problem, DownloadProblem::Older);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl), "");
    EXPECT_FALSE(launcher.HasKept());

    // A list kept by a launcher without keys is not asked about.
    WriteKeptList(launcher.state.keptFile, {{list, {"\"v1\"", "", std::nullopt}}, std::nullopt});
    Publish(40, "\"s40\"");
    fetched = launcher.Fetch();
    ASSERT_TRUE(fetched.list);
    EXPECT_EQ(fetched.origin, ListOrigin::Fetched);
    EXPECT_EQ(launcher.server.LastAsked(kListUrl), "");
}

} // namespace
} // namespace tarnwick::player

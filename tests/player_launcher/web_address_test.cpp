#include "player_launcher/core/web_address.h"
#include "player_launcher/core/player_messages.h"

#include <gtest/gtest.h>

using namespace tarnwick::player;

TEST(WebAddress, OnlyHttpAndHttpsAddressesAreOpened)
{
    struct Row {
        std::u16string address;
        AddressCheck check;
        std::u16string opened; // Web: what is opened
    };
    const Row rows[] = {
        {u"http://www.example.com/", AddressCheck::Web, u"http://www.example.com/"},
        {u"HTTPS://Pay.Example.com/充值?id=1", AddressCheck::Web, u"HTTPS://Pay.Example.com/充值?id=1"},
        {u"  http://example.com:8080\r\n", AddressCheck::Web, u"http://example.com:8080"},
        {u"", AddressCheck::Empty, {}},
        {u" \t ", AddressCheck::Empty, {}},
        {u"file:///C:/Windows/System32/calc.exe", AddressCheck::OtherScheme, {}},
        {u"FILE://server/share/x.exe", AddressCheck::OtherScheme, {}},
        {u"javascript:alert(1)", AddressCheck::OtherScheme, {}},
        {u"mailto:gm@example.com", AddressCheck::OtherScheme, {}},
        {u"ms-settings:", AddressCheck::OtherScheme, {}},
        {u"httpx://example.com/", AddressCheck::OtherScheme, {}},
        {u"calc.exe", AddressCheck::NoScheme, {}},
        {u"C:\\Windows\\notepad.exe", AddressCheck::NoScheme, {}},
        {u"\\\\server\\share\\run.exe", AddressCheck::NoScheme, {}},
        {u"www.example.com", AddressCheck::NoScheme, {}},
        {u"http://", AddressCheck::NoHost, {}},
        {u"http:/example.com", AddressCheck::NoHost, {}},
        {u"http:///etc/passwd", AddressCheck::NoHost, {}},
        {u"http://example.com/ calc.exe", AddressCheck::BadCharacter, {}},
        {u"http://example.com/\ncalc", AddressCheck::BadCharacter, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.address.begin(), row.address.end()));
        const CheckedAddress checked = CheckWebAddress(row.address);
        EXPECT_EQ(checked.check, row.check);
        EXPECT_EQ(checked.Allowed(), row.check == AddressCheck::Web);
        EXPECT_EQ(RefusalText(checked).empty(), checked.Allowed());
        if (checked.Allowed()) {
            EXPECT_EQ(checked.address, row.opened);
        }
    }
}

TEST(WebAddress, TheRefusalNamesTheScheme)
{
    EXPECT_EQ(RefusalText(CheckWebAddress(u"javascript:alert(1)")),
              "不打开“javascript:”类型的地址（只打开 http 和 https 网址）：javascript:alert(1)");
    EXPECT_EQ(RefusalText(CheckWebAddress(u"calc.exe")), "“calc.exe”不是网址（只打开以 http:// 或 https:// 开头的地址）。");
    EXPECT_EQ(tarnwick::CheckWebAddressGbk("\xB3\xE4\xD6\xB5").check, AddressCheck::NoScheme); // 充值
}

TEST(WebAddress, RedirectsLeadOnlyToWebAddressesAndNeverDownToHttp)
{
    struct Row {
        std::u16string from;
        std::u16string location;
        std::optional<std::u16string> target;
    };
    const Row rows[] = {
        {u"http://a.example/list/ServerInfo.txt", u"http://b.example/x.txt", u"http://b.example/x.txt"},
        {u"http://a.example/list/ServerInfo.txt", u"https://b.example/x.txt", u"https://b.example/x.txt"},
        {u"http://a.example:8080/list/ServerInfo.txt?v=1", u"/new/ServerInfo.txt", u"http://a.example:8080/new/ServerInfo.txt"},
        {u"https://a.example/list/ServerInfo.txt", u"//cdn.example/x.txt", u"https://cdn.example/x.txt"},
        {u"http://a.example/list/ServerInfo.txt?v=1/2", u"other.txt", u"http://a.example/list/other.txt"},
        {u"http://a.example", u"other.txt", u"http://a.example/other.txt"},
        {u"https://a.example/ServerInfo.txt", u"HTTPS://b.example/", u"HTTPS://b.example/"},
        // Another scheme, or https down to http: the list would come from elsewhere.
        {u"http://a.example/ServerInfo.txt", u"file:///C:/Windows/win.ini", std::nullopt},
        {u"http://a.example/ServerInfo.txt", u"ftp://a.example/ServerInfo.txt", std::nullopt},
        {u"http://a.example/ServerInfo.txt", u"javascript:alert(1)", std::nullopt},
        {u"https://a.example/ServerInfo.txt", u"http://a.example/ServerInfo.txt", std::nullopt},
        {u"https://a.example/ServerInfo.txt", u"//b.example/\nx", std::nullopt},
        {u"http://a.example/ServerInfo.txt", u"http://", std::nullopt},
        {u"http://a.example/ServerInfo.txt", u"/a b", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.location.begin(), row.location.end()));
        EXPECT_EQ(RedirectTarget(row.from, row.location), row.target);
    }
}

#pragma once

#include "base/translatable.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

// The one in-memory description that the tool edits. Plain data: it checks
// nothing; the editors validate before they store. Every field is GBK text.
namespace tarnwick {

struct ServerGroup {
    std::string Name;
    bool operator==(const ServerGroup&) const = default;
};

struct ServerEntry {
    std::string Group;
    std::string ShowName;
    std::string Name;
    std::string Addr;
    std::string Port;
    bool operator==(const ServerEntry&) const = default;
};

struct WebAddresses {
    std::string LoginframeUrl;
    std::string HomeUrl;
    std::string PayUrl2;
    std::string GMUrl;
    std::string PayUrl;
    bool operator==(const WebAddresses&) const = default;
};

// The five addresses as the documents name them and the window labels them,
// in document order. The reader, the writer, the comparison and the command
// line all go through this one table.
struct WebAddressField {
    const char* element;                 // "Loginframe"
    std::string WebAddresses::* member;  // &WebAddresses::LoginframeUrl
    const char* caption;                 // the window's label, UTF-8 source marked for translation
};
inline const std::array<WebAddressField, 5> kWebAddressFields = {{
    {"Loginframe", &WebAddresses::LoginframeUrl, QT_TRANSLATE_NOOP("Tarnwick", "登录器窗口")},
    {"ContactGM", &WebAddresses::GMUrl, QT_TRANSLATE_NOOP("Tarnwick", "联系GM按扭")},
    {"Payment", &WebAddresses::PayUrl, QT_TRANSLATE_NOOP("Tarnwick", "充值按扭")},
    {"Payment2", &WebAddresses::PayUrl2, QT_TRANSLATE_NOOP("Tarnwick", "充值中心")},
    {"Home", &WebAddresses::HomeUrl, QT_TRANSLATE_NOOP("Tarnwick", "官方网站")},
}};

struct UpdateEntry {
    std::string Hint;
    std::string SaveDir;
    std::string SaveName;
    std::string DownUrl;
    std::string Zip;
    std::string CheckType;
    std::string DownType;
    std::string Date;
    std::string Ver;
    std::string MD5;
    std::string DownMD5;
    bool operator==(const UpdateEntry&) const = default;
};

// What launchers are made from. No part of Tarnwick.xml: each working folder
// remembers it in a file of its own.
struct LauncherSetup {
    std::string GameName;
    std::string ServerListUrl;
    // The game client's command line, as typed; empty for none.
    std::string ClientCommand;
    bool operator==(const LauncherSetup&) const = default;
};

// An ordered list with the operations the editors use; order changes only by Move.
template <class Record>
class RecordList {
public:
    std::size_t Count() const { return items_.size(); }
    const Record& At(std::size_t index) const { return items_.at(index); }
    Record& At(std::size_t index) { return items_.at(index); }
    void Append(Record record) { items_.push_back(std::move(record)); }
    // Appends them all; into an empty list without copying the list.
    void AppendAll(std::vector<Record>&& records)
    {
        if (items_.empty())
            items_ = std::move(records);
        else
            items_.insert(items_.end(), std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
    }
    void Insert(std::size_t index, Record record) { items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(record)); }
    void InsertAll(std::size_t index, std::vector<Record>&& records)
    {
        items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::make_move_iterator(records.begin()),
                      std::make_move_iterator(records.end()));
    }
    void Remove(std::size_t index) { Remove(index, 1); }
    void Remove(std::size_t first, std::size_t count)
    {
        const auto begin = items_.begin() + static_cast<std::ptrdiff_t>(first);
        items_.erase(begin, begin + static_cast<std::ptrdiff_t>(count));
    }
    template <class Predicate>
    void RemoveIf(Predicate predicate)
    {
        std::erase_if(items_, predicate);
    }
    // Exchanges the element with its neighbour at `to` (which must be index - 1 or index + 1).
    void Move(std::size_t index, std::size_t to) { std::swap(items_.at(index), items_.at(to)); }
    void Clear() { items_.clear(); }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<Record> items_;
};

// Initial values that the implementer chooses.
inline constexpr const char* kPlaceholderWebAddress = "http://www.example.com/";
inline constexpr const char* kInitialServerListUrl = "http://127.0.0.1:8888/ServerInfo.txt";
// "Velmora传奇" in GBK.
inline constexpr const char* kInitialGameName = "Velmora\xB4\xAB\xC6\xE6";

struct SetupModel {
    RecordList<ServerGroup> groups;
    RecordList<ServerEntry> servers;
    WebAddresses web = InitialWebAddresses();
    RecordList<UpdateEntry> updates;
    LauncherSetup launcher = {kInitialGameName, kInitialServerListUrl, ""};

    static WebAddresses InitialWebAddresses()
    {
        return {kPlaceholderWebAddress, kPlaceholderWebAddress, kPlaceholderWebAddress,
                kPlaceholderWebAddress, kPlaceholderWebAddress};
    }
};

// The choice words of the update entries, GBK.
namespace words {
inline constexpr const char* kNo = "\xB7\xF1";              // 否
inline constexpr const char* kYes = "\xCA\xC7";             // 是
inline constexpr const char* kCheckUnknown = "\xCE\xB4\xD6\xAA"; // 未知
inline constexpr const char* kCheckVersion = "\xB0\xE6\xB1\xBE"; // 版本
inline constexpr const char* kCheckExists = "\xB4\xE6\xD4\xDA";  // 存在
inline constexpr const char* kCheckPak = "PAK";
inline constexpr const char* kCheckMd5 = "MD5";
inline constexpr const char* kDownDirect = "\xD6\xB1\xBD\xD3";   // 直接
inline constexpr const char* kDownAlbum = "\xB0\xD9\xB6\xC8";    // 百度
} // namespace words

// Check words by choice index -1 to 3.
const std::string& CheckWordForIndex(int index);
// Choice index of a word as the update editor opens it: "版本" 0, "存在" 1, "PAK" 2, else 3.
int CheckIndexForWord(const std::string& word);
// Document codes.
const char* ZipCode(const std::string& zipWord);
const char* CheckCode(const std::string& checkWord);
const char* DownTypeCode(const std::string& downWord);
std::string ZipWordForCode(const std::string& code);
std::string CheckWordForCode(const std::string& code);
std::string DownTypeWordForCode(const std::string& code);

} // namespace tarnwick

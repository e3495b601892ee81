#include "config/model.h"

#include <array>

namespace tarnwick {
namespace {

const std::array<std::string, 5>& CheckWords()
{
    static const std::array<std::string, 5> table = {words::kCheckUnknown, words::kCheckVersion,
                                                      words::kCheckExists, words::kCheckPak,
                                                      words::kCheckMd5};
    return table;
}

} // namespace

const std::string& CheckWordForIndex(int index)
{
    if (index < -1 || index > 3)
        index = -1;
    return CheckWords()[static_cast<std::size_t>(index + 1)];
}

int CheckIndexForWord(const std::string& word)
{
    if (word == words::kCheckVersion)
        return 0;
    if (word == words::kCheckExists)
        return 1;
    if (word == words::kCheckPak)
        return 2;
    return 3;
}

const char* ZipCode(const std::string& zipWord) { return zipWord == words::kYes ? "1" : "0"; }

const char* CheckCode(const std::string& checkWord)
{
    // "MD5", "未知" and any other word are written as "3".
    static const char* const codes[] = {"0", "1", "2", "3"};
    return codes[CheckIndexForWord(checkWord)];
}

const char* DownTypeCode(const std::string& downWord) { return downWord == words::kDownAlbum ? "1" : "0"; }

std::string ZipWordForCode(const std::string& code) { return code == "1" ? words::kYes : words::kNo; }

std::string CheckWordForCode(const std::string& code)
{
    if (code == "0")
        return words::kCheckVersion;
    if (code == "1")
        return words::kCheckExists;
    if (code == "2")
        return words::kCheckPak;
    return words::kCheckMd5;
}

std::string DownTypeWordForCode(const std::string& code)
{
    return code == "1" ? words::kDownAlbum : words::kDownDirect;
}

} // namespace tarnwick

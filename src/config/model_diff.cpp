#include "config/model_diff.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <utility>

namespace tarnwick {
namespace {

using Fields = std::vector<std::pair<const char*, std::string>>;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Joined(const Fields& fields)
{
    std::string out;
    for (const auto& [name, value] : fields)
        out += (out.empty() ? "" : " ") + std::string(name) + "=" + Quoted(value);
    return out;
}

// Positions (in `ranks`) that lie outside one longest increasing run: the
// fewest records that moved for the others to keep their order.
std::vector<bool> OutOfOrder(const std::vector<std::size_t>& ranks)
{
    std::vector<std::size_t> tails;   // index into ranks of the smallest tail of each run length
    std::vector<std::size_t> before(ranks.size(), SIZE_MAX);
    for (std::size_t i = 0; i < ranks.size(); ++i) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), ranks[i],
                                         [&](std::size_t t, std::size_t rank) { return ranks[t] < rank; });
        if (at != tails.begin())
            before[i] = *(at - 1);
        if (at == tails.end())
            tails.push_back(i);
        else
            *at = i;
    }
    std::vector<bool> moved(ranks.size(), true);
    for (std::size_t i = tails.empty() ? SIZE_MAX : tails.back(); i != SIZE_MAX; i = before[i])
        moved[i] = false;
    return moved;
}

// Compares two lists whose records are told apart by key (the n-th record of
// a key in one list is the n-th of that key in the other). The records that
// both lists share at their start and end are passed over first: a published
// list mostly differs from its next version in a few places.
template <class Record, class Key, class Name, class Values>
void CompareLists(const RecordList<Record>& beforeAll, const RecordList<Record>& afterAll, Key key, Name name,
                  Values values, std::vector<Difference>& out)
{
    std::size_t head = 0;
    while (head < beforeAll.Count() && head < afterAll.Count() && beforeAll.At(head) == afterAll.At(head))
        ++head;
    std::size_t tail = 0;
    while (tail < beforeAll.Count() - head && tail < afterAll.Count() - head &&
           beforeAll.At(beforeAll.Count() - 1 - tail) == afterAll.At(afterAll.Count() - 1 - tail))
        ++tail;
    // Only the middle is keyed; a key repeated across the cut still pairs its
    // n-th occurrences, counted from the cut.
    const auto middle = [&](const RecordList<Record>& all) {
        RecordList<Record> part;
        for (std::size_t i = head; i + tail < all.Count(); ++i)
            part.Append(all.At(i));
        return part;
    };
    const RecordList<Record> before = middle(beforeAll);
    const RecordList<Record> after = middle(afterAll);

    const auto keyed = [&](const RecordList<Record>& list) {
        std::unordered_map<std::string, std::size_t> seen;
        std::vector<std::pair<std::string, std::size_t>> keys;
        for (const Record& record : list) {
            std::string k = key(record);
            const std::size_t n = seen[k]++;
            keys.emplace_back(std::move(k), n);
        }
        return keys;
    };
    const auto oldKeys = keyed(before);
    const auto newKeys = keyed(after);
    std::unordered_map<std::string, std::size_t> newAt;
    for (std::size_t i = 0; i < newKeys.size(); ++i)
        newAt.emplace(newKeys[i].first + '\0' + std::to_string(newKeys[i].second), i);

    std::vector<bool> kept(newKeys.size(), false);
    std::vector<std::size_t> ranks;
    std::vector<std::size_t> oldOfRank;
    for (std::size_t i = 0; i < oldKeys.size(); ++i) {
        const auto found = newAt.find(oldKeys[i].first + '\0' + std::to_string(oldKeys[i].second));
        const Fields oldValues = values(before.At(i));
        if (found == newAt.end()) {
            out.push_back({Difference::Kind::Removed, name(before.At(i)), {}, Joined(oldValues), {}});
            continue;
        }
        kept[found->second] = true;
        ranks.push_back(found->second);
        oldOfRank.push_back(i);
        const Fields newValues = values(after.At(found->second));
        for (std::size_t f = 0; f < oldValues.size(); ++f)
            if (oldValues[f].second != newValues[f].second)
                out.push_back({Difference::Kind::Changed, name(before.At(i)), oldValues[f].first,
                               oldValues[f].second, newValues[f].second});
    }
    for (std::size_t i = 0; i < newKeys.size(); ++i)
        if (!kept[i])
            out.push_back({Difference::Kind::Added, name(after.At(i)), {}, {}, Joined(values(after.At(i)))});
    const std::vector<bool> moved = OutOfOrder(ranks);
    for (std::size_t r = 0; r < ranks.size(); ++r)
        if (moved[r])
            out.push_back({Difference::Kind::Moved, name(before.At(oldOfRank[r])), {}, {}, {}});
}

} // namespace

std::vector<Difference> CompareModels(const SetupModel& before, const SetupModel& after)
{
    std::vector<Difference> out;
    CompareLists(
        before.groups, after.groups, [](const ServerGroup& g) { return g.Name; },
        [](const ServerGroup& g) { return Message(QT_TRANSLATE_NOOP("Tarnwick", "分组“%1”")).Arg(g.Name); },
        [](const ServerGroup&) { return Fields{}; }, out);
    CompareLists(
        before.servers, after.servers,
        [](const ServerEntry& s) { return s.ShowName + '\0' + s.Group; },
        [](const ServerEntry& s) { return Message(QT_TRANSLATE_NOOP("Tarnwick", "分组“%2”的服务器“%1”")).Arg(s.ShowName).Arg(s.Group); },
        [](const ServerEntry& s) { return Fields{{"Name", s.Name}, {"Addrs", s.Addr}, {"Port", s.Port}}; }, out);

    for (const WebAddressField& web : kWebAddressFields)
        if (before.web.*web.member != after.web.*web.member)
            out.push_back({Difference::Kind::Changed, Message(QT_TRANSLATE_NOOP("Tarnwick", "网页地址 %1")).Arg(web.element), {},
                           before.web.*web.member, after.web.*web.member});

    CompareLists(
        before.updates, after.updates,
        [](const UpdateEntry& u) { return u.SaveDir + '\0' + u.SaveName; },
        [](const UpdateEntry& u) { return Message(QT_TRANSLATE_NOOP("Tarnwick", "更新项“%1”“%2”")).Arg(u.SaveDir).Arg(u.SaveName); },
        [](const UpdateEntry& u) {
            return Fields{{"Hint", u.Hint},   {"DUrl", u.DownUrl},     {"ZIP", ZipCode(u.Zip)},
                          {"Check", CheckCode(u.CheckType)}, {"DType", DownTypeCode(u.DownType)},
                          {"Date", u.Date},   {"VAR", u.Ver},          {"MD5", u.MD5},
                          {"ID", u.DownMD5}};
        },
        out);
    return out;
}

} // namespace tarnwick

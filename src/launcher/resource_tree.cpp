#include "launcher/resource_tree.h"

#include "base/error.h"
#include "base/text.h"
#include "base/translatable.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {
namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kTableHeaderSize = 16;
constexpr std::size_t kEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;

// Reads the directory tables of a file's resource section. Offsets inside the
// tree are relative to its root and checked against the section's raw data.
class DirectoryReader {
public:
    struct Entry {
        ResourceId id;
        bool isDirectory = false;
        std::uint32_t target = 0;
    };
    struct Table {
        DirectoryAttributes attributes;
        std::vector<Entry> entries;
    };
    struct DataEntry {
        std::uint64_t fileOffset = 0;
        std::uint32_t size = 0;
        std::uint32_t codePage = 0;
    };

    DirectoryReader(std::span<const std::byte> file, const PeImage& pe) : file_(file), pe_(pe), tree_({})
    {
        const DataDirectory directory = pe.Directory(PeImage::kResourceDirectory);
        if (directory.address == 0)
            return;
        const SectionHeader* section = pe.SectionOfRva(directory.address);
        const auto root = pe.RvaToOffset(directory.address, kTableHeaderSize);
        if (section == nullptr || !root)
            ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "资源目录位于各节之外")));
        const std::uint64_t end = std::uint64_t{section->pointerToRawData} + section->sizeOfRawData;
        tree_ = ByteReader(file.subspan(*root, end - *root));
        // Every entry of a well-formed tree has its own 8 bytes, so reading more
        // entries than fit means that directories are shared or loop.
        entryBudget_ = tree_.Size() / kEntrySize;
        present_ = true;
    }

    bool Present() const { return present_; }

    Table ReadTable(std::uint32_t offset)
    {
        Table table;
        table.attributes.characteristics = tree_.U32(offset, QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录"));
        table.attributes.timeDateStamp = tree_.U32(std::uint64_t{offset} + 4, QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录"));
        table.attributes.majorVersion = tree_.U16(std::uint64_t{offset} + 8, QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录"));
        table.attributes.minorVersion = tree_.U16(std::uint64_t{offset} + 10, QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录"));
        const std::size_t count = std::size_t{tree_.U16(std::uint64_t{offset} + 12, QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录"))} +
                                  tree_.U16(std::uint64_t{offset} + 14, QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录"));
        if (count > entryBudget_)
            ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "资源目录多次引用同一个表")));
        entryBudget_ -= count;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t at = std::uint64_t{offset} + kTableHeaderSize + i * kEntrySize;
            const std::uint32_t nameField = tree_.U32(at, QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录条目"));
            const std::uint32_t dataField = tree_.U32(at + 4, QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录条目"));
            Entry entry;
            entry.id = (nameField & kHighBit) ? ResourceId::Name(ReadName(nameField & ~kHighBit))
                                              : ResourceId::Number(static_cast<std::uint16_t>(nameField));
            entry.isDirectory = (dataField & kHighBit) != 0;
            entry.target = dataField & ~kHighBit;
            table.entries.push_back(std::move(entry));
        }
        return table;
    }

    DataEntry ReadData(std::uint32_t offset) const
    {
        const std::uint32_t rva = tree_.U32(offset, QT_TRANSLATE_NOOP("Tarnwick", "一个资源数据条目"));
        DataEntry entry;
        entry.size = tree_.U32(std::uint64_t{offset} + 4, QT_TRANSLATE_NOOP("Tarnwick", "一个资源数据条目"));
        entry.codePage = tree_.U32(std::uint64_t{offset} + 8, QT_TRANSLATE_NOOP("Tarnwick", "一个资源数据条目"));
        const auto at = pe_.RvaToOffset(rva, entry.size);
        if (!at)
            ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "资源数据位于各节之外")));
        entry.fileOffset = *at;
        return entry;
    }

    std::span<const std::byte> File() const { return file_; }

private:
    std::u16string ReadName(std::uint32_t offset) const
    {
        const std::uint16_t length = tree_.U16(offset, QT_TRANSLATE_NOOP("Tarnwick", "一个资源名称"));
        auto bytes = tree_.Bytes(std::uint64_t{offset} + 2, std::uint64_t{length} * 2, QT_TRANSLATE_NOOP("Tarnwick", "一个资源名称"));
        std::u16string name(length, u'\0');
        for (std::size_t i = 0; i < length; ++i)
            name[i] = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[2 * i]) |
                                            (static_cast<std::uint8_t>(bytes[2 * i + 1]) << 8));
        return name;
    }

    std::span<const std::byte> file_;
    const PeImage& pe_;
    ByteReader tree_;
    std::size_t entryBudget_ = 0;
    bool present_ = false;
};

// The tree is read exactly three levels deep (type, name, language), as the
// loader reads it. Entries point at tables by offset, so a crafted file can
// point back up; a level that is not where it should be is refused rather than followed.
void ExpectDirectory(const DirectoryReader::Entry& entry, bool directory)
{
    if (entry.isDirectory != directory)
        ThrowBadImage(Message(directory ? QT_TRANSLATE_NOOP("Tarnwick", "一个资源类型或名称条目含有数据而不是目录")
                                        : QT_TRANSLATE_NOOP("Tarnwick", "一个资源语言条目含有目录而不是数据")));
}

template <typename Entry>
auto FindById(std::vector<Entry>& entries, const ResourceId& id)
{
    return std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return SameResourceId(e.id, id); });
}

template <typename Entry>
auto InsertionPoint(std::vector<Entry>& entries, const ResourceId& id)
{
    return std::find_if(entries.begin(), entries.end(),
                        [&](const Entry& e) { return PrecedesInDirectory(id, e.id); });
}

// Accumulates the section image; offsets inside the tree must fit 31 bits.
class SectionWriter {
public:
    std::uint32_t Offset() const
    {
        if (bytes_.size() >= kHighBit)
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "资源放不进一个资源节")));
        return static_cast<std::uint32_t>(bytes_.size());
    }
    void Align(std::size_t alignment) { bytes_.resize(AlignUp(bytes_.size(), static_cast<std::uint32_t>(alignment)), '\0'); }
    void Table(const DirectoryAttributes& a, std::uint16_t named, std::uint16_t numbered)
    {
        AppendU32(bytes_, a.characteristics);
        AppendU32(bytes_, a.timeDateStamp);
        AppendU16(bytes_, a.majorVersion);
        AppendU16(bytes_, a.minorVersion);
        AppendU16(bytes_, named);
        AppendU16(bytes_, numbered);
    }
    void Reserve(std::size_t bytes) { bytes_.append(bytes, '\0'); }
    std::string& Bytes() { return bytes_; }

private:
    std::string bytes_;
};

template <typename Entry>
std::pair<std::uint16_t, std::uint16_t> Counts(const std::vector<Entry>& entries)
{
    const auto named = std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return e.id.named; });
    const auto total = entries.size();
    if (total > 0xFFFF)
        throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录中的条目太多")));
    return {static_cast<std::uint16_t>(named), static_cast<std::uint16_t>(total - static_cast<std::size_t>(named))};
}

// Directories must list names before numbers for the loader's binary search.
template <typename Entry>
std::vector<const Entry*> InDirectoryOrder(const std::vector<Entry>& entries)
{
    std::vector<const Entry*> ordered;
    for (const auto& e : entries)
        ordered.push_back(&e);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Entry* a, const Entry* b) { return PrecedesInDirectory(a->id, b->id); });
    return ordered;
}

} // namespace

bool SameResourceId(const ResourceId& a, const ResourceId& b)
{
    if (a.named != b.named)
        return false;
    if (!a.named)
        return a.number == b.number;
    return EqualsIgnoringAsciiCase(a.name, b.name);
}

bool PrecedesInDirectory(const ResourceId& a, const ResourceId& b)
{
    if (a.named != b.named)
        return a.named;
    return a.named ? a.name < b.name : a.number < b.number;
}

const ResourceLanguage* ResourceTree::Find(const ResourceId& type, const ResourceId& name,
                                           std::uint16_t language) const
{
    for (const auto& t : types)
        if (SameResourceId(t.id, type))
            for (const auto& n : t.names)
                if (SameResourceId(n.id, name))
                    for (const auto& l : n.languages)
                        if (l.language == language)
                            return &l;
    return nullptr;
}

void ResourceTree::Set(const ResourceId& type, const ResourceId& name, std::uint16_t language,
                       std::span<const std::byte> data)
{
    auto t = FindById(types, type);
    if (t == types.end())
        t = types.insert(InsertionPoint(types, type), ResourceType{type, {}, {}});
    auto n = FindById(t->names, name);
    if (n == t->names.end())
        n = t->names.insert(InsertionPoint(t->names, name), ResourceName{name, {}, {}});
    auto& languages = n->languages;
    auto l = std::find_if(languages.begin(), languages.end(),
                          [&](const ResourceLanguage& e) { return e.language == language; });
    if (l == languages.end())
        l = languages.insert(std::find_if(languages.begin(), languages.end(),
                                          [&](const ResourceLanguage& e) { return e.language > language; }),
                             ResourceLanguage{language, 0, {}});
    l->data.assign(data.begin(), data.end());
}

ResourceTree ReadResourceTree(std::span<const std::byte> file, const PeImage& pe)
{
    DirectoryReader reader(file, pe);
    ResourceTree tree;
    if (!reader.Present())
        return tree;
    auto root = reader.ReadTable(0);
    tree.directory = root.attributes;
    for (const auto& typeEntry : root.entries) {
        ExpectDirectory(typeEntry, true);
        auto typeTable = reader.ReadTable(typeEntry.target);
        ResourceType type{typeEntry.id, typeTable.attributes, {}};
        for (const auto& nameEntry : typeTable.entries) {
            ExpectDirectory(nameEntry, true);
            auto nameTable = reader.ReadTable(nameEntry.target);
            ResourceName name{nameEntry.id, nameTable.attributes, {}};
            for (const auto& languageEntry : nameTable.entries) {
                ExpectDirectory(languageEntry, false);
                if (languageEntry.id.named)
                    ThrowBadImage(Message(QT_TRANSLATE_NOOP("Tarnwick", "资源语言用字符串命名")));
                const auto data = reader.ReadData(languageEntry.target);
                auto bytes = file.subspan(data.fileOffset, data.size);
                name.languages.push_back({languageEntry.id.number, data.codePage, {bytes.begin(), bytes.end()}});
            }
            type.names.push_back(std::move(name));
        }
        tree.types.push_back(std::move(type));
    }
    return tree;
}

std::vector<ResourceLocation> LocateResource(std::span<const std::byte> file, const PeImage& pe,
                                             const ResourceId& type, const ResourceId& name)
{
    DirectoryReader reader(file, pe);
    std::vector<ResourceLocation> found;
    if (!reader.Present())
        return found;
    for (const auto& typeEntry : reader.ReadTable(0).entries) {
        if (!SameResourceId(typeEntry.id, type))
            continue;
        ExpectDirectory(typeEntry, true);
        for (const auto& nameEntry : reader.ReadTable(typeEntry.target).entries) {
            if (!SameResourceId(nameEntry.id, name))
                continue;
            ExpectDirectory(nameEntry, true);
            for (const auto& languageEntry : reader.ReadTable(nameEntry.target).entries) {
                ExpectDirectory(languageEntry, false);
                const auto data = reader.ReadData(languageEntry.target);
                found.push_back({languageEntry.id.number, data.fileOffset, data.size});
            }
            return found;
        }
    }
    return found;
}

std::string LayOutResourceSection(const ResourceTree& tree, std::uint32_t sectionRva)
{
    // Tables first, breadth first (root, types, names), with their entries
    // reserved and filled once the places of names and data are known.
    SectionWriter out;
    const auto types = InDirectoryOrder(tree.types);
    struct Fixup {
        std::size_t entryOffset; // the entry that points at a table
        const ResourceId* id;
        std::uint32_t target;
    };
    std::vector<Fixup> tableFixups;
    std::vector<std::size_t> dataFixups; // the data fields of language entries
    std::vector<const ResourceLanguage*> dataOrder;

    auto writeTable = [&](const DirectoryAttributes& attributes, std::pair<std::uint16_t, std::uint16_t> counts) {
        out.Table(attributes, counts.first, counts.second);
        const std::size_t first = out.Bytes().size();
        out.Reserve((std::size_t{counts.first} + counts.second) * kEntrySize);
        return first;
    };

    const std::size_t rootEntries = writeTable(tree.directory, Counts(tree.types));
    std::vector<std::size_t> typeEntries;
    for (std::size_t i = 0; i < types.size(); ++i) {
        const std::uint32_t at = out.Offset();
        typeEntries.push_back(writeTable(types[i]->directory, Counts(types[i]->names)));
        tableFixups.push_back({rootEntries + i * kEntrySize, &types[i]->id, at});
    }
    std::vector<std::pair<const ResourceName*, std::size_t>> nameTables; // name, offset of its entries
    for (std::size_t i = 0; i < types.size(); ++i) {
        const auto names = InDirectoryOrder(types[i]->names);
        for (std::size_t j = 0; j < names.size(); ++j) {
            const std::uint32_t at = out.Offset();
            const auto languages = names[j]->languages.size();
            if (languages > 0xFFFF)
                throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "一个资源目录中的条目太多")));
            nameTables.push_back({names[j], writeTable(names[j]->directory, {0, static_cast<std::uint16_t>(languages)})});
            tableFixups.push_back({typeEntries[i] + j * kEntrySize, &names[j]->id, at});
        }
    }
    // Language entries: ascending language, as the loader searches them.
    for (const auto& [name, entries] : nameTables) {
        std::vector<const ResourceLanguage*> languages;
        for (const auto& l : name->languages)
            languages.push_back(&l);
        std::stable_sort(languages.begin(), languages.end(),
                         [](const ResourceLanguage* a, const ResourceLanguage* b) { return a->language < b->language; });
        for (std::size_t k = 0; k < languages.size(); ++k) {
            PutU32(out.Bytes(), entries + k * kEntrySize, languages[k]->language);
            dataFixups.push_back(entries + k * kEntrySize + 4);
            dataOrder.push_back(languages[k]);
        }
    }

    // Name strings: a length, then UTF-16 code units.
    for (const auto& f : tableFixups) {
        std::uint32_t nameField = f.id->number;
        if (f.id->named) {
            if (f.id->name.size() > 0xFFFF)
                throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "资源名称太长")));
            nameField = out.Offset() | kHighBit;
            AppendU16(out.Bytes(), static_cast<std::uint16_t>(f.id->name.size()));
            for (char16_t c : f.id->name)
                AppendU16(out.Bytes(), static_cast<std::uint16_t>(c));
        }
        PutU32(out.Bytes(), f.entryOffset, nameField);
        PutU32(out.Bytes(), f.entryOffset + 4, f.target | kHighBit);
    }

    // Data entries on 4-byte boundaries, then each resource's data on an 8-byte one, as resource compilers lay them out.
    out.Align(4);
    std::vector<std::size_t> dataEntryOffsets;
    for (std::size_t k = 0; k < dataOrder.size(); ++k) {
        dataEntryOffsets.push_back(out.Offset());
        PutU32(out.Bytes(), dataFixups[k], static_cast<std::uint32_t>(dataEntryOffsets.back()));
        out.Reserve(kDataEntrySize);
    }
    for (std::size_t k = 0; k < dataOrder.size(); ++k) {
        out.Align(8);
        const std::uint64_t rva = std::uint64_t{sectionRva} + out.Offset();
        if (rva > 0xFFFFFFFFu || dataOrder[k]->data.size() > 0xFFFFFFFFu)
            throw Error(Message(QT_TRANSLATE_NOOP("Tarnwick", "资源放不进一个资源节")));
        PutU32(out.Bytes(), dataEntryOffsets[k], static_cast<std::uint32_t>(rva));
        PutU32(out.Bytes(), dataEntryOffsets[k] + 4, static_cast<std::uint32_t>(dataOrder[k]->data.size()));
        PutU32(out.Bytes(), dataEntryOffsets[k] + 8, dataOrder[k]->codePage);
        out.Bytes().append(reinterpret_cast<const char*>(dataOrder[k]->data.data()), dataOrder[k]->data.size());
    }
    out.Offset(); // the whole section must stay addressable
    return std::move(out.Bytes());
}

} // namespace tarnwick

#include "base/error.h"
#include "launcher/pe_image.h"
#include "launcher/resource_update.h"
#include "launcher/version_stamp.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace tarnwick;
using namespace tarnwick::test;

namespace {

const ResourceId kRcData = ResourceId::Number(10);
const ResourceId kSeven = ResourceId::Number(7);
const ResourceId kVersion = ResourceId::Number(16);
const ResourceId kOne = ResourceId::Number(1);

std::vector<std::byte> Data(const std::string& text) { return {Bytes(text).begin(), Bytes(text).end()}; }

std::string AsText(const std::vector<std::byte>& data) { return {reinterpret_cast<const char*>(data.data()), data.size()}; }

const SectionHeader& Rsrc(const PeImage& pe)
{
    for (const auto& s : pe.Sections())
        if (s.name == ".rsrc")
            return s;
    throw std::runtime_error("no .rsrc");
}

// Offsets at which two equally long byte strings differ.
std::vector<std::size_t> Differences(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i])
            at.push_back(i);
    return at;
}

} // namespace

TEST(PeResources, ReadsHeadersAndTreeOfPe32AndPe32Plus)
{
    for (const char* name : {"version32.exe", "version64.exe"}) {
        SCOPED_TRACE(name);
        const std::string file = Fixture(name);
        const PeImage pe = PeImage::Parse(Bytes(file));
        EXPECT_EQ(pe.Is64(), std::string(name) == "version64.exe");
        // Our checksum agrees with the linker's.
        EXPECT_EQ(PeCheckSum(Bytes(file), pe.CheckSumOffset()), pe.CheckSum());

        const ResourceTree tree = ReadResourceTree(Bytes(file), pe);
        ASSERT_EQ(tree.types.size(), 3u);
        EXPECT_EQ(tree.types[0].id, ResourceId::Name(u"DATA")); // names come before numbers
        EXPECT_EQ(tree.types[0].names.at(0).id, ResourceId::Name(u"LOGINDATA"));
        const auto* english = tree.Find(kRcData, kSeven, 0x0409);
        const auto* chinese = tree.Find(ResourceId::Number(10), kSeven, 0x0804);
        ASSERT_TRUE(english && chinese);
        EXPECT_EQ(AsText(english->data), std::string("english payload\0", 16));
        EXPECT_EQ(AsText(chinese->data), std::string("chinese payload\0", 16));
        EXPECT_NE(tree.Find(ResourceId::Name(u"data"), ResourceId::Name(u"LoginData"), 0x0409), nullptr);
        EXPECT_EQ(tree.Find(kRcData, kSeven, 0x0407), nullptr);

        // Laid out again and read back, the tree is the same value.
        std::string relaid = LayOutResourceSection(tree, Rsrc(pe).virtualAddress);
        std::string copy = file;
        copy.replace(Rsrc(pe).pointerToRawData, relaid.size(), relaid);
        EXPECT_EQ(ReadResourceTree(Bytes(copy), pe), tree);
    }
}

TEST(PeResources, FileWithoutResourcesHasAnEmptyTreeAndRefusesUpdates)
{
    std::string file = Fixture("noresources.exe");
    const std::string before = file;
    EXPECT_TRUE(ReadResourceTree(Bytes(file), PeImage::Parse(Bytes(file))).types.empty());
    EXPECT_EQ(UpdateResource(file, kRcData, kSeven, 0x0409, Data("x")), ResourceUpdate::Refused);
    EXPECT_EQ(file, before);
}

TEST(PeResources, SameSizeOverwritesTheDataAndTheChecksumOnly)
{
    std::string file = Fixture("version64.exe");
    const std::string before = file;
    const PeImage pe = PeImage::Parse(Bytes(file));
    const std::string replacement("ENGLISH PAYLOAD", 16);
    ASSERT_EQ(UpdateResource(file, kRcData, kSeven, 0x0409, Data(replacement)), ResourceUpdate::Overwritten);
    ASSERT_EQ(file.size(), before.size());
    const auto data = LocateResource(Bytes(file), pe, kRcData, kSeven).at(0);
    for (std::size_t at : Differences(before, file)) {
        const bool inData = at >= data.offset && at < data.offset + data.size;
        const bool inCheckSum = at >= pe.CheckSumOffset() && at < pe.CheckSumOffset() + 4;
        EXPECT_TRUE(inData || inCheckSum) << "byte " << at << " changed";
    }
    EXPECT_EQ(file.substr(data.offset, data.size), replacement);
    EXPECT_EQ(PeCheckSum(Bytes(file), pe.CheckSumOffset()), U32At(file, pe.CheckSumOffset()));
}

TEST(PeResources, RebuildsInPlaceWhenTheSectionHasRoom)
{
    // .reloc follows .rsrc, whose raw size has some slack.
    std::string file = Fixture("notlast.exe");
    const std::string before = file;
    const PeImage pe = PeImage::Parse(Bytes(file));
    const ResourceTree old = ReadResourceTree(Bytes(file), pe);
    ASSERT_EQ(UpdateResource(file, kRcData, ResourceId::Name(u"EXTRA"), 0x0804, Data("added")),
              ResourceUpdate::Rebuilt);
    EXPECT_EQ(file.size(), before.size());
    const PeImage after = PeImage::Parse(Bytes(file));
    ResourceTree expected = old;
    expected.Set(kRcData, ResourceId::Name(u"EXTRA"), 0x0804, Data("added"));
    EXPECT_EQ(ReadResourceTree(Bytes(file), after), expected);
    EXPECT_GT(Rsrc(after).virtualSize, Rsrc(pe).virtualSize);
    EXPECT_EQ(after.Directory(PeImage::kResourceDirectory).size, Rsrc(after).virtualSize);
    // Sections other than .rsrc are untouched.
    const auto& reloc = pe.Sections().back();
    const std::size_t sectionsStart = pe.Sections().front().pointerToRawData;
    const std::size_t rsrcStart = Rsrc(pe).pointerToRawData;
    EXPECT_EQ(file.substr(sectionsStart, rsrcStart - sectionsStart), before.substr(sectionsStart, rsrcStart - sectionsStart));
    EXPECT_EQ(file.substr(reloc.pointerToRawData), before.substr(reloc.pointerToRawData));
}

TEST(PeResources, RefusesToGrowASectionThatIsNotTheLast)
{
    std::string file = Fixture("notlast.exe");
    const std::string before = file;
    EXPECT_EQ(UpdateResource(file, kRcData, kSeven, 0x0409, std::vector<std::byte>(4096)), ResourceUpdate::Refused);
    EXPECT_EQ(file, before);
}

TEST(PeResources, GrowsTheLastSectionAndKeepsTheOverlayAndCertificateTable)
{
    std::string file = Fixture("version64.exe");
    const PeImage pe = PeImage::Parse(Bytes(file));
    // Bytes appended after the last section, and a certificate table among them.
    const std::string overlay = std::string(8, '\0') + "certificate table stand-in" + std::string(6, '\x7f');
    const auto certificateAt = static_cast<std::uint32_t>(file.size() + 8);
    file += overlay;
    PutU32(file, pe.DirectoryOffset(PeImage::kSecurityDirectory), certificateAt);
    PutU32(file, pe.DirectoryOffset(PeImage::kSecurityDirectory) + 4, 26);
    const std::string before = file;
    const ResourceTree old = ReadResourceTree(Bytes(file), pe);

    const std::vector<std::byte> big(5000, std::byte{0xAB});
    ASSERT_EQ(UpdateResource(file, kRcData, kSeven, 0x0409, big), ResourceUpdate::Grown);
    const PeImage after = PeImage::Parse(Bytes(file));
    const auto& rsrc = Rsrc(after);
    EXPECT_EQ(rsrc.sizeOfRawData % after.FileAlignment(), 0u);
    EXPECT_GE(rsrc.sizeOfRawData, rsrc.virtualSize);
    EXPECT_EQ(file.size(), before.size() + (rsrc.sizeOfRawData - Rsrc(pe).sizeOfRawData));
    EXPECT_EQ(U32At(file, after.SizeOfImageOffset()),
              AlignUp(rsrc.virtualAddress + std::uint64_t{rsrc.virtualSize}, after.SectionAlignment()));
    EXPECT_EQ(file.substr(file.size() - overlay.size()), overlay);
    const std::uint32_t movedCertificate = after.Directory(PeImage::kSecurityDirectory).address;
    EXPECT_EQ(file.substr(movedCertificate, 26), "certificate table stand-in");
    EXPECT_EQ(PeCheckSum(Bytes(file), after.CheckSumOffset()), after.CheckSum());
    ResourceTree expected = old;
    expected.Set(kRcData, kSeven, 0x0409, big);
    EXPECT_EQ(ReadResourceTree(Bytes(file), after), expected);
    // The other sections are as they were.
    const std::size_t sectionsStart = pe.Sections().front().pointerToRawData;
    const std::size_t rsrcStart = Rsrc(pe).pointerToRawData;
    EXPECT_EQ(file.substr(sectionsStart, rsrcStart - sectionsStart), before.substr(sectionsStart, rsrcStart - sectionsStart));
}

TEST(PeResources, RefusesWhenTheCertificateTableLiesInTheResourceSection)
{
    std::string file = Fixture("version64.exe");
    const PeImage pe = PeImage::Parse(Bytes(file));
    PutU32(file, pe.DirectoryOffset(PeImage::kSecurityDirectory), Rsrc(pe).pointerToRawData + 0x100);
    PutU32(file, pe.DirectoryOffset(PeImage::kSecurityDirectory) + 4, 8);
    const std::string before = file;
    EXPECT_EQ(UpdateResource(file, kRcData, kSeven, 0x0409, Data("other size")), ResourceUpdate::Refused);
    EXPECT_EQ(file, before);
}

TEST(PeResources, MalformedFilesRaiseAndStayUnchanged)
{
    const std::string good = Fixture("noversion.exe");
    const PeImage pe = PeImage::Parse(Bytes(good));
    const std::size_t root = Rsrc(pe).pointerToRawData;
    struct Row {
        const char* defect;
        std::function<void(std::string&)> damage;
    };
    const std::vector<Row> rows = {
        {"empty file", [](std::string& f) { f.clear(); }},
        {"no MZ", [](std::string& f) { f[0] = 'X'; }},
        {"PE header past the end", [](std::string& f) { PutU32(f, 0x3C, 0x7FFFFFF0); }},
        {"truncated in the section table", [](std::string& f) { f.resize(0x1A0); }},
        {"section past the end", [&](std::string& f) { f.resize(root + 0x10); }},
        {"type entry pointing back at the root",
         [&](std::string& f) { PutU32(f, root + 16 + 4, 0x80000000u); }},
        {"name string past the section", [&](std::string& f) { PutU32(f, root + 16, 0x8000FFF0u); }},
        {"entry count beyond the section", [&](std::string& f) { PutU16(f, root + 14, 0xFFFF); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.defect);
        std::string file = good;
        row.damage(file);
        const std::string before = file;
        EXPECT_THROW(UpdateResource(file, kRcData, kSeven, 0x0409, Data("different size")), Error);
        EXPECT_EQ(file, before);
    }
}

TEST(PeResources, AdjustedCheckSumMatchesAFullSum)
{
    std::string file = Fixture("version32.exe");
    const PeImage pe = PeImage::Parse(Bytes(file));
    file.push_back('\x5A'); // an odd length ends in half a word
    PutU32(file, pe.CheckSumOffset(), PeCheckSum(Bytes(file), pe.CheckSumOffset()));
    std::uint32_t seed = 12345;
    for (std::size_t offset : {std::size_t{0x401}, std::size_t{0x402}, std::size_t{0x7FF}, file.size() - 3}) {
        SCOPED_TRACE(offset);
        const std::string before = file.substr(offset, 3);
        std::string after = before;
        for (char& c : after)
            c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        const auto adjusted = AdjustedCheckSum(U32At(file, pe.CheckSumOffset()), file.size(), offset, Bytes(before), Bytes(after));
        file.replace(offset, 3, after);
        ASSERT_TRUE(adjusted);
        EXPECT_EQ(*adjusted, PeCheckSum(Bytes(file), pe.CheckSumOffset()));
        PutU32(file, pe.CheckSumOffset(), *adjusted);
    }
    // A field that no file size can explain is no base to adjust.
    EXPECT_FALSE(AdjustedCheckSum(0x10, file.size(), 0x401, Bytes(std::string("a")), Bytes(std::string("b"))));
}

TEST(PeResources, DamagedFilesGiveAnAnswerOrAnErrorAndNeverAHalfChange)
{
    // Random bytes changed in the headers and the resource section. Whatever
    // the reader makes of the file, an update either did what it says (the
    // value reads back) or left the file as it was; the sanitizer build also
    // checks every read and write against the bounds.
    const std::string good = Fixture("notlast.exe");
    const PeImage pe = PeImage::Parse(Bytes(good));
    const std::size_t rsrc = Rsrc(pe).pointerToRawData, rsrcEnd = rsrc + Rsrc(pe).sizeOfRawData;
    std::uint32_t seed = 99;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    int stamped = 0, refused = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string file = good;
        for (int k = 0; k < 4; ++k) {
            const std::size_t at = next() % 3 == 0 ? next() % 0x200 : rsrc + next() % (rsrcEnd - rsrc);
            file[at] = static_cast<char>(next());
        }
        const std::string damaged = file;
        const StampResult result = StampImage(file, u"GameName", u"Velmora");
        if (result.Stamped()) {
            ++stamped;
            // A version resource of the file now holds the value and its terminator
            // (other parts of the tree may still be as damaged as before).
            const std::string value("V\0e\0l\0m\0o\0r\0a\0\0\0", 16);
            bool holds = false;
            for (const auto& at : LocateResource(Bytes(file), PeImage::Parse(Bytes(file)), ResourceId::Number(16),
                                                 ResourceId::Number(1)))
                holds = holds || file.substr(at.offset, at.size).find(value) != std::string::npos;
            ASSERT_TRUE(holds) << round;
        } else {
            ++refused;
            ASSERT_EQ(file, damaged) << round;
        }

        const std::string before = file;
        const std::vector<std::byte> data(static_cast<std::size_t>(round % 700), std::byte{0x5A});
        try {
            if (UpdateResource(file, kRcData, kSeven, 0x0409, data) == ResourceUpdate::Refused) {
                ASSERT_EQ(file, before) << round;
            } else {
                bool holds = false;
                for (const auto& at : LocateResource(Bytes(file), PeImage::Parse(Bytes(file)), kRcData, kSeven))
                    holds = holds || (at.language == 0x0409 && Bytes(file).subspan(at.offset, at.size).size() ==
                                                                    data.size() &&
                                      std::equal(data.begin(), data.end(), Bytes(file).begin() + at.offset));
                ASSERT_TRUE(holds) << round;
            }
        } catch (const Error&) {
            ASSERT_EQ(file, before) << round;
        }
    }
    // Both answers occur, so both branches above were checked.
    EXPECT_GT(stamped, 0);
    EXPECT_GT(refused, 0);
}

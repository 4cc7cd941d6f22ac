// Archives that contradict themselves, made a few bytes at a time: each must be called
// damaged, naming what disagrees, before anything is unpacked or allocated by its word.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/check_messages.h"
#include "backup/restore.h"
#include "backup/verify.h"
#include "backup/zip_reader.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/zip_maker.h"
#include "tests/unit/restore_said.h"

namespace ch {
namespace {

using test::makeZip;
using test::makeZipItems;
using test::ZipItem;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

void set16(std::string& zip, size_t at, uint32_t v) {
    zip[at] = static_cast<char>(v);
    zip[at + 1] = static_cast<char>(v >> 8);
}
void set32(std::string& zip, size_t at, uint32_t v) {
    set16(zip, at, v & 0xFFFF);
    set16(zip, at + 2, v >> 16);
}
uint32_t get32At(const std::string& zip, size_t at) {
    return azip::get32(reinterpret_cast<const unsigned char*>(zip.data()) + at);
}

struct Reading : ::testing::Test {
    test::MemoryFileSystem fs;
    // Every line of "/verify" for an archive, the verdict last.
    std::vector<std::string> verify(const std::string& zip) {
        fs.addFile("C:\\x.zip", zip);
        return verifyBackup(fs, fs.codePage(), "C:\\x.zip", std::nullopt).lines;
    }
    bool intact(const std::string& zip) {
        fs.addFile("C:\\x.zip", zip);
        return checkBackup(fs, fs.codePage(), "C:\\x.zip").intact();
    }
};

const std::string kThree = makeZip({{"a.dat", "aaaa"}, {"b.dat", "bb"}, {"c.idx", "c"}});

TEST_F(Reading, TheEndRecordsCountsAndSizesMustMatchTheCentralDirectory) {
    ASSERT_TRUE(intact(kThree));
    const size_t end = kThree.size() - 22;
    std::string total = kThree; // one count changed: the two counts disagree
    set16(total, end + 10, 1);
    EXPECT_THAT(verify(total), Contains(HasSubstr("two different numbers of entries (3 and 1)")));
    std::string both = kThree; // both: the walk finds three records where one was promised
    set16(both, end + 8, 1);
    set16(both, end + 10, 1);
    EXPECT_THAT(verify(both),
                Contains(HasSubstr("counts 1 entries, its central directory holds 3")));
    std::string longer = kThree; // the directory said to start earlier than it does
    set32(longer, end + 12, get32At(kThree, end + 12) + 10);
    set32(longer, end + 16, get32At(kThree, end + 16) - 10);
    EXPECT_FALSE(intact(longer));
    std::string huge = kThree; // a size near the 32-bit limit is damage, never an allocation
    set32(huge, end + 12, 0xFFFFFFF0u);
    EXPECT_THAT(verify(huge), Contains(HasSubstr("lies outside the archive")));
}

// The ZIP64 end record and its locator, placed before the classic end record.
std::string withZip64End(const std::string& zip, uint64_t count) {
    const size_t end = zip.size() - 22;
    std::string z, loc;
    azip::put32(z, 0x06064b50);
    azip::put64(z, 44);
    azip::put16(z, 45);
    azip::put16(z, 45);
    azip::put32(z, 0);
    azip::put32(z, 0);
    azip::put64(z, count);
    azip::put64(z, count);
    azip::put64(z, get32At(zip, end + 12));
    azip::put64(z, get32At(zip, end + 16));
    azip::put32(loc, 0x07064b50);
    azip::put32(loc, 0);
    azip::put64(loc, end);
    azip::put32(loc, 1);
    return zip.substr(0, end) + z + loc + zip.substr(end);
}

TEST_F(Reading, TheZip64EndRecordMustAgreeWithTheClassicOne) {
    EXPECT_TRUE(intact(withZip64End(kThree, 3)));
    EXPECT_THAT(verify(withZip64End(kThree, 2)),
                Contains(HasSubstr("ZIP64 end record differs from the classic end record")));
}

TEST_F(Reading, EntriesThatShareBytesAreRefusedBeforeTheyAreUnpacked) {
    // A stored entry hides the next entry's local header in its data: the bytes of b.dat are
    // unpacked twice. Scaled up, this is how a small archive unpacks into terabytes.
    const std::string inner = makeZip({{"b.dat", std::string(5000, 'b')}});
    const size_t innerCd = get32At(inner, inner.size() - 22 + 16);
    const std::string outer = makeZipItems({ZipItem("a.dat", inner.substr(0, innerCd)).store()});
    const size_t outerCd = get32At(outer, outer.size() - 22 + 16);
    std::string bRecord = inner.substr(innerCd, inner.size() - 22 - innerCd);
    set32(bRecord, 42, 30 + 5); // b.dat's header sits at the start of a.dat's data
    std::string bomb =
        outer.substr(0, outer.size() - 22) + bRecord + outer.substr(outer.size() - 22);
    const size_t end = bomb.size() - 22;
    set16(bomb, end + 8, 2);
    set16(bomb, end + 10, 2);
    set32(bomb, end + 12, static_cast<uint32_t>(end - outerCd));
    EXPECT_THAT(verify(bomb), Contains(HasSubstr("the entry b.dat: its bytes overlap those of "
                                                 "the entry a.dat")));
}

// A Unicode name field: version 1, the CRC-32 of the header's name, the name in UTF-8.
std::string unicodeField(const std::string& headerName, const std::string& utf8) {
    std::string f;
    azip::put16(f, 0x7075);
    azip::put16(f, static_cast<uint32_t>(5 + utf8.size()));
    f += '\1';
    azip::put32(f, crc32Of(headerName));
    return f + utf8;
}

std::string zip64Field(uint64_t size, uint64_t compressed) {
    std::string f;
    azip::put16(f, 1);
    azip::put16(f, 16);
    azip::put64(f, size);
    azip::put64(f, compressed);
    return f;
}

TEST_F(Reading, AUnicodeNameFieldGivesTheNameWhenItWasWrittenForTheHeadersName) {
    EXPECT_THAT(verify(makeZip({{std::string("te\0st.dat", 9), "x"}})),
                Contains(HasSubstr("the entry te?st.dat: its name holds a NUL byte")));
    // As Windows tools write it: the OEM spelling (code page 850: 0x81 is "ü") in the header.
    const std::string oem = "M\x81ller.dat", utf8 = "M\xC3\xBCller.dat";
    fs.addFile("C:\\x.zip",
               makeZipItems({ZipItem(oem, "x").withExtra(unicodeField(oem, utf8)),
                             ZipItem("e.dat", "y").withExtra(unicodeField("f.dat", "g.dat"))}));
    const CheckedBackup checked = checkBackup(fs, fs.codePage(), "C:\\x.zip");
    EXPECT_TRUE(checked.intact()) << ::testing::PrintToString(checked.problems);
    ASSERT_EQ(checked.files.size(), 2u);
    EXPECT_EQ(checked.files[0].name, "M\xFCller.dat");
    EXPECT_EQ(checked.files[1].name, "e.dat"); // a field for another name is out of date

    // A spelling the code page lacks cannot be held: not restorable, not damaged.
    const auto lines = verify(
        makeZipItems({ZipItem("x.dat", "x").withExtra(unicodeField("x.dat", "\xE8\xA1\xA8.dat"))}));
    EXPECT_THAT(lines, Contains("?.dat: CANNOT BE RESTORED here: its name has characters that "
                                "this system's code page for file names does not have"));
    EXPECT_THAT(lines, Not(Contains(HasSubstr("DAMAGED"))));
}

TEST_F(Reading, HeadersThatGiveAFieldTwiceOrDisagreeWithEachOtherAreDamage) {
    const std::string u = unicodeField("e.dat", "e.dat");
    const auto damaged = [&](const ZipItem& item) { return verify(makeZipItems({item})); };
    EXPECT_THAT(damaged(ZipItem("e.dat", "x").withExtra(u + u)),
                Contains(HasSubstr("the entry e.dat: it holds two Unicode name fields")));
    EXPECT_THAT(damaged(ZipItem("e.dat", "x").withExtra(u).withLocalExtra(u + u)),
                Contains(HasSubstr("its local header holds two Unicode name fields")));
    EXPECT_THAT(damaged(ZipItem("e.dat", "x").withLocalExtra(zip64Field(1, 3) + zip64Field(1, 3))),
                Contains(HasSubstr("its local header holds two ZIP64 fields")));
    EXPECT_THAT(damaged(ZipItem("e.dat", "x")
                            .withExtra(unicodeField("e.dat", "\xC3\xA9.dat"))
                            .withLocalExtra(unicodeField("e.dat", "f.dat"))),
                Contains(HasSubstr("its local header gives another Unicode name")));
    EXPECT_THAT(
        verify(makeZipItems({ZipItem("e.dat", "x").withExtra(std::string("\x0A\0\x10\0abcd", 8))})),
        Contains(HasSubstr("the entry e.dat: an extra field runs past its header")));

    // ZIP64 sizes in the local header must be the central directory's.
    std::string zip =
        makeZipItems({ZipItem("e.dat", "xyz").store().withLocalExtra(zip64Field(3, 3))});
    set32(zip, 18, 0xFFFFFFFF);
    set32(zip, 22, 0xFFFFFFFF);
    EXPECT_TRUE(intact(zip));
    zip[39] = 4; // the size in the local ZIP64 field
    EXPECT_THAT(verify(zip), Contains(HasSubstr("its local header's ZIP64 sizes differ")));

    // Bytes between the central directory and its end record harm nothing.
    const std::string gap =
        kThree.substr(0, kThree.size() - 22) + "padding" + kThree.substr(kThree.size() - 22);
    EXPECT_TRUE(intact(gap));
}

// Names that Windows cannot create are found by the check, not by a failing restore.
TEST_F(Reading, NamesWindowsCannotCreateAreNotRestorable) {
    for (const std::string name : {"a<b.dat", "a|b.dat", "a\"b.idx", "a*b.dat", "a\x01.dat"}) {
        const auto lines = verify(makeZip({{name, "x"}}));
        EXPECT_THAT(lines, Contains(HasSubstr(name + ": CANNOT BE RESTORED here: its name holds")));
        EXPECT_THAT(lines.back(), HasSubstr("cannot be restored: see the lines above")) << name;
    }
    for (const std::string device :
         {"COM0.dat", "lpt0.idx", "COM\xB9.dat", "LPT\xB3.idx", "CONIN$.dat", "conout$.idx"})
        EXPECT_THAT(verify(makeZip({{device, "x"}})),
                    Contains(HasSubstr("The entry " + device + " would be unpacked outside")));
    EXPECT_TRUE(intact(makeZip({{"COM10.dat", "x"}, {"a.b.dat", "y"}})));
    // Code page 932: the trail byte of "ポ" is the byte of "|".
    fs.useCodePage932();
    EXPECT_TRUE(intact(makeZip({{"\x83\x7C.dat", "x"}})));
}

TEST_F(Reading, ADataDescriptorMustAgreeWithTheCentralDirectory) {
    const std::string zip = makeZipItems({ZipItem("a.dat", "chats").withDescriptor()});
    EXPECT_TRUE(intact(zip));
    std::string other = zip;
    const size_t descriptor = zip.find("PK\x07\x08");
    set32(other, descriptor + 12, 6); // its size
    EXPECT_THAT(verify(other),
                Contains("a.dat: DAMAGED: its data descriptor differs from the central "
                         "directory"));
}

TEST_F(Reading, ARestoreThatDoesNotFitOnTheDriveIsRefusedWithBothFigures) {
    fs.addDrive('d');
    fs.addFile("C:\\ICQ\\db\\a.dat", "old");
    fs.addFile("D:\\x.zip", makeZip({{"a.dat", std::string(5000, 'a')}}));
    fs.setFreeSpace('c', 1000);
    const SaidRestore report =
        restoreSaid(fs, fs.codePage(), checkBackup(fs, fs.codePage(), "D:\\x.zip"), "C:\\ICQ",
                    "2026-12-07-030000");
    EXPECT_EQ(report.outcome, RestoreOutcome::Refused);
    EXPECT_THAT(report.text, HasSubstr("need 4.9 KB, and the drive of C:\\ICQ has 1000 bytes"));
    EXPECT_TRUE(fs.changes().empty()) << fs.dump();
}

// Names as other systems store them: UTF-8 with flag bit 11, or a double-byte code page.
TEST_F(Reading, NamesAreRestoredAsTheSystemSpellsThemOrRefusedByName) {
    fs.addDrive('d');
    fs.addFolder("C:\\ICQ");
    const auto restoreInto = [&](const std::string& zip) {
        fs.addFile("D:\\x.zip", zip);
        return restoreSaid(fs, fs.codePage(), checkBackup(fs, fs.codePage(), "D:\\x.zip"),
                           "C:\\ICQ", "2026-12-07-030000");
    };
    constexpr uint16_t utf8 = 1 << 11;
    ASSERT_EQ(
        restoreInto(makeZipItems({ZipItem("M\xC3\xBCller.dat", "x").withFlags(utf8)})).outcome,
        RestoreOutcome::Done);
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\M\xFCller.dat"), "x") << fs.dump();

    // A character the code page lacks is never written under another name.
    const SaidRestore refused = restoreInto(
        makeZipItems({ZipItem("\xE8\xA1\xA8.dat", "x").withFlags(utf8), ZipItem("a.idx", "y")}));
    EXPECT_EQ(refused.outcome, RestoreOutcome::Refused);
    EXPECT_THAT(refused.text, HasSubstr("?.dat: it cannot be restored on this system: its name"));

    // Windows folds the case of letters outside ASCII too.
    EXPECT_THAT(verify(makeZip({{"\xC9.dat", "x"}, {"\xE9.dat", "y"}})),
                Contains(HasSubstr("holds \xE9.dat more than once")));

    // Code page 932: "表" ends in the byte of a backslash; "ア" and "ヂ" differ only in a trail
    // byte that ASCII folding would take for "A" and "a".
    fs.useCodePage932();
    const std::string hyou = "\x95\x5C.dat";
    EXPECT_TRUE(intact(makeZip({{"\x83\x41.dat", "a"}, {"\x83\x61.dat", "b"}})));
    const SaidRestore dbcs = restoreInto(makeZip({{hyou, "x"}}));
    ASSERT_EQ(dbcs.outcome, RestoreOutcome::Done) << dbcs.text;
    EXPECT_EQ(fs.content("C:\\ICQ\\db\\" + hyou), "x") << fs.dump();
}

} // namespace
} // namespace ch

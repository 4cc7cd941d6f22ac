// addZIP_Make: one call with everything as arguments. Its progress reaches the context the
// caller gave, a stop there leaves the earlier archive, and what the other entries set is
// neither used nor changed.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/azip32_test_files.h"

namespace ch::azip::test {
namespace {

struct Listener {
    int calls = 0;
    int stopAt = 0; // the report that asks to stop; 0 for none
    int32_t lastStage = 0;
};

int32_t AZIP_API hear(void* context, int32_t stage, uint32_t doneKiB, uint32_t totalKiB) {
    Listener& listener = *static_cast<Listener*>(context);
    EXPECT_LE(doneKiB, totalKiB);
    listener.lastStage = stage;
    return ++listener.calls == listener.stopAt ? 1 : 0;
}

int oldEntryCalls = 0;
int32_t AZIP_API hearWithoutContext(int32_t, uint32_t, uint32_t) {
    ++oldEntryCalls;
    return 0;
}

TEST(MakeEntryTest, ProgressReachesTheCallersContextAndAStopThereChangesNothing) {
    TempDir src, out;
    writeFile(src / "a.dat", chat(3 << 20, 1), 1104537600);
    writeFile(src / "a.idx", chat(4000, 2), 1104537600);
    const std::string list = writeList(out, {src / "a.dat", src / "a.idx"});
    const std::string zip = out / "chathoard.zip";
    writeFile(zip, "earlier archive");

    // What the stateful entries hold stays theirs.
    addZIP_Initialise();
    addZIP_SetProgress(hearWithoutContext);
    addZIP_ArchiveName((out / "other.zip").c_str());
    addZIP_IncludeListFile(list.c_str());
    oldEntryCalls = 0;

    Listener first, second;
    ASSERT_EQ(addZIP_Make(zip.c_str(), list.c_str(), nullptr, hear, &first), AZIP_OK);
    EXPECT_GE(first.calls, 6);
    EXPECT_EQ(first.lastStage, AZIP_STAGE_CHECKING);
    EXPECT_EQ(second.calls, 0);
    EXPECT_EQ(oldEntryCalls, 0);
    EXPECT_EQ(checkZip(out, zip, {{"a.dat", src / "a.dat"}, {"a.idx", src / "a.idx"}}).status, 0);
    const std::string made = readFile(zip);

    // Stopped at its first report and at its last, before the archive is put in place.
    for (const int stopAt : {1, first.calls}) {
        writeFile(zip, "earlier archive");
        second = Listener{0, stopAt};
        EXPECT_EQ(addZIP_Make(zip.c_str(), list.c_str(), "", hear, &second), AZIP_ERR_CANCELLED);
        EXPECT_EQ(second.calls, stopAt);
        EXPECT_EQ(readFile(zip), "earlier archive");
        auto names = out.names();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"chathoard.zip", "icqtemp.dat"}));
    }
    EXPECT_EQ(addZIP_Make(zip.c_str(), list.c_str(), nullptr, nullptr, nullptr), AZIP_OK);
    EXPECT_EQ(readFile(zip), made);

    EXPECT_EQ(addZIP(), AZIP_OK);
    EXPECT_GT(oldEntryCalls, 0);
    EXPECT_EQ(readFile(out / "other.zip"), made);

    EXPECT_EQ(addZIP_Make(nullptr, list.c_str(), nullptr, nullptr, nullptr), AZIP_ERR_NOT_SET);
    EXPECT_EQ(addZIP_Make(zip.c_str(), "", nullptr, nullptr, nullptr), AZIP_ERR_NOT_SET);
}

TEST(MakeEntryTest, APasswordEncryptsThisArchiveOnly) {
    TempDir src, out;
    writeFile(src / "a.dat", chat(70000, 3));
    const std::string list = writeList(out, {src / "a.dat"});
    const std::string zip = out / "chathoard.zip";
    const auto test7z = [&](const char* password) {
        return std::system(
            ("7z t -p'" + std::string(password) + "' '" + zip + "' > /dev/null 2>&1 < /dev/null")
                .c_str());
    };
    addZIP_Initialise();
    ASSERT_EQ(addZIP_Make(zip.c_str(), list.c_str(), "S3cret pass", nullptr, nullptr), AZIP_OK);
    EXPECT_EQ(test7z("S3cret pass"), 0);
    EXPECT_NE(test7z("S3cret Pass"), 0);

    // The password was this call's: the stateful entries still make plain archives.
    ASSERT_EQ(addZip(zip, list), AZIP_OK);
    EXPECT_EQ(checkZip(out, zip, {{"a.dat", src / "a.dat"}}).status, 0);
}

} // namespace
} // namespace ch::azip::test

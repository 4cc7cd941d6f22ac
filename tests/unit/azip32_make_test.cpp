// addZIP_Make: one call with everything as arguments. Its progress reaches the context the
// caller gave, a stop there leaves the earlier archive, and what the other entries set is
// neither used nor changed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

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

// addZIP_MakeOnDemand's caller: copies each file into a staging folder when the library wants
// it and deletes the copy once it is done with it.
struct Stager {
    Stager(const TempDir& from, const TempDir& to, std::vector<std::string> listed = {})
        : sources(from), staging(to), names(std::move(listed)) {}
    const TempDir& sources;
    const TempDir& staging;
    std::vector<std::string> names;
    std::vector<std::string> events; // "+i" wanted, "-i" done
    size_t there = 0, mostThere = 0;
    int stopAtEvent = 0; // the file event that asks to stop; 0 for none
    uint32_t packedKiB = 0;
};

int32_t AZIP_API onFile(void* context, int32_t event, uint32_t index) {
    Stager& s = *static_cast<Stager*>(context);
    const std::string name = s.names.at(index);
    s.events.push_back((event == AZIP_FILE_WANTED ? "+" : "-") + std::to_string(index));
    if (event == AZIP_FILE_WANTED) {
        writeFile(s.staging / name, readFile(s.sources / name), 1104537600);
        s.mostThere = std::max(s.mostThere, ++s.there);
    } else {
        EXPECT_EQ(std::remove((s.staging / name).c_str()), 0) << name;
        --s.there;
    }
    return static_cast<int>(s.events.size()) == s.stopAtEvent ? 1 : 0;
}

int32_t AZIP_API onPacking(void* context, int32_t stage, uint32_t doneKiB, uint32_t totalKiB) {
    Stager& s = *static_cast<Stager*>(context);
    if (stage == AZIP_STAGE_PACKING) {
        EXPECT_EQ(totalKiB, 0u); // not known before the files are made
        EXPECT_GE(doneKiB, s.packedKiB);
        s.packedKiB = doneKiB;
    }
    return 0;
}

TEST(MakeOnDemandTest, FilesMadeWhenWantedAndDeletedWhenDoneGiveTheSameArchive) {
    TempDir src, staging, out;
    Stager stager(src, staging);
    std::vector<std::string> listed, sources;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "f" + std::to_string(i) + (i % 3 ? ".dat" : ".idx");
        // A file of several blocks, one deflate cannot shrink (read twice), the rest small.
        const std::string bytes = i == 7    ? chat(1600 << 10, i)
                                  : i == 11 ? noise(70000, i)
                                            : chat(1000 + 997 * i, i);
        writeFile(src / name, bytes, 1104537600);
        stager.names.push_back(name);
        listed.push_back(staging / name);
        sources.push_back(src / name);
    }
    const std::string zip = out / "chathoard.zip";
    const std::string list = writeList(out, listed);
    ASSERT_EQ(addZIP_MakeOnDemand(zip.c_str(), list.c_str(), nullptr, onPacking, onFile, &stager),
              AZIP_OK);
    EXPECT_TRUE(staging.names().empty());
    EXPECT_GT(stager.packedKiB, 1600u);
    // Each file wanted before it is done with, the dones in list order, and only a few made
    // ahead of the packing at any time.
    std::vector<std::string> dones;
    for (size_t i = 0; i < stager.events.size(); ++i) {
        if (stager.events[i][0] == '-') {
            dones.push_back(stager.events[i]);
            const std::string wanted = "+" + stager.events[i].substr(1);
            EXPECT_NE(std::find(stager.events.begin(), stager.events.begin() + i, wanted),
                      stager.events.begin() + i);
        }
    }
    ASSERT_EQ(dones.size(), 40u);
    for (size_t i = 0; i < dones.size(); ++i)
        EXPECT_EQ(dones[i], "-" + std::to_string(i));
    EXPECT_LE(stager.mostThere, 12u);

    // The same bytes as the archive made from files that were all there first.
    const std::string whole = out / "whole.zip";
    ASSERT_EQ(
        addZIP_Make(whole.c_str(), writeList(out, sources).c_str(), nullptr, nullptr, nullptr),
        AZIP_OK);
    EXPECT_EQ(readFile(zip), readFile(whole));

    // A stop at a file leaves the earlier archive and no file of the library's.
    writeFile(zip, "earlier archive");
    const std::string again = writeList(out, listed);
    Stager stopped(src, staging, stager.names);
    stopped.stopAtEvent = 5;
    EXPECT_EQ(addZIP_MakeOnDemand(zip.c_str(), again.c_str(), "", nullptr, onFile, &stopped),
              AZIP_ERR_CANCELLED);
    EXPECT_EQ(stopped.events.size(), 5u);
    EXPECT_EQ(readFile(zip), "earlier archive");
    auto names = out.names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"chathoard.zip", "icqtemp.dat", "whole.zip"}));
    EXPECT_EQ(addZIP_MakeOnDemand(zip.c_str(), again.c_str(), nullptr, nullptr, nullptr, nullptr),
              AZIP_ERR_NOT_SET);
}

// addZIP_MakeOnDemandOpened's caller: hands over each file open, under a listed name that
// does not exist, and closes it once the library is done with it.
int32_t AZIP_API onOpenedFile(void* context, int32_t event, uint32_t index, intptr_t* opened) {
    Stager& s = *static_cast<Stager*>(context);
    EXPECT_EQ(*opened, 0);
    const std::string name = s.names.at(index);
    s.events.push_back((event == AZIP_FILE_WANTED ? "+" : "-") + name);
    static std::vector<int> open;
    if (event == AZIP_FILE_WANTED) {
        open.push_back(::open((s.sources / name).c_str(), O_RDONLY));
        ::lseek(open.back(), 5, SEEK_SET); // read from the start, wherever the caller left it
        *opened = open.back();
    } else {
        // Still open: the library never closes a handle it was given.
        EXPECT_EQ(::close(open.front()), 0) << name;
        open.erase(open.begin());
    }
    return 0;
}

TEST(MakeOnDemandTest, FilesHandedOverOpenAreReadThroughTheirHandles) {
    TempDir src, out;
    Stager stager(src, src);
    std::vector<std::string> listed, sources;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "g" + std::to_string(i) + ".dat";
        // The second is one deflate cannot shrink: it is read a second time, stored.
        writeFile(src / name, i == 1 ? noise(70000, i) : chat(300000, i), 1104537600);
        stager.names.push_back(name);
        listed.push_back(out / ("not-there/" + name));
        sources.push_back(src / name);
    }
    const std::string zip = out / "chathoard.zip", whole = out / "whole.zip";
    ASSERT_EQ(addZIP_MakeOnDemandOpened(zip.c_str(), writeList(out, listed).c_str(), nullptr,
                                        nullptr, onOpenedFile, &stager),
              AZIP_OK);
    EXPECT_EQ(stager.events.size(), 6u);
    ASSERT_EQ(
        addZIP_Make(whole.c_str(), writeList(out, sources).c_str(), nullptr, nullptr, nullptr),
        AZIP_OK);
    EXPECT_EQ(readFile(zip), readFile(whole));
}

// addZIP_MakeOnDemandGrowing's caller: hands over each file as soon as it is begun, and writes
// the next piece of it only when the library has read everything there, as a copy slower than
// the packing would. The file gets its final time with its last piece.
struct Grower {
    std::string source, staged;
    int64_t finalTime = 0;
    size_t written = 0;
    int writer = -1, reader = -1;
    int atEnds = 0;
};

int32_t AZIP_API onGrowingFile(void* context, int32_t event, uint32_t, intptr_t* opened) {
    Grower& g = *static_cast<Grower*>(context);
    EXPECT_EQ(*opened, 0);
    const std::string bytes = readFile(g.source);
    if (event == AZIP_FILE_WANTED) {
        g.writer = ::open(g.staged.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        g.reader = ::open(g.staged.c_str(), O_RDONLY);
        *opened = g.reader;
    } else if (event == AZIP_FILE_AT_END) {
        ++g.atEnds;
        if (g.written < bytes.size()) {
            const size_t piece = std::min<size_t>(bytes.size() - g.written, 300001);
            EXPECT_EQ(::write(g.writer, bytes.data() + g.written, piece),
                      static_cast<ssize_t>(piece));
            g.written += piece;
            if (g.written == bytes.size()) {
                const timespec times[2] = {{g.finalTime, 0}, {g.finalTime, 0}};
                EXPECT_EQ(::futimens(g.writer, times), 0);
            }
            *opened = 1;
        }
    } else {
        ::close(g.reader);
        ::close(g.writer);
    }
    return 0;
}

TEST(MakeOnDemandTest, AFileHandedOverWhileItIsWrittenIsPackedWholeWithItsFinalTime) {
    TempDir src, out;
    const auto grow = [&](const std::string& name, int64_t finalTime) {
        Grower g{src / name, out / name, finalTime};
        writeFile(g.source, chat(1300000, 7), finalTime);
        const std::string zip = out / (name + ".zip");
        EXPECT_EQ(addZIP_MakeOnDemandGrowing(zip.c_str(), writeList(out, {g.staged}).c_str(),
                                             nullptr, nullptr, onGrowingFile, &g),
                  AZIP_OK);
        EXPECT_GT(g.atEnds, 4);
        std::remove(g.staged.c_str());
        return zip;
    };
    // The same bytes as an archive of the whole file.
    const std::string grown = grow("grown.dat", 1104537600);
    const std::string whole = out / "whole.zip";
    ASSERT_EQ(addZIP_Make(whole.c_str(), writeList(out, {src / "grown.dat"}).c_str(), nullptr,
                          nullptr, nullptr),
              AZIP_OK);
    EXPECT_EQ(readFile(grown), readFile(whole));

    // A final time past what the extended-time field holds, where the file's first time had
    // it: the local header keeps its length, and readers take the archive.
    const std::string later = grow("later.dat", 2240611200); // 2041-01-01
    const std::string command =
        "unzip -tq '" + later +
        "' > /dev/null && python3 -c \"import "
        "zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); assert "
        "z.testzip() is None; assert z.infolist()[0].date_time[0]==2041\" '" +
        later + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

} // namespace
} // namespace ch::azip::test

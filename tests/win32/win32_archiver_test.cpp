// Binding azip32.dll: by full path from one folder, by name on first call, with 48 for a
// missing library and 453 for a missing entry; a library without addZIP_Make is used through
// its older entries.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <utility>

#include "platform/runtime_error.h"
#include "platform/win32/win32_archiver.h"
#include "platform/win32/win32_program_folder.h"
#include "tests/win32/win32_test_helpers.h"

namespace ch {
namespace {

using test::TempFolder;
using ::testing::AnyOf;
using ::testing::HasSubstr;

template <typename Operation> RuntimeError errorOf(Operation operation) {
    try {
        operation();
    } catch (const RuntimeError& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return RuntimeError(0);
}

TEST(Win32ArchiverTest, MissingLibraryIsError48NamingTheFileAtEveryEntry) {
    TempFolder empty;
    Win32Archiver archiver(empty.path());
    EXPECT_EQ(archiver.libraryPath(), empty / "azip32.dll");

    RuntimeError e = errorOf([&] { archiver.addZIP_Initialise(); });
    EXPECT_EQ(e.number(), errDllLoad);
    EXPECT_THAT(e.description(), HasSubstr(empty / "azip32.dll"));
    EXPECT_EQ(errorOf([&] {
                  archiver.makeArchive({"C:\\x.zip", "C:\\l.dat", "", {}}, {});
              }).number(),
              errDllLoad);
    // Asked to encrypt, no library is one that cannot.
    EXPECT_EQ(archiver.makeArchive({"C:\\x.zip", "C:\\l.dat", "pw", {}}, {}),
              kArchiverCannotEncrypt);
}

TEST(Win32ArchiverTest, LibraryWithoutTheEntriesIsError453NamingTheEntry) {
    // Any module without the four entries stands in: a copy of this test program.
    TempFolder folder;
    ASSERT_TRUE(CopyFileA(test::testProgramPath().c_str(), (folder / "azip32.dll").c_str(), FALSE));
    {
        Win32Archiver archiver(folder.path());
        RuntimeError e = errorOf([&] { archiver.addZIP_Initialise(); });
        EXPECT_EQ(e.number(), errDllEntryPoint);
        EXPECT_THAT(e.description(), HasSubstr("addZIP_Initialise"));
        e = errorOf([&] { archiver.makeArchive({"C:\\x.zip", "C:\\l.dat", "", {}}, {}); });
        EXPECT_EQ(e.number(), errDllEntryPoint);
        EXPECT_THAT(e.description(), HasSubstr("addZIP_ArchiveName"));
        EXPECT_EQ(archiver.makeArchive({"C:\\x.zip", "C:\\l.dat", "pw", {}}, {}),
                  kArchiverCannotEncrypt);
    }
}

// What a stand-in for an older library was called with, in order.
std::string callsOf(const std::string& dll) {
    using Recorded = const char*(WINAPI*)();
    HMODULE module = GetModuleHandleA(dll.c_str());
    const auto recorded = module ? reinterpret_cast<Recorded>(reinterpret_cast<void*>(
                                       GetProcAddress(module, "recordedCalls")))
                                 : nullptr;
    return recorded ? recorded() : "(not loaded)";
}

TEST(Win32ArchiverTest, ALibraryWithoutMakeIsUsedThroughItsOlderEntries) {
    const ArchiveProgress unheard = [](int32_t, uint32_t, uint32_t) {
        ADD_FAILURE() << "an older library has no context to report to";
        return true;
    };
    for (const char* standIn : {"older_azip32.dll", "oldest_azip32.dll"}) {
        SCOPED_TRACE(standIn);
        const std::string built = programFolder() + "\\" + standIn;
        if (!test::exists(built))
            GTEST_SKIP() << "no " << standIn << " beside the test program";
        TempFolder folder;
        ASSERT_TRUE(CopyFileA(built.c_str(), (folder / "azip32.dll").c_str(), FALSE));
        Win32Archiver archiver(folder.path());
        const bool encrypts = std::string(standIn) == "older_azip32.dll";
        EXPECT_EQ(archiver.makeArchive({"C:\\a.zip", "C:\\l.dat", "pw", {}}, unheard),
                  encrypts ? 0 : kArchiverCannotEncrypt);
        // The password is set first and forgotten after; without the entry nothing is made.
        EXPECT_EQ(callsOf(archiver.libraryPath()),
                  encrypts ? "addZIP_SetPassword pw;addZIP_ArchiveName C:\\a.zip;"
                             "addZIP_IncludeListFile C:\\l.dat;addZIP;addZIP_SetPassword ;"
                           : "");
        EXPECT_EQ(archiver.makeArchive({"C:\\b.zip", "C:\\l.dat", "", {}}, unheard), 0);
        EXPECT_THAT(callsOf(archiver.libraryPath()),
                    HasSubstr("addZIP_ArchiveName C:\\b.zip;addZIP_IncludeListFile "
                              "C:\\l.dat;addZIP;"));
    }
}

TEST(Win32ArchiverTest, LibraryPutInPlaceLaterIsFoundOnTheNextCall) {
    TempFolder folder;
    Win32Archiver archiver(folder.path());
    EXPECT_EQ(errorOf([&] { archiver.addZIP_Initialise(); }).number(), errDllLoad);
    const std::string real = programFolder() + "\\azip32.dll";
    if (!test::exists(real))
        GTEST_SKIP() << "no azip32.dll beside the test program";
    ASSERT_TRUE(CopyFileA(real.c_str(), (folder / "azip32.dll").c_str(), FALSE));
    EXPECT_EQ(archiver.addZIP_Initialise(), 0);
}

TEST(Win32ArchiverTest, RealLibraryMakesAnArchiveFromAListFile) {
    Win32Archiver archiver(programFolder());
    if (!test::exists(archiver.libraryPath()))
        GTEST_SKIP() << "no azip32.dll beside the test program";
    TempFolder dir;
    test::writeFile(dir / "a.dat", "first database file");
    test::writeFile(dir / "b.idx", std::string(1000, 'i'));
    test::writeFile(dir / "icqtemp.dat", (dir / "a.dat") + "\r\n" + (dir / "b.idx") + "\r\n");

    EXPECT_EQ(archiver.addZIP_Initialise(), 0);
    int reports = 0;
    const ArchiveProgress count = [&](int32_t, uint32_t, uint32_t) { return ++reports > 0; };
    EXPECT_EQ(archiver.makeArchive({dir / "chathoard.zip", dir / "icqtemp.dat", "", {}}, count), 0);
    EXPECT_GE(reports, 4) << "both stages start and end";

    const std::string zip = test::readFile(dir / "chathoard.zip");
    ASSERT_GE(zip.size(), 22u);
    EXPECT_EQ(zip.substr(0, 4), "PK\x03\x04");
    EXPECT_NE(zip.find("a.dat"), std::string::npos);
    EXPECT_NE(zip.find("b.idx"), std::string::npos);

    // A stop asked for through the context keeps the archive as it was.
    const ArchiveProgress stop = [](int32_t, uint32_t, uint32_t) { return false; };
    EXPECT_EQ(archiver.makeArchive({dir / "chathoard.zip", dir / "icqtemp.dat", "pw", {}}, stop),
              7);
    EXPECT_EQ(test::readFile(dir / "chathoard.zip"), zip);

    // On demand: each file is written when the library wants it and deleted once it is done,
    // through the library's callbacks, and the archive is the same.
    ASSERT_TRUE(archiver.canMakeOnDemand());
    const std::string bytes[] = {test::readFile(dir / "a.dat"), test::readFile(dir / "b.idx")};
    const std::string names[] = {"a.dat", "b.idx"};
    std::string events;
    const ListedFileHook files = [&](ListedFile event, uint32_t index, intptr_t&) {
        events += (event == ListedFile::Wanted ? "+" : "-") + names[index];
        if (event == ListedFile::Wanted)
            test::writeFile(dir / names[index], bytes[index]);
        else
            DeleteFileA((dir / names[index]).c_str());
        return true;
    };
    DeleteFileA((dir / "a.dat").c_str());
    DeleteFileA((dir / "b.idx").c_str());
    DeleteFileA((dir / "chathoard.zip").c_str());
    EXPECT_EQ(archiver.makeArchive({dir / "chathoard.zip", dir / "icqtemp.dat", "", files}, count),
              0);
    EXPECT_THAT(events, AnyOf("+a.dat-a.dat+b.idx-b.idx", "+a.dat+b.idx-a.dat-b.idx"));
    EXPECT_FALSE(test::exists(dir / "a.dat"));
    EXPECT_EQ(test::readFile(dir / "chathoard.zip").size(), zip.size());

    // Handed over open: each file is read from its start through the caller's handle, which
    // stays open, and the listed name is never looked for. Each is handed over half written,
    // and the rest comes when the reads reach the end of the first half.
    ASSERT_TRUE(archiver.canReadGrowingFiles());
    const std::string held[] = {dir / "held-a", dir / "held-b"};
    HANDLE writers[2] = {}, readers[2] = {};
    bool halfWritten[2] = {};
    const auto write = [&](uint32_t index, size_t from, size_t to) {
        DWORD written = 0;
        return WriteFile(writers[index], bytes[index].data() + from, static_cast<DWORD>(to - from),
                         &written, nullptr) != 0;
    };
    const ListedFileHook handed = [&](ListedFile event, uint32_t index, intptr_t& opened) {
        const size_t half = bytes[index].size() / 2;
        if (event == ListedFile::Done)
            return CloseHandle(readers[index]) && CloseHandle(writers[index]);
        if (event == ListedFile::AtEnd) {
            if (std::exchange(halfWritten[index], false)) {
                opened = 1;
                return write(index, half, bytes[index].size());
            }
            return true;
        }
        writers[index] = CreateFileA(held[index].c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                     CREATE_ALWAYS, 0, nullptr);
        halfWritten[index] = write(index, 0, half);
        readers[index] =
            CreateFileA(held[index].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        SetFilePointer(readers[index], 3, nullptr, FILE_BEGIN);
        opened = reinterpret_cast<intptr_t>(readers[index]);
        return true;
    };
    DeleteFileA((dir / "chathoard.zip").c_str());
    EXPECT_EQ(archiver.makeArchive({dir / "chathoard.zip", dir / "icqtemp.dat", "", handed}, count),
              0);
    EXPECT_EQ(test::readFile(dir / "chathoard.zip").size(), zip.size());
}

} // namespace
} // namespace ch

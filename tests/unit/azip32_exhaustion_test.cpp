// A machine out of threads or memory: addZIP returns its internal-error code, leaves no
// temporary file and the earlier archive as it was, and the program goes on running.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <new>
#include <system_error>

#include "azip32/fault_points.h"
#include "azip32/make_archive.h"
#include "tests/unit/azip32_test_files.h"

namespace ch::azip::test {
namespace {

// Throws at the nth arrival at a point of the chosen kind (counting from 1).
struct Exhaustion {
    static inline FaultPoint point;
    static inline int failAt = 0;
    static inline std::atomic<int> arrivals{0};

    static void hook(FaultPoint at) {
        if (at != point || ++arrivals != failAt)
            return;
        if (at == FaultPoint::ThreadStart)
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        throw std::bad_alloc();
    }
};

class ExhaustionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Four one-block files: four deflate tasks on the writer's workers, then four entries
        // for the read-back check, shared by the calling thread and three helpers.
        std::vector<std::string> paths;
        for (const char* name : {"a.dat", "a.idx", "b.dat", "b.idx"}) {
            writeFile(src / name, chat(20000, name[0]), 1104537600);
            paths.push_back(src / name);
        }
        writeFile(out / "chathoard.zip", "earlier archive");
        list = writeList(out, paths);
    }
    void TearDown() override { faultHook = nullptr; }

    ArchiveResult runFailingAt(FaultPoint point, int n) {
        Exhaustion::point = point;
        Exhaustion::failAt = n;
        Exhaustion::arrivals = 0;
        faultHook = &Exhaustion::hook;
        ArchiveResult result = makeArchive(out / "chathoard.zip", list, 4);
        faultHook = nullptr;
        return result;
    }

    void expectNothingChanged() {
        EXPECT_TRUE(readFile(out / "chathoard.zip") == "earlier archive");
        auto names = out.names();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"chathoard.zip", "icqtemp.dat"}))
            << "a temporary file was left behind";
    }

    TempDir src;
    TempDir out;
    std::string list;
};

TEST_F(ExhaustionTest, AThreadThatCannotStartGivesTheInternalError) {
    // The first writer thread, one part-way through the writer's four, one part-way through
    // the read-back check's helpers.
    for (const int n : {1, 3, 6}) {
        SCOPED_TRACE(n);
        const ArchiveResult result = runFailingAt(FaultPoint::ThreadStart, n);
        EXPECT_EQ(result.code, AZIP_ERR_INTERNAL) << result.detail;
        expectNothingChanged();
    }
    EXPECT_EQ(makeArchive(out / "chathoard.zip", list, 4).code, AZIP_OK);
}

TEST_F(ExhaustionTest, OutOfMemoryInAWorkerGivesTheInternalError) {
    // A deflate task on a writer thread, then read-back tasks of the check.
    for (const int n : {1, 4, 5, 8}) {
        SCOPED_TRACE(n);
        const ArchiveResult result = runFailingAt(FaultPoint::WorkerTask, n);
        EXPECT_EQ(result.code, AZIP_ERR_INTERNAL) << result.detail;
        expectNothingChanged();
    }
    EXPECT_EQ(makeArchive(out / "chathoard.zip", list, 4).code, AZIP_OK);
}

} // namespace
} // namespace ch::azip::test

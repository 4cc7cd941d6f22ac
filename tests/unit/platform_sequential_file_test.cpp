#include <gtest/gtest.h>

#include "platform/runtime_error.h"
#include "platform/sequential_file.h"
#include "tests/support/error_of.h"
#include "tests/support/memory_file_system.h"

namespace ch {
namespace {

using test::MemoryFileSystem;

using test::errorOf;

std::vector<std::string> allValues(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    std::string v;
    while (readSequentialValue(text, pos, v))
        out.push_back(v);
    return out;
}

using Values = std::vector<std::string>;

TEST(SequentialValue, EndsAtACommaOrTheLineEnd) {
    EXPECT_EQ(allValues("C\r\n"), Values{"C"});
    EXPECT_EQ(allValues("D,E\r\nF"), (Values{"D", "E", "F"}));
    EXPECT_EQ(allValues("d\nE\rF"), (Values{"d", "E", "F"}));
    EXPECT_EQ(allValues("D:"), Values{"D:"});
    EXPECT_EQ(allValues("  D  ,x"), (Values{"D", "x"}));
    EXPECT_EQ(allValues(""), Values{});
}

TEST(SequentialValue, QuotesAreRemovedAndMayHoldCommas) {
    EXPECT_EQ(allValues("\"D\"\r\n"), Values{"D"});
    EXPECT_EQ(allValues("\"a,b\",c"), (Values{"a,b", "c"}));
    EXPECT_EQ(allValues("\"x\" junk,y"), (Values{"x", "y"}));
    EXPECT_EQ(allValues("\"open"), Values{"open"});
}

TEST(SequentialValue, AnEmptyLineIsAnEmptyValue) {
    EXPECT_EQ(allValues("\r\nC\r\n"), (Values{"", "C"}));
    EXPECT_EQ(allValues(",\r\n"), (Values{"", ""}));
}

TEST(SequentialFile, ReadRules) {
    MemoryFileSystem fs;
    fs.addFile("C:\\empty.ini", "");
    fs.addFile("C:\\one.ini", "D,E\r\nF\r\n");
    SequentialFile file(fs);
    EXPECT_EQ(errorOf([&] { file.openForInput("C:\\missing.ini"); }), errFileNotFound);
    EXPECT_FALSE(file.isOpen());

    file.openForInput("C:\\empty.ini");
    EXPECT_EQ(errorOf([&] { file.readValue(); }), errInputPastEnd);
    // Still open after the failed read: opening number 1 again fails until it is closed.
    EXPECT_EQ(errorOf([&] { file.openForInput("C:\\one.ini"); }), errFileAlreadyOpen);
    EXPECT_EQ(errorOf([&] { file.openForOutput("C:\\one.ini"); }), errFileAlreadyOpen);
    EXPECT_EQ(fs.content("C:\\one.ini"), "D,E\r\nF\r\n");
    file.close();
    file.close();

    file.openForInput("C:\\one.ini");
    EXPECT_EQ(file.readValue(), "D");
    EXPECT_EQ(file.readValue(), "E");
    EXPECT_EQ(file.readValue(), "F");
    EXPECT_EQ(errorOf([&] { file.readValue(); }), errInputPastEnd);
    EXPECT_EQ(errorOf([&] { file.writeLine("x"); }), errBadFileNameOrNumber);
}

TEST(SequentialFile, WriteRules) {
    MemoryFileSystem fs;
    fs.addFile("C:\\s.ini", "old,stuff\r\n");
    {
        SequentialFile file(fs);
        file.openForOutput("C:\\s.ini");
        EXPECT_EQ(fs.content("C:\\s.ini"), ""); // truncated at open
        file.writeLine("C");
        file.writeLine("");
        EXPECT_EQ(errorOf([&] { file.readValue(); }), errBadFileNameOrNumber);
        file.close();
        EXPECT_EQ(fs.content("C:\\s.ini"), "C\r\n\r\n");
        file.openForOutput("C:\\new.ini");
        file.writeLine("Z");
    } // the destructor closes and writes
    EXPECT_EQ(fs.content("C:\\new.ini"), "Z\r\n");

    SequentialFile file(fs);
    EXPECT_EQ(errorOf([&] { file.openForOutput("C:\\no folder\\s.ini"); }), errPathNotFound);
    fs.setReadOnly("C:\\s.ini");
    EXPECT_EQ(errorOf([&] { file.openForOutput("C:\\s.ini"); }), errPermissionDenied);
    EXPECT_EQ(fs.content("C:\\s.ini"), "C\r\n\r\n"); // not truncated
    file.openForInput("C:\\s.ini");                  // reading a read-only file is fine
    EXPECT_EQ(file.readValue(), "C");
    file.close();
    EXPECT_FALSE(file.isOpen());
    file.openForOutput("C:\\full.ini");
    fs.setFreeSpace('c', 1);
    file.writeLine("C");
    EXPECT_EQ(errorOf([&] { file.close(); }), errDiskFull);
    EXPECT_FALSE(file.isOpen()); // a failed close still frees the file number
}

} // namespace
} // namespace ch

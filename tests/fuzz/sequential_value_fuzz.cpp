// The settings-file value reader: readSequentialValue on any text, sequential file number 1
// round trips, and Form_Load over a defaultdrive.ini of any bytes.
#include <string>

#include "app/startup.h"
#include "platform/runtime_error.h"
#include "platform/sequential_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_services.h"

namespace ch::fuzz {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool onlyBlanks(const std::string& text, size_t from) {
    for (size_t i = from; i < text.size(); ++i)
        if (!isBlank(text[i]))
            return false;
    return true;
}

// Reads every value of text, checking each one against the reader's rules.
void readAllValues(const std::string& text) {
    size_t pos = 0;
    std::string value;
    for (;;) {
        const size_t before = pos;
        size_t first = pos;
        while (first < text.size() && isBlank(text[first]))
            ++first;
        const bool quoted = first < text.size() && text[first] == '"';
        if (!readSequentialValue(text, pos, value)) {
            FUZZ_CHECK(onlyBlanks(text, before));
            return;
        }
        FUZZ_CHECK(pos > before && pos <= text.size());
        FUZZ_CHECK(value.size() <= pos - before);
        if (quoted) {
            FUZZ_CHECK(value.find('"') == std::string::npos);
        } else {
            FUZZ_CHECK(value.find_first_of(",\r\n") == std::string::npos);
            FUZZ_CHECK(value.empty() || (!isBlank(value.front()) && !isBlank(value.back())));
        }
    }
}

// A value the program writes comes back unchanged, plain or in quotes.
void roundTrip(const std::string& raw) {
    std::string plain;
    for (char c : raw)
        if (c != ',' && c != '"' && c != '\r' && c != '\n')
            plain += c;
    while (!plain.empty() && isBlank(plain.back()))
        plain.pop_back();
    while (!plain.empty() && isBlank(plain.front()))
        plain.erase(0, 1);
    std::string inQuotes;
    for (char c : raw)
        if (c != '"')
            inQuotes += c;

    test::MemoryFileSystem fs;
    SequentialFile file(fs);
    file.openForOutput("C:\\v.ini");
    file.writeLine("start"); // a byte order mark at the very start would be skipped
    file.writeLine(plain);
    file.writeLine('"' + inQuotes + '"');
    file.writeLine("end");
    file.close();
    file.openForInput("C:\\v.ini");
    FUZZ_CHECK(file.readValue() == "start");
    FUZZ_CHECK(file.readValue() == plain);
    FUZZ_CHECK(file.readValue() == inQuotes);
    FUZZ_CHECK(file.readValue() == "end");
    file.close();
}

// Form_Load never lets a failure out: it takes the first value after a byte order mark at
// the very start, or rewrites the file with C after one warning when there is no value.
void formLoad(const std::string& settings) {
    test::FakeServices fakes;
    test::MemoryFileSystem& fs = fakes.fs;
    fakes.App.Path = "C:\\Chathoard";
    fs.addFile("C:\\Chathoard\\defaultdrive.ini", settings);
    TextBox Text1;
    std::string DefaultDrive;

    Form_Load(Text1, DefaultDrive, fakes.services);

    FUZZ_CHECK(DefaultDrive == Text1.Text());
    size_t pos = settings.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    std::string first;
    const std::string after = fs.content("C:\\Chathoard\\defaultdrive.ini");
    if (readSequentialValue(settings, pos, first)) {
        // A value that names a drive is taken as that letter; any other is kept as it is
        // and reported in one box.
        const auto drive = stagingDriveOf(first);
        FUZZ_CHECK(DefaultDrive == (drive ? std::string(1, *drive) : first));
        FUZZ_CHECK(fakes.dialogs.shown.size() == (drive ? 0u : 1u));
        FUZZ_CHECK(after == settings);
    } else {
        FUZZ_CHECK(fakes.dialogs.shown.size() == 1);
        FUZZ_CHECK(after == "C\r\n");
        FUZZ_CHECK(DefaultDrive == "C");
    }
}

} // namespace
} // namespace ch::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ch::fuzz::readAllValues(text);
    ch::fuzz::roundTrip(text.substr(0, 300));
    ch::fuzz::formLoad(text);
    return 0;
}

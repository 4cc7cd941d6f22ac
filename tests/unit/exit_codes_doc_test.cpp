// The exit codes have one table, here, keyed by the program's own constants; README.md, the
// release's README.txt and the help's scheduling page must each hold it, in their own format.
// When the table changes, a failure prints the block each document should hold.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "backup/one_at_a_time.h"

namespace ch {
namespace {

std::vector<std::pair<int, std::string>> exitCodeTable() {
    const std::string wait = std::to_string(kCommandLineLockWaitMs / 1000);
    return {
        {exitDone, "Done: the backup was made. A warning line before the last may say that a "
                   "staged copy was left for the next run to delete, or that no older backup "
                   "was deleted because the clock seems to be behind. /verify: the backup is "
                   "intact. /restore: the backup was restored."},
        {exitNoMessengerDatabase, "No ICQ database: the ICQ folder cannot be opened, or its db "
                                  "folder holds no .dat or .idx files. Nothing was copied."},
        {exitBackupFailed,
         "Failed: the backup folder could not be made or opened, its drive is not available, or "
         "it is the database folder or inside it; or a file could not be copied, the staging "
         "folder could not be made or the archive was not written; the log says why. /verify: "
         "the backup is damaged, unreadable or not found. /restore: the backup was not "
         "restored; the log says why."},
        {exitBadArguments, "Bad arguments: a misspelled or repeated switch, a missing folder, or "
                           "a /keep or /wait number out of its range; the first line names the "
                           "argument and what is wrong. Nothing was done."},
        {exitDatabaseInUse,
         "The database is in use: a database file was held open (ICQ is running) when the "
         "backup started or until /wait ran out, or ICQ held one open during the backup so that "
         "it could not be copied. A backup that failed for another reason keeps code 2, even "
         "when ICQ is running by the time it ends. /restore: a database file is in use and "
         "nothing was changed."},
        {exitAnotherBackupRunning,
         "Another backup was running on this computer (in the window, or another scheduled "
         "run): this run, a backup or /restore, waited " +
             wait + " seconds for it to finish, then wrote nothing."},
        {exitCancelled,
         "Cancelled: Ctrl+C was pressed in the console window the run was started from. As with "
         "the window's Cancel, the backup folder, the staging folder and the database are left "
         "as they were; /verify stops; /restore leaves the database as it was."},
        {exitPassword,
         "Password: /zip /encrypt found no stored password and wrote nothing; or /verify or "
         "/restore met an encrypted backup while no password is stored, or the stored one is not "
         "its password, and nothing was changed. Set it with chathoard /password."},
    };
}

std::string markdownTable() {
    std::string text = "| Code | Meaning |\n| --- | --- |\n";
    for (const auto& [code, meaning] : exitCodeTable())
        text += "| " + std::to_string(code) + " | " + meaning + " |\n";
    return text;
}

// "  2  Failed: ..." with the meaning wrapped at 88 columns under its first word.
std::string plainTextTable() {
    constexpr size_t kWidth = 88;
    const std::string indent = "     ";
    std::string text;
    for (const auto& [code, meaning] : exitCodeTable()) {
        std::string line = "  " + std::to_string(code) + "  ";
        std::istringstream words(meaning);
        std::string word;
        bool first = true;
        while (words >> word) {
            if (!first && line.size() + 1 + word.size() > kWidth) {
                text += line + "\n";
                line = indent + word;
            } else {
                line += (first ? "" : " ") + word;
            }
            first = false;
        }
        text += line + "\n";
    }
    return text;
}

std::string htmlTable() {
    std::string text = "<table>\n<tr><th>Code</th><th>Meaning</th></tr>\n";
    for (const auto& [code, meaning] : exitCodeTable())
        text += "<tr><td>" + std::to_string(code) + "</td><td>" + meaning + "</td></tr>\n";
    return text + "</table>\n";
}

std::string sourceFile(const std::string& relative) {
    // ctest sets the source folder; run by hand, this file's own path gives it.
    const char* source = std::getenv("CHATHOARD_SOURCE_DIR");
    const std::filesystem::path root =
        source ? std::filesystem::path(source)
               : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
    std::ifstream in(root / relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string out;
    for (char c : text.str()) // the release README has Windows line ends
        if (c != '\r')
            out += c;
    return out;
}

TEST(ExitCodes, EveryConstantHasOneRowInOrder) {
    const auto table = exitCodeTable();
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(table[i].first, static_cast<int>(i));
    EXPECT_EQ(table.back().first, exitPassword);
}

TEST(ExitCodes, EachDocumentHoldsTheTable) {
    const std::pair<const char*, std::string> documents[] = {
        {"README.md", markdownTable()},
        {"release/README.txt", plainTextTable()},
        {"help/scheduled.html", htmlTable()},
    };
    for (const auto& [path, table] : documents) {
        const std::string text = sourceFile(path);
        ASSERT_FALSE(text.empty()) << path;
        EXPECT_NE(text.find(table), std::string::npos)
            << path << " should hold this table of exit codes:\n"
            << table;
    }
}

} // namespace
} // namespace ch

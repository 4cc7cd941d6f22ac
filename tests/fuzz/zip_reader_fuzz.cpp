// The archive reader fed arbitrary bytes as a backup: the check, "/verify" and a restore into
// the in-memory platform must end in a verdict, never a crash, a hang or an allocation by the
// archive's word. A restore goes ahead only for an archive the check found intact, and then
// writes exactly the files and bytes the check counted, and keeps the previous database.
#include "app/check_messages.h"
#include "app/restore_messages.h"
#include "backup/restore.h"
#include "backup/verify.h"
#include "backup/zip_reader.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/memory_file_system.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ch;
    test::MemoryFileSystem fs;
    fs.addFile("C:\\ICQ\\db\\old.dat", "old");
    fs.addFile("C:\\x.zip", std::string(reinterpret_cast<const char*>(data), size));
    verifyBackup(fs, fs.codePage(), "C:\\x.zip", std::string("C:\\ICQ"));
    const CheckedBackup backup = checkBackup(fs, fs.codePage(), "C:\\x.zip");
    const RestoreReport report =
        restoreBackup(fs, fs.codePage(), backup, "C:\\ICQ", "2026-12-07-030000");
    // Whatever the archive holds, the report can be put into words.
    FUZZ_CHECK(!restoreReportText(backup, "C:\\ICQ", report).empty());
    if (!backup.intact()) {
        FUZZ_CHECK(report.outcome == RestoreOutcome::Refused);
        FUZZ_CHECK(fs.content("C:\\ICQ\\db\\old.dat") == "old");
        return 0;
    }
    FUZZ_CHECK(report.outcome == RestoreOutcome::Done);
    FUZZ_CHECK(report.restored.size() == backup.files.size());
    for (const BackupFile& f : backup.files) {
        const std::string bytes = fs.content("C:\\ICQ\\db\\" + f.name);
        FUZZ_CHECK(bytes.size() == f.size);
        FUZZ_CHECK(crc32Of(bytes) == f.crc);
    }
    FUZZ_CHECK(fs.content("C:\\ICQ\\db.before-restore-2026-12-07-030000\\old.dat") == "old");
    return 0;
}

#include "app/startup.h"

#include "backup/zip_backup.h"
#include "platform/runtime_error.h"
#include "platform/sequential_file.h"

namespace ch {

std::string DefaultDrive;

namespace {

const char* const kMissingSettingsPrompt =
    "No defaultdrive.ini file found, your Default Drive will be set at: C";

// Without the library the program is still useful for plain copies; say so once, with the
// loader's own reason (which names the file), instead of failing at the first ZIP backup.
void initialiseArchiver(Archiver& archiver, Dialogs& dialogs) {
    try {
        archiver.addZIP_Initialise();
    } catch (const RuntimeError& e) {
        dialogs.msgBox("ZIP Backup is unavailable: the archiving library azip32.dll could not "
                       "be used.\r\nReason: " +
                           e.description() +
                           "\r\n\r\nNormal Backup works as usual. To make ZIP backups, put "
                           "azip32.dll beside chathoard.exe and start the program again.",
                       vbExclamation);
    }
}

// A setting that names no drive as the box can show it: control characters (a NUL would end
// its text early) as "?", and a long one cut short, marked by "...".
std::string shownSetting(std::string value) {
    constexpr size_t kShownLength = 40;
    for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    if (value.size() > kShownLength)
        value = value.substr(0, kShownLength) + "...";
    return value;
}

// Reads the setting into Text1 and DefaultDrive, as one upper-case letter when it names a
// drive; otherwise as it is, so that a ZIP Backup keeps refusing to stage until it is put
// right. Returns false for such a setting.
bool readSetting(SequentialFile& file1, const std::string& path, TextBox& Text1) {
    file1.openForInput(path);
    const std::string value = file1.readValue();
    file1.close();
    const std::optional<char> drive = stagingDriveOf(value);
    Text1.setText(drive ? std::string(1, *drive) : value);
    DefaultDrive = Text1.Text();
    return drive.has_value();
}

void reportBadSetting(Dialogs& dialogs, const std::string& path) {
    dialogs.msgBox("The staging drive setting in " + path + " is not a drive: \"" +
                       shownSetting(DefaultDrive) +
                       "\".\r\n\r\nThe file should hold one drive letter, such as D (D: and "
                       "D:\\ are read the same). ZIP Backup cannot stage its files until the "
                       "file is corrected; Normal Backup works as usual.",
                   vbExclamation, "Staging drive setting");
}

} // namespace

std::optional<char> stagingDriveOf(const std::string& setting) {
    const size_t n = setting.size();
    if (n < 1 || n > 3)
        return std::nullopt;
    const char letter = static_cast<char>(setting[0] & ~0x20); // upper case, for ASCII letters
    if (letter < 'A' || letter > 'Z')
        return std::nullopt;
    if ((n >= 2 && setting[1] != ':') || (n == 3 && setting[2] != '\\'))
        return std::nullopt;
    return letter;
}

void readDefaultDriveQuietly(TextBox& Text1, const Services& s) {
    SequentialFile file1(s.fs);
    try {
        readSetting(file1, settingsFilePath(s.App), Text1);
    } catch (const RuntimeError&) {
        // Only a Normal Backup into the staging folder needs it; without it nothing is settled.
    }
}

void Form_Load(TextBox& Text1, const Services& s) {
    Dialogs& dialogs = s.dialogs;
    initialiseArchiver(s.archiver, dialogs);
    const std::string settings = settingsFilePath(s.App);
    SequentialFile file1(s.fs);
    try {
        if (!readSetting(file1, settings, Text1))
            reportBadSetting(dialogs, settings);
        return;
    } catch (const RuntimeError&) {
        // A failed read (an empty file) leaves file 1 open; the rewrite below needs it closed.
        file1.close();
    }
    dialogs.msgBox(kMissingSettingsPrompt, vbExclamation, "File not Found");
    try {
        file1.openForOutput(settings);
        file1.writeLine("C");
        file1.close();
        readSetting(file1, settings, Text1);
    } catch (const RuntimeError& e) {
        try {
            file1.close();
        } catch (const RuntimeError&) {
            // Already reported below: the setting was not saved either way.
        }
        dialogs.msgBox("The Default Drive setting could not be saved to " + settings +
                           ".\r\nReason: " + e.description() +
                           "\r\n\r\nThe Default Drive is C for this run.",
                       vbExclamation);
        Text1.setText("C");
        DefaultDrive = Text1.Text();
    }
}

} // namespace ch

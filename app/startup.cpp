#include "app/startup.h"

#include "backup/zip_backup.h"
#include "platform/runtime_error.h"
#include "platform/sequential_file.h"

namespace ch {

namespace {

const char* const kMissingSettingsPrompt =
    "No defaultdrive.ini file found, your Default Drive will be set at: C";

// Without the library the program is still useful for plain copies; say so once, with the
// loader's own reason (which names the file), instead of failing at the first ZIP backup.
void initialiseArchiver(Archiver& archiver, const StartWarning& warn) {
    try {
        archiver.addZIP_Initialise();
    } catch (const RuntimeError& e) {
        warn("ZIP Backup is unavailable: the archiving library azip32.dll could not be used."
             "\r\nReason: " +
                 e.description() +
                 "\r\n\r\nNormal Backup works as usual. To make ZIP backups, put azip32.dll "
                 "beside chathoard.exe and start the program again.",
             std::nullopt);
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

// The setting as its letter alone, as typed, when it names a drive; otherwise as it is, so
// that a ZIP Backup keeps refusing to stage until it is put right.
std::string readSetting(SequentialFile& file1, const std::string& path) {
    file1.openForInput(path);
    const std::string value = file1.readValue();
    file1.close();
    return stagingDriveOf(value) ? value.substr(0, 1) : value;
}

void warnOfBadSetting(const StartWarning& warn, const std::string& path,
                      const std::string& setting) {
    warn("The staging drive setting in " + path + " is not a drive: \"" + shownSetting(setting) +
             "\".\r\n\r\nThe file should hold one drive letter, such as D (D: and D:\\ are "
             "read the same). ZIP Backup cannot stage its files until the file is corrected; "
             "Normal Backup works as usual.",
         "Staging drive setting");
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

std::optional<std::string> readStagingDrive(FileSystem& fs, const std::string& programFolder) {
    SequentialFile file1(fs);
    try {
        return readSetting(file1, settingsFilePath(programFolder));
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

std::string loadStagingDrive(FileSystem& fs, Archiver& archiver, const std::string& programFolder,
                             const StartWarning& warn) {
    initialiseArchiver(archiver, warn);
    const std::string settings = settingsFilePath(programFolder);
    SequentialFile file1(fs);
    try {
        const std::string setting = readSetting(file1, settings);
        if (!stagingDriveOf(setting))
            warnOfBadSetting(warn, settings, setting);
        return setting;
    } catch (const RuntimeError&) {
        // A failed read (an empty file) leaves file 1 open; the rewrite below needs it closed.
        file1.close();
    }
    warn(kMissingSettingsPrompt, "File not Found");
    try {
        file1.openForOutput(settings);
        file1.writeLine("C");
        file1.close();
        return readSetting(file1, settings);
    } catch (const RuntimeError& e) {
        try {
            file1.close();
        } catch (const RuntimeError&) {
            // Warned of below: the setting was not saved either way.
        }
        warn("The Default Drive setting could not be saved to " + settings +
                 ".\r\nReason: " + e.description() + "\r\n\r\nThe Default Drive is C for this run.",
             std::nullopt);
        return "C";
    }
}

void Form_Load(TextBox& Text1, std::string& DefaultDrive, const Services& s) {
    Text1.setText(
        loadStagingDrive(s.fs, s.archiver, s.App.Path,
                         [&](const std::string& text, const std::optional<std::string>& title) {
                             s.dialogs.msgBox(text, vbExclamation, title);
                         }));
    DefaultDrive = Text1.Text();
}

} // namespace ch

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

void readSetting(SequentialFile& file1, const std::string& path, TextBox& Text1) {
    file1.openForInput(path);
    Text1.setText(file1.readValue());
    file1.close();
    DefaultDrive = Text1.Text();
}

} // namespace

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
        readSetting(file1, settings, Text1);
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

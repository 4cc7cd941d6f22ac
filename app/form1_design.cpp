#include "app/form1.h"
#include "backup/database_detection.h"

namespace ch {

namespace {

constexpr uint32_t kNavy = 0x800000; // RGB 0, 0, 128 as 0xBBGGRR

const FontSpec kTahoma{"Tahoma", 8.25, 400};

ControlDesign hidden(ControlDesign c) {
    c.visible = false;
    return c;
}

ControlDesign withToolTip(ControlDesign c, const char* toolTip) {
    c.toolTip = toolTip;
    return c;
}

FormDesign makeDesign() {
    FormDesign d;
    d.name = "Form1";
    d.caption = "Tavrik's Chathoard 0.10 beta"; // fixed text, not built from the version
    d.clientWidth = 6675;
    d.clientHeight = 4005;
    d.border = BorderStyle::FixedSingle;
    d.minButton = true;
    d.maxButton = false;
    d.showInTaskbar = true;

    // Stored order, which is also the order of creation. Inside a frame, positions count
    // from the frame's corner. Text1 and File1 hold state only and are never shown.
    auto& c = d.controls;
    c.push_back(hidden(designRow("Text1", ControlKind::TextBox, "", "", 6240, 3720, 375, 285, 10)));
    c.push_back(hidden(
        designRow("File1", ControlKind::FileList, "", kDatabasePatterns, 240, 3600, 735, 285, 8)));
    c.push_back(designRow("Frame2", ControlKind::Frame, "", "Backup directory:", 3480, 240, 3135,
                          2950, 3, kTahoma));
    c.push_back(
        designRow("Dir2", ControlKind::FolderList, "Frame2", "", 120, 720, 2895, 2115, 7, kTahoma));
    c.push_back(
        designRow("Drive2", ControlKind::DriveList, "Frame2", "", 120, 360, 2655, 315, 6, kTahoma));
    c.push_back(designRow("Frame1", ControlKind::Frame, "", "Your ICQ directory:", 120, 240, 3135,
                          2950, 2, kTahoma));
    c.push_back(
        designRow("Dir1", ControlKind::FolderList, "Frame1", "", 120, 720, 2895, 2115, 5, kTahoma));
    c.push_back(
        designRow("Drive1", ControlKind::DriveList, "Frame1", "", 120, 360, 2775, 315, 4, kTahoma));
    c.push_back(withToolTip(designRow("Command2", ControlKind::Button, "", "Normal Backup", 3720,
                                      3600, 1695, 375, 1, kTahoma),
                            "This will copy your ICQ files to the selected directory"));
    c.push_back(withToolTip(designRow("Command1", ControlKind::Button, "", "ZIP Backup", 1320, 3600,
                                      1695, 375, 0, kTahoma),
                            "This will zip (using pkzip.exe) to the selected directory"));
    ControlDesign label1 = designRow("Label1", ControlKind::Label, "", "No ICQ Directory found",
                                     360, 3240, 2535, 255, 9);
    label1.centred = true;
    label1.foreColor = kNavy;
    c.push_back(label1);
    // Empty until a password is stored; under the backup folder, beside Label1.
    ControlDesign encrypted =
        designRow("lblEncrypted", ControlKind::Label, "", "", 3480, 3240, 3135, 255, -1);
    encrypted.centred = true;
    c.push_back(encrypted);

    d.menus = {
        {"mnuFile", "&File", 0},
        {"mnuCheck", "&Check a backup...", 1},         // reads a backup through, as /verify
        {"mnuRestore", "&Restore a backup...", 1},     // puts a backup back in place of db
        {"mnuSchedule", "&Schedule backups...", 1},    // one task in the Task Scheduler
        {"mnuPassword", "ZIP Backup &password...", 1}, // encrypts every ZIP Backup
        {"mnuExit", "E&xit", 1},
        {"mnuHelp", "&Help", 0},
        {"mnuContets", "&Contents", 1},
        {"mnuHomepage", "H&omepage", 1},
        {"mnuEmail", "&E-mail", 1},
        {"streep", "-", 1},
        {"mnuAbout", "&About", 1},
    };
    return d;
}

} // namespace

const FormDesign& form1Design() {
    static const FormDesign design = makeDesign();
    return design;
}

} // namespace ch

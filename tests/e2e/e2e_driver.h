#pragma once
// Drives chathoard.exe from outside, as a user would: starts it in a fresh program folder,
// finds its windows by class and caption, reads texts, presses buttons, picks list entries,
// answers message boxes. Every wait polls with a deadline; nothing sleeps a fixed time.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ch::e2e {

constexpr DWORD kTimeoutMs = 15000;

// The Windows path of a folder of the Unix work area the test script prepared.
std::string workPath(const std::string& relative);
// Where the built program files are (chathoard.exe, azip32.dll).
std::string binPath(const std::string& file);

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = kTimeoutMs);

std::string windowText(HWND hwnd);
std::string className(HWND hwnd);
// Texts of a message box or form's static controls, in creation order.
std::vector<std::string> staticTexts(HWND hwnd);

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);
bool fileExists(const std::string& path);
bool folderExists(const std::string& path);
void makeFolders(const std::string& path);

// A message box of the program: its title, its prompt, and a way to answer it.
struct MessageBox {
    HWND hwnd = nullptr;
    std::string title;
    std::string prompt;
    bool hasButton(int id) const;
    // Presses the button (IDOK, IDRETRY, IDCANCEL …) and waits until the box has gone.
    void answer(int id) const;
};

class Program {
  public:
    // Copies chathoard.exe (and azip32.dll when built) into a fresh folder of its own.
    explicit Program(const std::string& name);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    const std::string& folder() const { return folder_; }
    void start(const std::string& currentFolder);
    // The main window once it is visible.
    HWND mainWindow(DWORD timeoutMs = kTimeoutMs);
    // A visible window of the program with the class (and caption, when given).
    HWND waitWindow(const std::string& cls, const std::string& caption = {},
                    DWORD timeoutMs = kTimeoutMs);
    // The next message box (dialog class #32770) of the program.
    MessageBox waitMessageBox(DWORD timeoutMs = kTimeoutMs);
    // Whether a message box is open right now.
    bool messageBoxOpen();
    bool waitExit(DWORD timeoutMs = kTimeoutMs);
    bool running() const;
    DWORD processId() const { return process_.dwProcessId; }

    // The main window's controls by their names in the design.
    HWND control(const std::string& name);
    void click(const std::string& buttonName);
    void chooseMenu(const std::string& menuName);
    // Picks the drive list entry that starts with the letter and colon ("n:").
    void pickDrive(const std::string& driveList, const std::string& drive);
    // Double-clicks the folder list item with the text (case-insensitive).
    void openFolder(const std::string& folderList, const std::string& item);
    std::vector<std::string> listItems(const std::string& listName);
    std::string selectedText(const std::string& listName);
    // Waits until Label1 shows the text.
    bool waitLabel(const std::string& text);

  private:
    std::vector<HWND> windows(const std::string& cls);
    std::string folder_;
    PROCESS_INFORMATION process_{};
    HWND main_ = nullptr;
};

} // namespace ch::e2e

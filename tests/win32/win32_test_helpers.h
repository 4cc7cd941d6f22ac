#pragma once
// Real temporary folders and files for the tests of the Win32 services, and the child-process
// roles the test program can play (holding a file open, signalling that it started).
#include <windows.h>

#include <string>

namespace ch::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::string& path() const { return path_; }
    // path() + "\" + name
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

  private:
    std::string path_;
};

void writeFile(const std::string& path, const std::string& bytes, DWORD attributes = 0);
std::string readFile(const std::string& path);
bool exists(const std::string& path);
// Names in a folder that begin with a prefix (for leftover temporary files).
int countStartingWith(const std::string& folder, const std::string& prefix);
// The full path of this test program.
std::string testProgramPath();

// Starts this program as a child that opens `file` with no sharing, creates `file` + ".held"
// once it holds it (holding the show command it was started with), and lets go when `file` +
// ".release" appears. Returns the process handle.
HANDLE startFileHolder(const std::string& file);
// Releases such a child and waits for it to end.
void releaseFileHolder(HANDLE process, const std::string& file);
// Waits up to timeoutMs for a file to appear.
bool waitForFile(const std::string& path, DWORD timeoutMs);

} // namespace ch::test

#include "tests/support/fake_archiver.h"

#include <algorithm>

#include "platform/runtime_error.h"
#include "tests/support/memory_file_system.h"

namespace ch::test {

int32_t FakeArchiver::call(const std::string& entry, const std::string& argument) {
    calls.push_back({entry, argument});
    if (missingDll_)
        throw RuntimeError(errDllLoad, "File not found: azip32.dll");
    if (std::find(missingEntries_.begin(), missingEntries_.end(), entry) != missingEntries_.end())
        throw RuntimeError(errDllEntryPoint,
                           "Can't find DLL entry point " + entry + " in azip32.dll");
    auto& script = results[entry];
    if (script.empty())
        return 0;
    const int32_t result = script.front();
    script.pop_front();
    return result;
}

int32_t FakeArchiver::addZIP_Initialise() {
    archiveName_.clear();
    listFile_.clear();
    return call("addZIP_Initialise", {});
}

int32_t FakeArchiver::addZIP_ArchiveName(const std::string& archivePath) {
    const int32_t r = call("addZIP_ArchiveName", archivePath);
    archiveName_ = archivePath;
    return r;
}

int32_t FakeArchiver::addZIP_IncludeListFile(const std::string& listFilePath) {
    const int32_t r = call("addZIP_IncludeListFile", listFilePath);
    listFile_ = listFilePath;
    return r;
}

int32_t FakeArchiver::addZIP() {
    const int32_t r = call("addZIP", {});
    if (fs_ && fs_->hasFile(listFile_)) {
        listFileAtAddZip = fs_->content(listFile_);
        listedAtAddZip.clear();
        std::string archive;
        size_t pos = 0;
        while (pos < listFileAtAddZip.size()) {
            size_t end = listFileAtAddZip.find('\n', pos);
            if (end == std::string::npos)
                end = listFileAtAddZip.size();
            std::string line = listFileAtAddZip.substr(pos, end - pos);
            pos = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty())
                continue;
            listedAtAddZip.push_back({line, fs_->hasFile(line)});
            archive += line.substr(line.find_last_of('\\') + 1) + "\n";
        }
        if (r == 0 && !archiveName_.empty())
            fs_->addFile(archiveName_, archive);
    }
    if (duringAddZip)
        duringAddZip();
    return r;
}

std::vector<std::string> FakeArchiver::entriesCalled() const {
    std::vector<std::string> out;
    for (const auto& c : calls)
        out.push_back(c.entry);
    return out;
}

} // namespace ch::test

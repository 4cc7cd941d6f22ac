#include "tests/support/fake_archiver.h"

#include <algorithm>

#include "azip32/azip32.h"
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
    return call("addZIP_Initialise", {});
}

int32_t FakeArchiver::makeArchive(const ArchiveRequest& request, const ArchiveProgress& progress) {
    requests.push_back(request);
    if ((!passwordEntry || missingDll_) && !request.password.empty()) {
        calls.push_back({"makeArchive", request.archivePath});
        return kArchiverCannotEncrypt;
    }
    int32_t r = call("makeArchive", request.archivePath);
    const std::string& listFile = request.listFilePath;
    if (fs_ && fs_->hasFile(listFile)) {
        listFileAtAddZip = fs_->content(listFile);
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
        if (r == 0 && progress && progressEntry) {
            std::vector<uint64_t> sizes;
            uint64_t total = 0;
            for (const auto& [path, there] : listedAtAddZip)
                total += sizes.emplace_back(there ? fs_->content(path).size() : 0);
            const auto kib = [](uint64_t bytes) { return static_cast<uint32_t>(bytes / 1024); };
            for (int32_t stage : {AZIP_STAGE_PACKING, AZIP_STAGE_CHECKING}) {
                uint64_t done = 0;
                bool go = progress(stage, 0, kib(total));
                for (size_t i = 0; go && i < sizes.size(); ++i)
                    go = progress(stage, kib(done += sizes[i]), kib(total));
                if (!go || !progress(stage, kib(total), kib(total))) {
                    r = AZIP_ERR_CANCELLED; // the old archive stays as it was
                    break;
                }
            }
        }
        if (r == 0 && !request.archivePath.empty())
            fs_->addFile(request.archivePath, archive);
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

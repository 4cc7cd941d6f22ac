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
        std::vector<std::string> listed;
        size_t pos = 0;
        while (pos < listFileAtAddZip.size()) {
            size_t end = listFileAtAddZip.find('\n', pos);
            if (end == std::string::npos)
                end = listFileAtAddZip.size();
            std::string line = listFileAtAddZip.substr(pos, end - pos);
            pos = end + 1;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty())
                listed.push_back(line);
        }
        const bool onDemand = r == 0 && request.files && canMakeOnDemand();
        const bool reporting = r == 0 && progress && progressEntry;
        const auto kib = [](uint64_t bytes) { return static_cast<uint32_t>(bytes / 1024); };
        // The packing: on demand each file is wanted, read and done with in turn, and the
        // total is not known beforehand.
        std::string archive;
        std::vector<uint64_t> sizes;
        uint64_t total = 0, packed = 0;
        // On demand the packing's total is not told: 0.
        const auto packingTotal = [&] { return onDemand ? 0u : kib(total); };
        if (!onDemand)
            for (const std::string& path : listed)
                total += fs_->hasFile(path) ? fs_->content(path).size() : 0;
        bool go = !reporting || progress(AZIP_STAGE_PACKING, 0, packingTotal());
        for (size_t i = 0; go && i < listed.size(); ++i) {
            const std::string& path = listed[i];
            const uint32_t index = static_cast<uint32_t>(i);
            intptr_t opened = 0;
            if (onDemand && !(go = request.files(ListedFile::Wanted, index, opened)))
                break;
            if (opened)
                handedOver.push_back(index);
            // The stand-ins' copies are whole when they are handed over: one AtEnd, answered so.
            intptr_t more = 0;
            if (opened && canReadGrowingFiles() &&
                !(go = request.files(ListedFile::AtEnd, index, more) && more == 0))
                break;
            listedAtAddZip.push_back({path, fs_->hasFile(path)});
            archive += path.substr(path.find_last_of('\\') + 1) + "\n";
            packed += sizes.emplace_back(fs_->hasFile(path) ? fs_->content(path).size() : 0);
            if (reporting)
                go = progress(AZIP_STAGE_PACKING, kib(packed), packingTotal());
            intptr_t none = 0; // as the library: Done hands nothing over
            if (go && onDemand)
                go = request.files(ListedFile::Done, index, none);
        }
        if (onDemand)
            total = packed;
        go = go && (!reporting || progress(AZIP_STAGE_PACKING, kib(total), packingTotal()));
        if (go && reporting) {
            uint64_t done = 0;
            go = progress(AZIP_STAGE_CHECKING, 0, kib(total));
            for (size_t i = 0; go && i < sizes.size(); ++i)
                go = progress(AZIP_STAGE_CHECKING, kib(done += sizes[i]), kib(total));
            go = go && progress(AZIP_STAGE_CHECKING, kib(total), kib(total));
        }
        if (!go)
            r = AZIP_ERR_CANCELLED; // the old archive stays as it was
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

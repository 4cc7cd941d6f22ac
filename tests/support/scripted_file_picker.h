#pragma once
// Answers the open dialog from a script: the next path, or a cancel when the script is empty.
#include <deque>
#include <optional>
#include <string>

#include "platform/file_picker.h"

namespace ch::test {

class ScriptedFilePicker : public FilePicker {
  public:
    std::optional<std::string> openFile(const std::string& title, const std::string& filter,
                                        const std::string& initialFolder) override {
        titles.push_back(title + " [" + filter + "]");
        initialFolders.push_back(initialFolder);
        if (answers.empty())
            return std::nullopt;
        std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<std::string> answers;
    std::deque<std::string> titles;
    std::deque<std::string> initialFolders;
};

} // namespace ch::test

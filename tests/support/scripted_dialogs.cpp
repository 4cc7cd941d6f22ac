#include "tests/support/scripted_dialogs.h"

namespace ch::test {

int ScriptedDialogs::msgBox(const std::string& prompt, int style,
                            const std::optional<std::string>& title) {
    shown.push_back({prompt, style, title});
    if (duringBox)
        duringBox();
    if (answers.empty())
        return vbOK;
    int answer = answers.front();
    answers.pop_front();
    return answer;
}

} // namespace ch::test

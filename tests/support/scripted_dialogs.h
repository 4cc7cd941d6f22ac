#pragma once
// Records every message box and answers from a script (OK when the script is empty).
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"

namespace ch::test {

struct ShownBox {
    std::string prompt;
    int style = 0;
    std::optional<std::string> title;
};

class ScriptedDialogs : public Dialogs {
  public:
    int msgBox(const std::string& prompt, int style,
               const std::optional<std::string>& title) override;
    std::vector<ShownBox> shown;
    std::deque<int> answers;
    std::function<void()> duringBox; // runs while a box is shown, before it is answered
};

} // namespace ch::test

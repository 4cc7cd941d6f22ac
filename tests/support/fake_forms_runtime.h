#pragma once
// A FormsRuntime that records what the handlers asked of it. Showing the About box runs
// onShowAbout (a test plays the user there: look at the box, press OK); endProgram returns.
// The last check window shown stays readable in lastCheck.
#include <functional>

#include "about/frm_about.h"
#include "app/frm_check.h"
#include "platform/forms_runtime.h"

namespace ch::test {

class FakeFormsRuntime : public FormsRuntime {
  public:
    void showModal(ModalForm& form) override {
        ++modalShown;
        if (onShowModal)
            onShowModal(form);
        if (auto* check = dynamic_cast<FrmCheck*>(&form))
            lastCheck = check;
        if (auto* about = dynamic_cast<FrmAbout*>(&form)) {
            ++aboutShown;
            lastAbout = about;
            if (onShowAbout)
                onShowAbout(*about);
        }
    }
    void endProgram() override { ++endProgramCalls; }
    uintptr_t form1Handle() override { return handle; }

    uintptr_t handle = 0x10ab0;
    int modalShown = 0;
    int aboutShown = 0;
    int endProgramCalls = 0;
    FrmAbout* lastAbout = nullptr;
    FrmCheck* lastCheck = nullptr;
    std::function<void(FrmAbout&)> onShowAbout;
    // Plays the user in any modal form (the password windows).
    std::function<void(ModalForm&)> onShowModal;
};

} // namespace ch::test

#pragma once
// What the handlers need of the windowing layer itself: modal forms, the end of the program
// and the main window's handle.
#include <cstdint>

namespace ch {

class FrmAbout;

class FormsRuntime {
public:
    virtual ~FormsRuntime() = default;
    // Loads the About box if needed (running its Form_Load), shows it modally, returns when
    // it has been unloaded or hidden.
    virtual void showAboutModal(FrmAbout& about) = 0;
    // Ends the program at once; does not return in the product.
    virtual void endProgram() = 0;
    virtual uintptr_t form1Handle() = 0;
};

} // namespace ch

#pragma once
// What the handlers need of the windowing layer itself: modal forms, the end of the program
// and the main window's handle.
#include <cstdint>

namespace ch {

// A form that can be shown modally: loaded (running its Form_Load) before it is seen, and
// shown until it unloads.
class ModalForm {
  public:
    virtual ~ModalForm() = default;
    virtual bool isLoaded() const = 0;
    virtual void load() = 0;
};

class FormsRuntime {
  public:
    virtual ~FormsRuntime() = default;
    // Loads the form if needed, shows it modally, returns when it has been unloaded or hidden.
    virtual void showModal(ModalForm& form) = 0;
    // Ends the program at once; does not return in the product.
    virtual void endProgram() = 0;
    virtual uintptr_t form1Handle() = 0;
};

} // namespace ch

#pragma once
// A loaded form's design rendered as a modal window: its caption is the form's, Enter and Esc
// run the form's OK and Cancel handlers, and the close box runs Cancel. A window of this kind
// says how its fields are shown when it opens and read before a handler runs; the rest is the
// form's.
#include <initializer_list>
#include <utility>

#include "platform/win32/gui_form_window.h"

namespace ch::gui {

template <typename Form> class ModalFormWindow : protected FormEvents {
  public:
    ModalFormWindow(Form& form, Dialogs& dialogs, const FormDesign& design)
        : form_(form), dialogs_(dialogs), window_(design, *this) {}
    ~ModalFormWindow() override { window_.destroy(); }

    // Shows the window over owner, which takes no input meanwhile, and returns once the form
    // has been unloaded.
    void runModal(HWND owner) {
        window_.create(owner);
        SetWindowTextA(window_.hwnd(), form_.Caption.c_str());
        opened();
        gui::runModal(window_, owner, [this] { return form_.loaded; });
    }

  protected:
    using Handler = void (Form::*)();

    // Fills the window's controls from the form, once it is made.
    virtual void opened() = 0;
    // Runs one of the form's handlers with the window's fields read into the form first.
    virtual void run(Handler handler) = 0;

    // Runs the handler of the button clicked, when c is one of buttons.
    void runClicked(const ControlDesign& c, int notifyCode,
                    std::initializer_list<std::pair<const char*, Handler>> buttons) {
        if (notifyCode != BN_CLICKED)
            return;
        for (const auto& [name, handler] : buttons)
            if (c.name == name)
                return run(handler);
    }

    HWND control(const char* name) const { return window_.control(name); }

    void onMenu(const MenuDesign&) override {}
    void onDialogKey(int id) override {
        run(id == IDOK ? &Form::cmdOK_Click : &Form::cmdCancel_Click);
    }
    void onClose() override { run(&Form::cmdCancel_Click); }

    Form& form_;
    Dialogs& dialogs_;
    FormWindow window_;
};

} // namespace ch::gui

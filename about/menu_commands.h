#pragma once
#include <memory>

#include "about/frm_about.h"
#include "platform/forms_runtime.h"
#include "platform/services.h"

namespace ch {

extern const char* const kHomepageUrl; // on a reserved example domain
extern const char* const kEmailLink;   // mailto: on a reserved example domain

void mnuExit_Click(FormsRuntime& runtime);
void mnuContets_Click(FormsRuntime& runtime, const AppObject& App, Shell& shell, Dialogs& dialogs);
void mnuHomepage_Click(FormsRuntime& runtime, Shell& shell);
void mnuEmail_Click(FormsRuntime& runtime, Shell& shell);
// Creates the one About box object of the run on first use and shows it modally.
void mnuAbout_Click(FormsRuntime& runtime, std::unique_ptr<FrmAbout>& about, FileSystem& fs,
                    Registry& registry, Processes& processes, Dialogs& dialogs,
                    const AppObject& App);

} // namespace ch

#pragma once
#include <memory>

#include "about/frm_about.h"
#include "platform/forms_runtime.h"
#include "platform/services.h"

namespace ch {

extern const char* const kHomepageUrl; // on a reserved example domain
extern const char* const kEmailLink;   // mailto: on a reserved example domain

void mnuExit_Click(FormsRuntime& runtime);
void mnuContets_Click(const Services& s);
void mnuHomepage_Click(const Services& s);
void mnuEmail_Click(const Services& s);
// Creates the one About box object of the run on first use and shows it modally.
void mnuAbout_Click(std::unique_ptr<FrmAbout>& about, const Services& s);

} // namespace ch

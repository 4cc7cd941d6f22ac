#pragma once
// Runs one user action. A run-time failure that no handler caught is shown as the runtime
// shows it ("Run-time error 'N':", a blank line, the description; critical icon, application
// title) and the program keeps running.
#include <functional>

#include "platform/services.h"

namespace ch {

void dispatchEvent(Dialogs& dialogs, const std::function<void()>& action);

} // namespace ch

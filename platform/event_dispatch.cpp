#include "platform/event_dispatch.h"

#include "platform/runtime_error.h"

namespace ch {

void dispatchEvent(Dialogs& dialogs, const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError& e) {
        dialogs.msgBox("Run-time error '" + std::to_string(e.number()) + "':\r\n\r\n" +
                           e.description(),
                       vbCritical);
    }
}

} // namespace ch

#pragma once

#include <QWidget>
#include <functional>

namespace vantoril::testing {

// Runs `act` on the modal widget (a dialog or a message box) as soon as one
// is open. Tests call it before the call that opens the dialog.
void WhenModal(std::function<void(QWidget*)> act);

// Processes pending platform events.
void ProcessEvents();

}  // namespace vantoril::testing

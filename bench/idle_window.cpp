#include "toolkit/toolkit.h"

// Opens one window of the main window's size and waits in the game's own
// event wait until its close box is used; an idle game should use no CPU.
int main() {
    tk::initToolkit();
    tk::openWindow(0, 0, 0, 600, 295, QStringLiteral("Idle"),
                   tk::CloseBox | tk::MinimiseBox | tk::Centred);
    tk::pushButton(6, 10, 10, 120, 30, QStringLiteral("Roll"));
    while (tk::waitEvent() != tk::EventKind::CloseRequest || tk::eventWindowNumber() != 0) {
    }
    tk::shutdownToolkit();
    return 0;
}

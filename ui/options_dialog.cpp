#include "ui/options_dialog.h"

#include "rules/game_state.h"
#include "store/settings.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/language.h"

namespace {

constexpr int kMillisecondsPerSecond = 1000;
constexpr int kMaxDelaySeconds = kMaxDelayMilliseconds / kMillisecondsPerSecond;

void createGadgets() {
    const GameState& state = game();
    const LanguageTexts texts(game().langFile);
    const int seconds = state.delay / kMillisecondsPerSecond;
    tk::textLabel(tk::kNoNumber, 5, 20, 165, 20, texts.text("ShowCPUhand"));
    tk::spinBox(Gadget::DelaySpin, 170, 15, 30, 20, 0, kMaxDelaySeconds);
    tk::setGadgetState(Gadget::DelaySpin, seconds);
    tk::setGadgetText(Gadget::DelaySpin, QString::number(seconds));
    tk::textLabel(tk::kNoNumber, 205, 20, 60, 20, texts.text("sec"));
    tk::setAccessibleName(
        Gadget::DelaySpin,
        texts.text("accDelay", QStringLiteral("Seconds the computer's hand stays shown")));
    tk::checkBox(Gadget::StrongerCheck, 5, 45, 255, 20, texts.text("strongerCPU"));
    tk::setGadgetState(Gadget::StrongerCheck, state.strongerCPU != 0 ? 1 : 0);
    tk::checkBox(Gadget::SoundCheck, 5, 65, 255, 20, texts.text("sound"));
    tk::setGadgetState(Gadget::SoundCheck, state.sound != 0 ? 1 : 0);
    tk::pushButton(Gadget::ApplyButton, 5, 100, 75, 30, texts.text("apply"));
    tk::pushButton(Gadget::CancelButton, 195, 100, 75, 30, texts.text("cancel"));
    tk::focusGadget(Gadget::DelaySpin);
}

void applyOptions() {
    GameState& state = game();
    state.delay = tk::gadgetState(Gadget::DelaySpin) * kMillisecondsPerSecond;
    state.strongerCPU = tk::gadgetState(Gadget::StrongerCheck);
    state.sound = tk::gadgetState(Gadget::SoundCheck);
    saveOptions(state.delay, state.strongerCPU, state.sound);
}

// Waits for Apply, Cancel or the close box; true for Apply.
bool waitForDecision() {
    for (;;) {
        const tk::EventKind kind = tk::waitEventFor(Window::Options);
        if (kind == tk::EventKind::CloseRequest)
            return false;
        if (kind != tk::EventKind::Gadget)
            continue;
        switch (tk::eventGadgetNumber()) {
        case Gadget::DelaySpin:
            tk::setGadgetText(Gadget::DelaySpin,
                              QString::number(tk::gadgetState(Gadget::DelaySpin)));
            break;
        case Gadget::ApplyButton:
            return true;
        case Gadget::CancelButton:
            return false;
        default: // the check boxes are read only on Apply
            break;
        }
    }
}

} // namespace

void runOptionsDialog() {
    tk::setGadgetFont(tk::kDefaultFont);
    tk::openWindow(Window::Options, 0, 0, 280, 140, QStringLiteral("Options"),
                   tk::CloseBox | tk::EscapeCloses | tk::Centred);
    createGadgets();
    if (waitForDecision())
        applyOptions();
    tk::closeWindow(Window::Options);
    tk::disableWindow(Window::Main, false);
}

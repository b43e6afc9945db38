#pragma once

#include <functional>
#include <vector>

class QWidget;

using Step = std::function<void()>;

// Runs `body` (a loop of the game) while the idle hook plays the steps, one
// each time the loop waits; an empty event after each step brings the loop
// back once it has handled what the step did. Steps running out is a failure:
// every window is then asked to close, so that no loop waits for ever.
void playSteps(const std::vector<Step>& steps, const std::function<void()>& body);

// Presses the close box of window `number`, as a person would.
void closeBox(int number);

// Runs `step` once the next modal box is up, handing it that box.
void whenBoxShows(std::function<void(QWidget*)> step);

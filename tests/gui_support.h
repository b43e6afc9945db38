#pragma once

#include <QPoint>
#include <QStringList>
#include <Qt>
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

// Presses a key on window `number` as the window system delivers it: to the
// focused control, after the window's shortcuts have had their turn.
void pressKey(int number, Qt::Key key, Qt::KeyboardModifiers modifiers = {});

// The controls of `window` that Tab can reach but that a screen reader
// would find without a name, each as its class name.
QStringList unnamedFocusableControls(QWidget* window);

// Where a person presses the widget: on a check box its box, since the part
// that answers ends with its text and so with the fonts installed; the centre
// of anything else.
QPoint pressPoint(const QWidget* widget);

// Runs `step` once the next modal box is up, handing it that box.
void whenBoxShows(std::function<void(QWidget*)> step);

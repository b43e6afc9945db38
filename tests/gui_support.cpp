#include "gui_support.h"

#include "toolkit/toolkit.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
constexpr int kHighestWindow = 9;
}

void playSteps(const std::vector<Step>& steps, const std::function<void()>& body) {
    std::size_t next = 0;
    tk::setIdleHook([&] {
        // Let Qt lay out and paint what the last step changed, as it would
        // while a person looks at the window.
        QCoreApplication::processEvents();
        if (next < steps.size()) {
            steps[next++]();
        } else {
            ADD_FAILURE() << "a window outlived the steps";
            // The game's windows are numbered from the main window up; the
            // highest one open runs the innermost loop.
            for (int window = kHighestWindow; window >= 0; --window)
                if (tk::windowWidget(window))
                    tk::postEvent(
                        {tk::EventKind::CloseRequest, window, -1, -1, tk::ClickKind::None});
        }
        tk::postEvent({});
    });
    body();
    tk::setIdleHook({});
    EXPECT_EQ(next, steps.size()) << "a window closed before the last step";
}

void closeBox(int number) {
    tk::windowWidget(number)->close();
}

void pressKey(int number, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QTest::keyClick(tk::windowWidget(number)->windowHandle(), key, modifiers);
}

QStringList unnamedFocusableControls(QWidget* window) {
    QStringList unnamed;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        // A control whose focus passes to another is no stop of its own.
        if (!(control->focusPolicy() & Qt::TabFocus) || control->focusProxy())
            continue;
        const QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << QString::fromLatin1(control->metaObject()->className());
    }
    return unnamed;
}

QPoint pressPoint(const QWidget* widget) {
    const auto* box = qobject_cast<const QCheckBox*>(widget);
    if (!box)
        return widget->rect().center();
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
}

void whenBoxShows(std::function<void(QWidget*)> step) {
    QTimer::singleShot(0, [step = std::move(step)] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        step(box);
    });
}

#include "gui_support.h"

#include "toolkit/toolkit.h"
#include "ui/ids.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>
#include <gtest/gtest.h>

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
            for (int window : {Window::HighScores, Window::Options, Window::Main})
                tk::postEvent({tk::EventKind::CloseRequest, window, -1, -1, tk::ClickKind::None});
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

QPoint pressPoint(const QWidget* widget) {
    const auto* box = qobject_cast<const QCheckBox*>(widget);
    if (!box)
        return widget->rect().center();
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    return box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box).center();
}

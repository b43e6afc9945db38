#include "game/turn_flow.h"
#include "rules/game_state.h"
#include "toolkit/spin_box.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/main_window.h"
#include "ui/options_dialog.h"

#include "gui_support.h"
#include "test_support.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <vector>

namespace {

const QByteArray kMark = "\xEF\xBB\xBF\r\n"; // byte-order mark and the empty line after it

void runDialog(const std::vector<Step>& steps) {
    playSteps(steps, runOptionsDialog);
}

tk::SpinBox* spin() {
    return static_cast<tk::SpinBox*>(tk::gadgetWidget(Gadget::DelaySpin));
}
QLineEdit* field() {
    return spin()->findChild<QLineEdit*>();
}

void click(int gadget) {
    QWidget* widget = tk::gadgetWidget(gadget);
    QTest::mouseClick(widget, Qt::LeftButton, {}, pressPoint(widget));
}

Step clickStep(int gadget) {
    return [gadget] { click(gadget); };
}

Step keyStep(Qt::Key key) {
    return [key] { QTest::keyClick(spin(), key); };
}

Step typeStep(const QString& text) {
    return [text] {
        QTest::keyClick(field(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field(), Qt::Key_Delete);
        QTest::keyClicks(field(), text);
    };
}

bool ticked(int gadget) {
    return static_cast<QCheckBox*>(tk::gadgetWidget(gadget))->isChecked();
}

QByteArray settingsFile(const char* delay, const char* stronger, const char* sound) {
    return kMark + "delay = " + delay + "\r\nstrongerCPU = " + stronger + "\r\nsound = " + sound +
           "\r\n";
}

class OptionsDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        tk::initToolkit();
        resetGameState();
        fillFixedTables();
        game().langFile = QStringLiteral("options.lang");
        writeBytes(game().langFile, "ShowCPUhand = Keep the hand for\r\nsec = s\r\n"
                                    "strongerCPU = Tough\r\nsound = Quiet\r\napply = Do it\r\n"
                                    "cancel = Leave\r\n");
    }
    void TearDown() override {
        tk::setIdleHook({});
        tk::shutdownToolkit();
    }
    void setOptions(int delay, int strongerCPU, int sound) {
        game().delay = delay;
        game().strongerCPU = strongerCPU;
        game().sound = sound;
    }
    void expectOptions(int delay, int strongerCPU, int sound) {
        EXPECT_EQ(game().delay, delay);
        EXPECT_EQ(game().strongerCPU, strongerCPU);
        EXPECT_EQ(game().sound, sound);
    }

    ScopedWorkDir dir;
};

// ---- what the dialog shows and what Apply makes of it --------------------------

struct ShownCase {
    int delay, strongerCPU, sound;
    const char* shownText; // null: not fixed for this delay
    int value;
    const char *writtenDelay, *writtenStronger, *writtenSound;
};

const ShownCase kShownCases[] = {
    {3000, 1, 0, "3", 3, "3000", "1", "0"},   {2500, 0, 0, "2", 2, "2000", "0", "0"},
    {7000, 0, 1, "7", 5, "5000", "0", "1"},   {-500, 0, 0, "0", 0, "0", "0", "0"},
    {-4000, 0, 0, nullptr, 0, "0", "0", "0"}, {999, 2, 2, "0", 0, "0", "1", "1"},
    {5000, -1, 7, "5", 5, "5000", "1", "1"},
};

class OptionsDialogShownTest : public OptionsDialogTest,
                               public testing::WithParamInterface<ShownCase> {};

TEST_P(OptionsDialogShownTest, ApplyUntouchedWritesWhatTheControlsHold) {
    const ShownCase& shown = GetParam();
    setOptions(shown.delay, shown.strongerCPU, shown.sound);
    runDialog({[&] {
                   if (shown.shownText) {
                       EXPECT_EQ(tk::gadgetText(Gadget::DelaySpin), shown.shownText);
                   }
                   EXPECT_EQ(tk::gadgetState(Gadget::DelaySpin), shown.value);
                   EXPECT_EQ(ticked(Gadget::StrongerCheck), shown.strongerCPU != 0);
                   EXPECT_EQ(ticked(Gadget::SoundCheck), shown.sound != 0);
               },
               clickStep(Gadget::ApplyButton)});
    EXPECT_EQ(readBytes(QStringLiteral("settings.ini")),
              settingsFile(shown.writtenDelay, shown.writtenStronger, shown.writtenSound));
    expectOptions(QByteArray(shown.writtenDelay).toInt(), QByteArray(shown.writtenStronger).toInt(),
                  QByteArray(shown.writtenSound).toInt());
}

void PrintTo(const ShownCase& shown, std::ostream* out) {
    *out << shown.delay << "/" << shown.strongerCPU << "/" << shown.sound;
}

INSTANTIATE_TEST_SUITE_P(Settings, OptionsDialogShownTest, testing::ValuesIn(kShownCases));

TEST_F(OptionsDialogTest, ApplyTakesTheTickedBoxes) {
    setOptions(1000, 0, 1);
    runDialog({clickStep(Gadget::StrongerCheck), clickStep(Gadget::SoundCheck),
               clickStep(Gadget::ApplyButton)});
    expectOptions(1000, 1, 0);
    EXPECT_EQ(readBytes(QStringLiteral("settings.ini")), settingsFile("1000", "1", "0"));
}

// ---- the spin box ---------------------------------------------------------------

struct StepCase {
    const char* name;
    int delay;
    const char* typed; // typed into the field before the first step, unless null
    std::vector<Step> steps;
    std::vector<int> valueAfterEachStep;
};

class OptionsDialogSpinTest : public OptionsDialogTest,
                              public testing::WithParamInterface<StepCase> {};

TEST_P(OptionsDialogSpinTest, ShownTextIsTheValueAfterEveryStep) {
    const StepCase& stepping = GetParam();
    game().delay = stepping.delay;
    std::vector<Step> steps;
    if (stepping.typed)
        steps.push_back(typeStep(QString::fromLatin1(stepping.typed)));
    for (std::size_t i = 0; i < stepping.steps.size(); ++i) {
        steps.push_back(stepping.steps[i]);
        steps.push_back([expected = stepping.valueAfterEachStep[i], i] {
            SCOPED_TRACE(i);
            EXPECT_EQ(tk::gadgetText(Gadget::DelaySpin), QString::number(expected));
            EXPECT_EQ(tk::gadgetState(Gadget::DelaySpin), expected);
        });
    }
    steps.push_back(clickStep(Gadget::ApplyButton));
    runDialog(steps);
    EXPECT_EQ(game().delay, stepping.valueAfterEachStep.back() * 1000);
}

const Step up = keyStep(Qt::Key_Up);
const Step down = keyStep(Qt::Key_Down);

const StepCase kStepCases[] = {
    {"UpToTheTopAndBeyond",
     0,
     nullptr,
     {down, up, up, up, up, up, up, up},
     {0, 1, 2, 3, 4, 5, 5, 5}},
    {"DownToZeroAndBeyond",
     5000,
     nullptr,
     {up, down, down, down, down, down, down},
     {5, 4, 3, 2, 1, 0, 0}},
    {"DownFromAnOutOfRangeText", 7000, nullptr, {down}, {4}},
    {"UpFromAnOutOfRangeText", 7000, nullptr, {up}, {5}},
    {"StepFromATypedNumber", 1000, "4", {up, down}, {5, 4}},
    {"StepOverTypedText", 3000, "x", {down}, {2}},
    {"StepOverATypedNumberOutOfRange", 3000, "8", {up}, {4}},
};

INSTANTIATE_TEST_SUITE_P(Keys, OptionsDialogSpinTest, testing::ValuesIn(kStepCases),
                         [](const auto& info) { return std::string(info.param.name); });

void PrintTo(const StepCase& stepping, std::ostream* out) {
    *out << stepping.name;
}

TEST_F(OptionsDialogTest, TypedWholeNumbersInRangeAreTakenOtherTextIsNot) {
    const std::pair<const char*, int> cases[] = {
        {"4", 4000}, {"0", 0},      {"5", 5000},   {"9", 3000},          {"-1", 3000},
        {"", 3000},  {"abc", 3000}, {"2.5", 3000}, {"99999999999", 3000}};
    for (const auto& [typed, delay] : cases) {
        SCOPED_TRACE(typed);
        game().delay = 3000;
        runDialog({typeStep(QString::fromLatin1(typed)), clickStep(Gadget::ApplyButton)});
        EXPECT_EQ(game().delay, delay);
    }
}

// ---- the ways out -------------------------------------------------------------

TEST_F(OptionsDialogTest, CancelTheCloseBoxAndEscapeChangeNothingAfterEveryControlWasChanged) {
    const QByteArray before = kMark + "; mine\r\nlang = de\r\ndelay = 2000\r\nstrongerCPU = 0\r\n"
                                      "sound = 0\r\n";
    const std::vector<Step> changeEverything = {up, up, clickStep(Gadget::StrongerCheck),
                                                clickStep(Gadget::SoundCheck), typeStep("1")};
    for (const Step& leave :
         {clickStep(Gadget::CancelButton), Step([] { closeBox(Window::Options); }),
          Step([] { pressKey(Window::Options, Qt::Key_Escape); })}) {
        writeBytes(QStringLiteral("settings.ini"), before);
        setOptions(2000, 0, 0);
        std::vector<Step> steps = changeEverything;
        steps.push_back(leave);
        runDialog(steps);
        expectOptions(2000, 0, 0);
        EXPECT_EQ(readBytes(QStringLiteral("settings.ini")), before);
        EXPECT_EQ(tk::windowWidget(Window::Options), nullptr);
    }
}

TEST_F(OptionsDialogTest, ApplyKeepsTheOtherLinesAndWritesCommentsInTheirFixedForm) {
    writeBytes(QStringLiteral("settings.ini"), ";tuned by hand\r\nsound = 1\r\nlang = bg\r\n");
    setOptions(0, 0, 1);
    runDialog({up, clickStep(Gadget::ApplyButton)});
    EXPECT_EQ(readBytes(QStringLiteral("settings.ini")),
              kMark + "; tuned by hand\r\nsound = 1\r\nlang = bg\r\ndelay = 1000\r\n"
                      "strongerCPU = 0\r\n");
}

TEST_F(OptionsDialogTest, ApplyAfterALanguageSwitchAddsTheThreeKeysAfterTheLanguage) {
    dir.copyShippedData();
    game().playerCount = 2;
    game().playerNames = {QString(), QStringLiteral("Anna"), QStringLiteral("Bert")};
    buildMainWindow();
    switchLanguage(Menu::FirstLanguage + 1);
    EXPECT_EQ(readBytes(QStringLiteral("settings.ini")), kMark + "lang = de\r\n");
    setOptions(4000, 1, 0);
    runDialog({clickStep(Gadget::ApplyButton)});
    EXPECT_EQ(readBytes(QStringLiteral("settings.ini")),
              kMark + "lang = de\r\ndelay = 4000\r\nstrongerCPU = 1\r\nsound = 0\r\n");
}

// A settings.ini that cannot be replaced stays as it was, and so does its
// directory; the new values hold all the same.
TEST_F(OptionsDialogTest, UnwritableSettingsStayAsTheyWereAndTheNewValuesHold) {
    const QByteArray old = settingsFile("1000", "0", "0");
    const auto tryApply = [&](const QString& where) {
        const QStringList before = QDir(where).entryList(QDir::AllEntries | QDir::Hidden);
        setOptions(1000, 0, 0);
        runDialog({up, clickStep(Gadget::StrongerCheck), clickStep(Gadget::ApplyButton)});
        expectOptions(2000, 1, 0);
        EXPECT_EQ(QDir(where).entryList(QDir::AllEntries | QDir::Hidden), before);
    };
    {
        SCOPED_TRACE("read-only file in a read-only directory");
        const QString sub = dir.path() + QStringLiteral("/locked");
        ASSERT_TRUE(QDir().mkdir(sub));
        QDir::setCurrent(sub);
        writeBytes(QStringLiteral("settings.ini"), old);
        QFile::setPermissions(QStringLiteral("settings.ini"), QFile::ReadOwner);
        QFile::setPermissions(sub, QFile::ReadOwner | QFile::ExeOwner);
        tryApply(sub);
        QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        EXPECT_EQ(readBytes(QStringLiteral("settings.ini")), old);
    }
    {
        SCOPED_TRACE("settings.ini is a directory");
        QDir::setCurrent(dir.path());
        ASSERT_TRUE(QDir().mkdir(QStringLiteral("settings.ini")));
        tryApply(dir.path());
        EXPECT_TRUE(QFileInfo(QStringLiteral("settings.ini")).isDir());
    }
}

// ---- the window -------------------------------------------------------------------

QWidget* labelAt(const QRect& geometry) {
    for (QLabel* label : tk::windowWidget(Window::Options)->findChildren<QLabel*>())
        if (label->geometry() == geometry)
            return label;
    return nullptr;
}

QString labelText(const QRect& geometry) {
    const QWidget* label = labelAt(geometry);
    return label ? static_cast<const QLabel*>(label)->text() : QStringLiteral("<no label>");
}

TEST_F(OptionsDialogTest, WindowAndGadgetsAreLaidOutAsTabledWithTextsFromTheLanguageFile) {
    game().playerCount = 2;
    buildMainWindow(); // leaves the dice font as the font of new gadgets
    setOptions(0, 0, 0);
    runDialog({[] {
                   auto* window = static_cast<QMainWindow*>(tk::windowWidget(Window::Options));
                   ASSERT_NE(window, nullptr);
                   EXPECT_EQ(window->windowTitle(), "Options");
                   EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
                   EXPECT_FALSE(window->windowFlags() &
                                (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
                   EXPECT_EQ(window->centralWidget()->size(), QSize(280, 140));
                   const std::pair<int, QRect> gadgets[] = {
                       {Gadget::DelaySpin, {170, 15, 30, 20}},
                       {Gadget::StrongerCheck, {5, 45, 255, 20}},
                       {Gadget::SoundCheck, {5, 65, 255, 20}},
                       {Gadget::ApplyButton, {5, 100, 75, 30}},
                       {Gadget::CancelButton, {195, 100, 75, 30}}};
                   for (const auto& [number, geometry] : gadgets) {
                       QWidget* gadget = tk::gadgetWidget(number);
                       ASSERT_NE(gadget, nullptr) << number;
                       EXPECT_EQ(gadget->window(), window) << number;
                       EXPECT_EQ(gadget->geometry(), geometry) << number;
                       EXPECT_EQ(gadget->font(), QApplication::font()) << number;
                   }
                   EXPECT_EQ(labelText({5, 20, 165, 20}), "Keep the hand for");
                   EXPECT_EQ(labelText({205, 20, 60, 20}), "s");
                   EXPECT_EQ(tk::gadgetText(Gadget::StrongerCheck), "Tough");
                   EXPECT_EQ(tk::gadgetText(Gadget::SoundCheck), "Quiet");
                   EXPECT_EQ(tk::gadgetText(Gadget::ApplyButton), "Do it");
                   EXPECT_EQ(tk::gadgetText(Gadget::CancelButton), "Leave");
               },
               clickStep(Gadget::CancelButton)});
}

// The focus starts on the spin box and Tab reaches every control, each with
// a name; the spin box tells a screen reader the number it shows, even where
// that is not its value.
TEST_F(OptionsDialogTest, KeysAloneChangeTheOptionsAndEveryControlIsNamed) {
    dir.copyShippedData();
    game().langFile = QStringLiteral("bg.lang");
    setOptions(7000, 0, 1);
    const auto shown = [] {
        return QAccessible::queryAccessibleInterface(spin())->valueInterface()->currentValue();
    };
    runDialog({[&shown] {
                   EXPECT_EQ(unnamedFocusableControls(tk::windowWidget(Window::Options)),
                             QStringList());
                   EXPECT_EQ(shown(), 7);
                   EXPECT_EQ(QApplication::focusWidget(), spin());
                   pressKey(Window::Options, Qt::Key_Down);
               },
               [&shown] {
                   EXPECT_EQ(shown(), 4);
                   for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Space, Qt::Key_Tab, Qt::Key_Tab})
                       pressKey(Window::Options, key);
                   EXPECT_EQ(QApplication::focusWidget(), tk::gadgetWidget(Gadget::ApplyButton));
               },
               [] { pressKey(Window::Options, Qt::Key_Space); }});
    expectOptions(4000, 1, 1);
}

TEST_F(OptionsDialogTest, MissingLanguageKeysLeaveTheTextsEmpty) {
    game().langFile = QStringLiteral("missing.lang");
    runDialog({[] {
                   EXPECT_EQ(labelText({5, 20, 165, 20}), "");
                   EXPECT_EQ(labelText({205, 20, 60, 20}), "");
                   for (int gadget : {Gadget::StrongerCheck, Gadget::SoundCheck,
                                      Gadget::ApplyButton, Gadget::CancelButton})
                       EXPECT_EQ(tk::gadgetText(gadget), "") << gadget;
               },
               clickStep(Gadget::CancelButton)});
}

TEST_F(OptionsDialogTest, EnablesTheMainWindowWhenItCloses) {
    game().playerCount = 2;
    buildMainWindow();
    for (const Step& leave : {clickStep(Gadget::ApplyButton), clickStep(Gadget::CancelButton),
                              Step([] { closeBox(Window::Options); })}) {
        tk::disableWindow(Window::Main, true);
        runDialog({leave});
        EXPECT_TRUE(tk::windowWidget(Window::Main)->isEnabled());
    }
}

// A Roll click made after Options was chosen, but before the dialog opened,
// waits through the dialog and rolls once it is cancelled.
TEST_F(OptionsDialogTest, RollQueuedBehindTheMenuChoiceActsAfterCancel) {
    game().playerCount = 2;
    QString dieAfterCancel;
    playSteps({[] {
                   tk::postEvent({tk::EventKind::Menu, Window::Main, -1, Menu::Options, {}});
                   click(Gadget::RollButton);
               },
               clickStep(Gadget::CancelButton),
               [&] {
                   dieAfterCancel = tk::gadgetText(Gadget::FirstDie);
                   closeBox(Window::Main);
               }},
              runMainWindow);
    EXPECT_FALSE(dieAfterCancel.isEmpty()) << "the queued roll was lost";
}

} // namespace

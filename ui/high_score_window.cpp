#include "ui/high_score_window.h"

#include "rules/game_state.h"
#include "store/high_score_file.h"
#include "toolkit/toolkit.h"
#include "ui/ids.h"
#include "ui/setup_dialog.h"

namespace {

constexpr char16_t kControlPictures = 0x2400; // U+2400 "NUL" to U+241F "US"
constexpr char16_t kDeletePicture = 0x2421;
constexpr char16_t kNewlinePicture = 0x2424;

// The name on one line: a control character (only older files can hold
// one) shows as its visible symbol instead of splitting the row.
QString oneLineName(QString name) {
    for (QChar& c : name) {
        if (!isControlCharacter(c))
            continue;
        if (c.unicode() < 0x20)
            c = QChar(static_cast<char16_t>(kControlPictures + c.unicode()));
        else
            c = QChar(c == u'\x7F' ? kDeletePicture : kNewlinePicture);
    }
    return name;
}

// The name as its row shows it: on one line, and a name longer than the list
// may show as its shown part and "…". Only its start is copied (one unit more
// than may show tells whether more follows), so a name of megabytes is
// neither copied nor laid out whole.
QString rowName(const HighScoreName& name) {
    const QString start = name.first(tk::kMaxShownLength + 1);
    const QStringView shown = tk::shownPart(start);
    QString row = oneLineName(shown.toString());
    if (shown.size() < start.size())
        row += u'…';
    return row;
}

} // namespace

void runHighScoreWindow() {
    tk::setGadgetFont(tk::kDefaultFont);
    if (!tk::openWindow(Window::HighScores, 100, 100, 155, 180, QStringLiteral("Highscores"),
                        tk::CloseBox | tk::EscapeCloses | tk::Centred)) {
        tk::disableWindow(Window::Main, false);
        return;
    }
    tk::listView(Gadget::HighScoreList, 5, 5, 144, 170, QStringLiteral("Player"), 90,
                 tk::FullRowSelect);
    tk::addColumn(Gadget::HighScoreList, 1, QStringLiteral("Points"), 50);
    tk::setAccessibleName(Gadget::HighScoreList, QStringLiteral("Highscores"));
    HighScoreTable& table = game().highScores;
    reloadHighScores(QString::fromLatin1(kHighScoreFileName), table);
    sortHighScores(table);
    for (const HighScoreEntry& entry : table)
        tk::addRow(Gadget::HighScoreList,
                   rowName(entry.name) + u'\n' + QString::number(entry.points));
    tk::disableGadget(Gadget::HighScoreList, true);
    while (tk::waitEventFor(Window::HighScores) != tk::EventKind::CloseRequest) {
    }
    tk::closeWindow(Window::HighScores);
    tk::disableWindow(Window::Main, false);
}

// What a plain Qt Widgets program pays for the steps the game takes before
// its main window: a one-line question in a box (a label, a line edit, OK and
// Cancel), then a 600x295 window with a menu bar of three menus and a table
// of fifteen rows and three columns. The benchmark counts its instructions
// and times it beside the game; it does nothing else.

#include <QApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QMainWindow>
#include <QMenuBar>
#include <QTableWidget>

namespace {

void addMenus(QMenuBar* bar) {
    QMenu* game = bar->addMenu(QStringLiteral("&Game"));
    game->addAction(QStringLiteral("&New Game"));
    game->addSeparator();
    game->addAction(QStringLiteral("E&xit"), qApp, &QApplication::quit);
    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->addAction(QStringLiteral("&Options"));
    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("&About..."));
}

QTableWidget* table(const QString& name) {
    auto* sheet = new QTableWidget(15, 3);
    sheet->setHorizontalHeaderLabels({QString(), name, QStringLiteral("Computer")});
    sheet->verticalHeader()->hide();
    sheet->verticalHeader()->setDefaultSectionSize(15);
    for (int row = 0; row < sheet->rowCount(); ++row)
        sheet->setItem(row, 0, new QTableWidgetItem(QStringLiteral("Row %1").arg(row)));
    return sheet;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString name = QInputDialog::getText(nullptr, QString(), QStringLiteral("Your name:"),
                                               QLineEdit::Normal, QStringLiteral("Player 1"));
    QMainWindow window;
    addMenus(window.menuBar());
    window.setCentralWidget(table(name));
    window.resize(600, 295 + window.menuBar()->sizeHint().height());
    window.show();
    return QApplication::exec();
}

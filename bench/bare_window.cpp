// The smallest Qt Widgets program that puts a window on screen: one empty
// 600x295 window and the event loop. The start-up benchmark measures the game
// against it.

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(600, 295);
    window.show();
    return QApplication::exec();
}

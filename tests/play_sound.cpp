// Plays a WAV file once through the toolkit's sound service, as a roll does,
// and waits while it plays. Used by sound_test.sh, which listens to the
// sound server.
// usage: play_sound FILE [MILLISECONDS to wait, 1500 unless given]
// Exit code 0 after playing, 2 when the file cannot be loaded as sound 0.
#include "toolkit/toolkit.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

constexpr int kSound = 0;
constexpr int kDefaultWait = 1500;

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: play_sound FILE [MILLISECONDS]\n", stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const int wait = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : kDefaultWait;
    tk::initSound();
    tk::loadSound(kSound, QString::fromLocal8Bit(argv[1]));
    if (tk::soundFile(kSound).isEmpty()) {
        std::fprintf(stderr, "play_sound: cannot load %s\n", argv[1]);
        return 2;
    }
    tk::playSound(kSound);
    tk::pause(wait);
    tk::shutdownToolkit();
    return 0;
}

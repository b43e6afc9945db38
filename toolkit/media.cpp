#include "toolkit/jpeg_loader.h"
#include "toolkit/registry.h"

#include <QFileInfo>
#include <QProcess>
#include <canberra.h>

namespace tk {

namespace {

ca_context* soundContext = nullptr;
bool soundDeviceOpen = false;

// libcanberra ids start at 1; sound n plays under id n + 1.
uint32_t playId(int number) {
    return static_cast<uint32_t>(number) + 1;
}

} // namespace

bool loadImage(int number, const QString& fileName) {
    QImage image = loadJpegFile(fileName);
    if (image.isNull()) {
        registry().images.erase(number);
        return false;
    }
    registry().images[number] = std::move(image);
    return true;
}

void initSound() {
    if (soundContext)
        return;
    // The device is reached later (prepareSound, or else the first play):
    // start-up stays light, and without a device every call does nothing.
    if (ca_context_create(&soundContext) != CA_SUCCESS) {
        soundContext = nullptr;
        return;
    }
    ca_context_change_props(soundContext, CA_PROP_APPLICATION_NAME, "Quintara", nullptr);
}

void prepareSound() {
    // Connecting to a sound server takes milliseconds, many more on a busy
    // machine: done inside the first roll, it would hold back the dice.
    afterNextPaint([] {
        if (soundContext && !soundDeviceOpen)
            soundDeviceOpen = ca_context_open(soundContext) == CA_SUCCESS;
    });
}

void loadSound(int number, const QString& fileName) {
    const QFileInfo info(fileName);
    if (info.isFile() && info.isReadable())
        registry().sounds[number] = info.absoluteFilePath();
    else
        registry().sounds.erase(number);
}

void playSound(int number) {
    const auto found = registry().sounds.find(number);
    if (!soundContext || found == registry().sounds.end())
        return;
    const QByteArray path = QFile::encodeName(found->second);
    ca_context_cancel(soundContext, playId(number));
    ca_context_play(soundContext, playId(number), CA_PROP_MEDIA_FILENAME, path.constData(),
                    CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
}

void freeSound(int number) {
    const auto found = registry().sounds.find(number);
    if (found == registry().sounds.end())
        return;
    if (soundContext)
        ca_context_cancel(soundContext, playId(number));
    registry().sounds.erase(found);
}

QString soundFile(int number) {
    const auto found = registry().sounds.find(number);
    return found == registry().sounds.end() ? QString() : found->second;
}

void releaseMedia() {
    while (!registry().sounds.empty())
        freeSound(registry().sounds.begin()->first);
    if (soundContext) {
        ca_context_destroy(soundContext);
        soundContext = nullptr;
        soundDeviceOpen = false;
    }
}

void openDocument(const QString& fileName) {
    // Detached, with its output sent nowhere: the viewer lives on its own and
    // never writes into our terminal.
    QProcess opener;
    opener.setProgram(QStringLiteral("xdg-open"));
    opener.setArguments({fileName});
    opener.setStandardInputFile(QProcess::nullDevice());
    opener.setStandardOutputFile(QProcess::nullDevice());
    opener.setStandardErrorFile(QProcess::nullDevice());
    opener.startDetached();
}

} // namespace tk

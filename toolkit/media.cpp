#include "toolkit/jpeg_loader.h"
#include "toolkit/registry.h"

#include <QFileInfo>
#include <canberra.h>
#include <dlfcn.h>
#include <optional>
#include <utility>

namespace tk {

namespace {

// libcanberra is loaded when sound is first needed (prepareSound, or else
// the first play), not linked: with the codec libraries it pulls in, it would
// add milliseconds to every start before the first window shows.
struct Canberra {
    decltype(&ca_context_create) create = nullptr;
    decltype(&ca_context_change_props) changeProps = nullptr;
    decltype(&ca_context_open) open = nullptr;
    decltype(&ca_context_play) play = nullptr;
    decltype(&ca_context_cancel) cancel = nullptr;
    decltype(&ca_context_destroy) destroy = nullptr;
};

template <typename Function> bool bind(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

// The library's functions, or null when it cannot be loaded.
const Canberra* canberra() {
    static const std::optional<Canberra> loaded = []() -> std::optional<Canberra> {
        void* library = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
        Canberra functions;
        if (library && bind(library, "ca_context_create", functions.create) &&
            bind(library, "ca_context_change_props", functions.changeProps) &&
            bind(library, "ca_context_open", functions.open) &&
            bind(library, "ca_context_play", functions.play) &&
            bind(library, "ca_context_cancel", functions.cancel) &&
            bind(library, "ca_context_destroy", functions.destroy))
            return functions;
        return std::nullopt;
    }();
    return loaded ? &*loaded : nullptr;
}

// Off until initSound; Wanted until the context is made or cannot be. A
// context exists exactly when it was made.
enum class SoundState { Off, Wanted, Failed };
SoundState soundState = SoundState::Off;
ca_context* soundContext = nullptr;
bool soundDeviceOpen = false;

// The sound context, made at the first need after initSound; null without
// initSound, libcanberra or a context.
ca_context* context() {
    if (soundState == SoundState::Wanted && !soundContext) {
        const Canberra* library = canberra();
        if (!library || library->create(&soundContext) != CA_SUCCESS) {
            soundContext = nullptr;
            soundState = SoundState::Failed;
            return nullptr;
        }
        library->changeProps(soundContext, CA_PROP_APPLICATION_NAME, "Quintara", nullptr);
    }
    return soundContext;
}

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
    // Nothing is loaded or reached yet (prepareSound, or else the first
    // play): start-up stays light, and without a device every call does nothing.
    if (soundState == SoundState::Off)
        soundState = SoundState::Wanted;
}

void prepareSound() {
    // Connecting to a sound server takes milliseconds, many more on a busy
    // machine: done inside the first roll, it would hold back the dice.
    afterNextPaint([] {
        if (ca_context* sound = context(); sound && !soundDeviceOpen)
            soundDeviceOpen = canberra()->open(sound) == CA_SUCCESS;
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
    if (found == registry().sounds.end())
        return;
    ca_context* sound = context();
    if (!sound)
        return;
    const QByteArray path = QFile::encodeName(found->second);
    canberra()->cancel(sound, playId(number));
    canberra()->play(sound, playId(number), CA_PROP_MEDIA_FILENAME, path.constData(),
                     CA_PROP_CANBERRA_CACHE_CONTROL, "never", nullptr);
}

void freeSound(int number) {
    const auto found = registry().sounds.find(number);
    if (found == registry().sounds.end())
        return;
    if (soundContext)
        canberra()->cancel(soundContext, playId(number));
    registry().sounds.erase(found);
}

QString soundFile(int number) {
    const auto found = registry().sounds.find(number);
    return found == registry().sounds.end() ? QString() : found->second;
}

void releaseMedia() {
    while (!registry().sounds.empty())
        freeSound(registry().sounds.begin()->first);
    if (soundContext)
        canberra()->destroy(soundContext);
    soundContext = nullptr;
    soundDeviceOpen = false;
    soundState = SoundState::Off;
}

} // namespace tk

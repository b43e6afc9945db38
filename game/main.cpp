#include "game/startup.h"

int main() {
    return runQuintara();
}

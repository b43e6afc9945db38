#include "core/startup.h"

int main() {
    return runQuintara();
}

// Entry point of the real program.
#include "platform/platform.h"

int main() {
    PlatformInit();
    EndProgram(0);
}

#include <cstdio>

int main(int argc, char** argv) {
    std::printf("Kaleidrome demo emulator\n");
    for (int i = 1; i < argc; ++i)
        std::printf("argv[%d] = %s\n", i, argv[i]);
    return 0;
}

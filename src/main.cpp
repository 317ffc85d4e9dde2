#include <cstdio>

int main() {
    std::fprintf(stderr, "the demo driver is not built yet: nothing to run\n");
    return 1;
}

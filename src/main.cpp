#include "demo/driver.h"

int main(int argc, char** argv) {
    return demo_main(argc, argv);
}

#include "demo/switches.h"

#include <cstdio>
#include <cstring>

bool readSwitches(int argc, char** argv, controlFlags& flags) {
    for (int i = 1; i < argc; ++i) {
        char* arg = argv[i];
        for (char* c = arg; *c; ++c)
            if (*c >= 'a' && *c <= 'z')
                *c = char(*c - 'a' + 'A');
        if (std::strstr(arg, "T"))
            flags.profile = true;
        if (std::strstr(arg, "?"))
            return false;
        if (std::strstr(arg, "W"))
            flags.wide = true;
        if (std::strstr(arg, "A"))
            flags.autoSetup = true;
        if (std::strstr(arg, "P"))
            flags.profile = true;
    }
    return true;
}

void printHelp() {
    std::fputs("wide    - prefer 16:9 over 4:3 aspect\n"
               "auto    - autosetup\n"
               "profile - profile performance\n",
               stdout);
    std::fflush(stdout);
}

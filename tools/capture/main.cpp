// capture: records the demo offline, frame-exact, to a video, PNG frames, a still or a contact
// sheet. Bad arguments: the usage on standard error and exit code 2.
#include <cstdio>

#include "options.h"
#include "recorder.h"

int main(int argc, char** argv) {
    const parsed_command command = parse_command(argc, argv);
    if (command.help) {
        std::fputs(capture_usage(), stdout);
        return 0;
    }
    if (!command.error.empty()) {
        std::fprintf(stderr, "capture: %s\n%s", command.error.c_str(), capture_usage());
        return 2;
    }
    return record(command.options);
}

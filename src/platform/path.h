#pragma once
// Paths inside the program keep their written form ("tracks\", "assets\alpha.tga").
// Where a path meets the operating system it goes through os_path first.
#include <string>

// The path with every '\' turned into the platform's separator ('/' here).
std::string os_path(const char* path);

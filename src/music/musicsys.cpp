#include "music/musicsys.h"

musicsys::musicsys() {
    musicsys::free();
    name = "null";
}

musicsys::~musicsys() {
    musicsys::free();
}

bool musicsys::init(bool) {
    free();
    return false;
}

bool musicsys::load(const char*) {
    return false;
}

bool musicsys::loadmem(const void*, uint32_t) {
    return false;
}

bool musicsys::play() {
    return false;
}

bool musicsys::play(int, int) {
    return false;
}

bool musicsys::pause() {
    return false;
}

bool musicsys::stop() {
    return true;
}

bool musicsys::free() {
    if (in_use)
        stop();
    is_ready = false;
    in_use = false;
    return true;
}

int musicsys::getorder() {
    return -1;
}

int musicsys::getrow() {
    return -1;
}

int musicsys::gettick() {
    return -1;
}

int musicsys::getins(int) {
    return -1;
}

bool musicsys::setpos(int, int) {
    return false;
}

bool musicsys::setvol(float) {
    return false;
}

const char* musicsys::getdevinfo() {
    return "";
}

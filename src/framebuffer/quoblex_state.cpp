#include "framebuffer/quoblex.h"

uint32_t qbx_flags = 0;
uint32_t qbx_winver = 0;
FILE* qbx_log = nullptr;
bool qbx_notifyExit = false;

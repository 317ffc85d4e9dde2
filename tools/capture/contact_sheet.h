#pragma once
// A contact sheet: thumbnails of frames in rows, each with its time written under it, so that a
// whole production can be looked at in one picture.
#include <string>
#include <vector>

#include "media/image.h"

struct thumbnail {
    media::image picture; // all of one size
    std::string label;
};

media::image contact_sheet(const std::vector<thumbnail>& thumbnails);

// "m:ss.ss" for a time in seconds.
std::string time_label(double seconds);

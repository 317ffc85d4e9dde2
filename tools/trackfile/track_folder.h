#pragma once
// A folder of track files built from their text form.
#include <string>
#include <vector>

#include "track_text.h"

// Writes one file per track into `folder` (created when missing) and removes every track file
// there that none of the tracks names any more, so that the folder holds exactly the source's
// tracks; files that are not named like track files are left alone. On a failure returns false
// with the reason in `error`.
bool build_track_folder(const std::vector<TrackText>& tracks, const std::string& folder,
                        std::string& error);

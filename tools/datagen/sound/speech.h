// The spoken announcements: espeak-ng speaks the words, and the result is shaped in code
// (presence, compression, a doubled voice and a hall echo) into an arcade announcer.
#pragma once

#include <string>
#include <vector>

#include "dsp.h"

namespace tdx::datagen {

struct AnnouncementLine {
  std::string file;  // e.g. "s_fight.mp3"
  std::string text;  // what the announcer says
  int rate;          // words per minute
};

// Every announcement, in the order they are written to sounds.dat.
const std::vector<AnnouncementLine>& Announcements();

// Speaks one line and shapes it. Throws std::runtime_error when espeak-ng fails.
// espeak-ng keeps a little state from one phrase to the next, so the output is
// repeatable only when the same phrases are spoken in the same order in a fresh process.
Stereo SpeakAnnouncement(const AnnouncementLine& line);

}  // namespace tdx::datagen

#include "audio/sound.h"

namespace tdx {

void PlaySoundByName(Game&, const std::string&, double) {}
void PlaySound(Game&, const std::string&, int) {}
void PlaySpeech(Game&, const std::string&) {}

}  // namespace tdx

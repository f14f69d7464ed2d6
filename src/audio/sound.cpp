#include "audio/sound.h"

namespace tdx {

void PlaySoundByName(Game&, const std::string&, double) {}
void PlaySound(Game&, const std::string&, int) {}
void PlaySpeech(Game&, const std::string&) {}
void RequestMusic(Game&, const std::string&) {}
void RequestRandomMusic(Game&) {}
void ServiceMusic(Game&) {}
void FadeMusicOut(Game&, int) {}
void StopMusic(Game&) {}
bool MusicChannelActive(Game&) { return false; }
bool ChannelActive(Game&, int) { return false; }
std::string AudioActivityText(Game&) { return std::string(20, 'N'); }

}  // namespace tdx

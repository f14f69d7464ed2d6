#include "speech.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace tdx::datagen {

namespace {

// A deep male voice, a little slower and lower than espeak's default, with a wide
// pitch range so the words come out emphatic rather than flat.
constexpr const char* kVoice = "en-us+m3";
constexpr int kPitch = 30;
constexpr int kRange = 70;

std::vector<short>* g_capture = nullptr;

int Capture(short* wav, int count, espeak_EVENT*) {
  if (wav && count > 0 && g_capture) g_capture->insert(g_capture->end(), wav, wav + count);
  return 0;  // keep going
}

int StartEspeak() {
  static int rate = 0;
  if (rate > 0) return rate;
  // DONT_EXIT: a missing voice data folder must be our error message, not espeak's exit().
  rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
  if (rate <= 0)
    throw std::runtime_error("espeak-ng could not start (is espeak-ng-data installed?)");
  espeak_SetSynthCallback(Capture);
  if (espeak_SetVoiceByName(kVoice) != EE_OK)
    throw std::runtime_error(std::string("espeak-ng has no voice ") + kVoice);
  return rate;
}

Mono Speak(const std::string& text, int wordsPerMinute, int& rate) {
  rate = StartEspeak();
  espeak_SetParameter(espeakRATE, wordsPerMinute, 0);
  espeak_SetParameter(espeakPITCH, kPitch, 0);
  espeak_SetParameter(espeakRANGE, kRange, 0);
  espeak_SetParameter(espeakVOLUME, 100, 0);
  std::vector<short> pcm;
  g_capture = &pcm;
  espeak_ERROR err = espeak_Synth(text.c_str(), text.size() + 1, 0, POS_CHARACTER, 0,
                                  espeakCHARS_UTF8, nullptr, nullptr);
  if (err == EE_OK) err = espeak_Synchronize();
  g_capture = nullptr;
  if (err != EE_OK || pcm.empty())
    throw std::runtime_error("espeak-ng could not speak \"" + text + "\"");
  Mono m(pcm.size());
  for (size_t i = 0; i < pcm.size(); ++i) m[i] = static_cast<float>(pcm[i] / 32768.0);
  return m;
}

}  // namespace

const std::vector<AnnouncementLine>& Announcements() {
  static const std::vector<AnnouncementLine> kLines = {
      {"s_welcome.mp3", "Welcome to Tandrix!", 125},
      {"s_3.mp3", "Three!", 130},
      {"s_2.mp3", "Two!", 130},
      {"s_1.mp3", "One!", 130},
      {"s_fight.mp3", "Fight!", 120},
      {"s_winner.mp3", "Winner!", 115},
      {"s_neplayers.mp3", "Select more players.", 140},
      {"s_neteams.mp3", "Select more teams.", 140},
  };
  return kLines;
}

Stereo SpeakAnnouncement(const AnnouncementLine& line) {
  int rate = 0;
  Mono voice = Speak(line.text, line.rate, rate);
  // The countdown must land on its number: no lead-in silence.
  Trim(voice, 0.01, 0.005, 0.05);
  voice = Resample(voice, rate, kRate);

  // Tone: no rumble, more chest, more presence, a touch of air.
  Biquad hp, chest, presence, air;
  hp.HighPass(75, 0.707);
  chest.Peak(160, 0.9, 4.0);
  presence.Peak(2800, 1.2, 4.0);
  air.HighShelf(7000, 2.0);
  for (float& x : voice)
    x = static_cast<float>(air.Process(presence.Process(chest.Process(hp.Process(x)))));
  // A little drive, as if through a big PA.
  Mono driven = voice;
  double peak = 1e-9;
  for (float x : driven) peak = std::max(peak, double(std::fabs(x)));
  for (float& x : driven) x = static_cast<float>(x / peak);
  Saturate(driven, 1.8);

  Stereo s = Pan(driven, 0.0);
  Compress(s, -20.0, 4.0, 3.0, 90.0, 8.0);
  // The doubled voice gives width; the slap and the hall give the arena.
  Chorus(s, 18.0, 3.0, 0.35, 0.35);
  Echo(s, 0.13, 0.28, 0.22, true, 0.3);
  Reverb(s, 0.75, 0.45, 0.22, 0.6);
  Fade(s, 0.0, 0.25);
  return s;
}

}  // namespace tdx::datagen

// Small sound fixtures made on the spot: an MP3 tone through LAME, a one-pattern MOD
// written byte by byte, and a reader for what SDL's disk audio driver wrote.
#pragma once

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tdx::testing {

inline std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// A sine tone as a mono 44.1 kHz MP3.
inline std::vector<uint8_t> MakeMp3Tone(double seconds, double hz = 440.0) {
  const int rate = 44100;
  const int n = static_cast<int>(seconds * rate);
  std::vector<short> pcm(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    pcm[i] = static_cast<short>(12000.0 * std::sin(2.0 * M_PI * hz * i / rate));
  }
  lame_t lame = lame_init();
  lame_set_in_samplerate(lame, rate);
  lame_set_out_samplerate(lame, rate);
  lame_set_num_channels(lame, 1);
  lame_set_mode(lame, MONO);
  lame_set_brate(lame, 64);
  lame_set_bWriteVbrTag(lame, 0);
  lame_init_params(lame);
  std::vector<uint8_t> out(static_cast<size_t>(n) * 5 / 4 + 7200 + 16384);
  int written =
      lame_encode_buffer(lame, pcm.data(), pcm.data(), n, out.data(), static_cast<int>(out.size()));
  if (written < 0) written = 0;
  int flushed =
      lame_encode_flush(lame, out.data() + written, static_cast<int>(out.size()) - written);
  if (flushed > 0) written += flushed;
  lame_close(lame);
  out.resize(static_cast<size_t>(written));
  return out;
}

// A four-channel ProTracker module: one looped square-wave sample, one pattern of 64
// rows (about 7.7 seconds at speed 6, 125 BPM) that strikes a note on channels 1 and 2
// (one panned left, one right on the Amiga layout).
inline std::vector<uint8_t> MakeTinyMod() {
  std::vector<uint8_t> mod(1084 + 1024 + 64, 0);
  std::memcpy(mod.data(), "tiny test module", 16);
  uint8_t* s1 = mod.data() + 20;  // the first of 31 sample headers
  std::memcpy(s1, "square", 6);
  s1[22] = 0;
  s1[23] = 32;  // length in words
  s1[24] = 0;   // finetune
  s1[25] = 64;  // volume
  s1[26] = 0;
  s1[27] = 0;  // loop start
  s1[28] = 0;
  s1[29] = 32;     // loop length in words: the whole sample
  mod[950] = 1;    // song length
  mod[951] = 127;  // restart
  mod[952] = 0;    // order 0: pattern 0
  std::memcpy(mod.data() + 1080, "M.K.", 4);
  const int period = 428;
  for (int channel = 0; channel < 2; ++channel) {
    uint8_t* cell = mod.data() + 1084 + channel * 4;  // row 0
    cell[0] = static_cast<uint8_t>(period >> 8);      // sample 1: high nibble 0
    cell[1] = static_cast<uint8_t>(period & 0xFF);
    cell[2] = 0x10;  // sample 1, no effect
    cell[3] = 0;
  }
  uint8_t* data = mod.data() + 1084 + 1024;
  for (int i = 0; i < 64; ++i) data[i] = static_cast<uint8_t>(i < 32 ? 100 : -100);
  return mod;
}

// Peak levels of the left and right channels of signed 16-bit stereo frames.
struct StereoLevels {
  int left = 0;
  int right = 0;
  size_t frames = 0;
};

inline StereoLevels ReadStereoLevels(const std::string& path) {
  StereoLevels levels;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return levels;
  int16_t frame[2];
  while (std::fread(frame, sizeof frame, 1, f) == 1) {
    levels.left = std::max(levels.left, std::abs(static_cast<int>(frame[0])));
    levels.right = std::max(levels.right, std::abs(static_cast<int>(frame[1])));
    ++levels.frames;
  }
  std::fclose(f);
  return levels;
}

}  // namespace tdx::testing

// MP3 encoding of the effects with LAME: 44.1 kHz joint stereo, constant bit rate.
#pragma once

#include <cstdint>
#include <vector>

#include "dsp.h"

namespace tdx::datagen {

// Encodes 44.1 kHz stereo samples (-1..1). The first frame is LAME's info frame (encoder
// delay and padding, so the decoder trims them); no ID3 tag, nothing time-dependent.
// Throws std::runtime_error when LAME fails.
std::vector<uint8_t> EncodeMp3(const Stereo& pcm, int kbps = 160);

}  // namespace tdx::datagen

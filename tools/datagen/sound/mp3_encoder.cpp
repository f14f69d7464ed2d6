#include "mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace tdx::datagen {

std::vector<uint8_t> EncodeMp3(const Stereo& pcm, int kbps) {
  std::unique_ptr<lame_global_flags, decltype(&lame_close)> lame(lame_init(), &lame_close);
  if (!lame) throw std::runtime_error("LAME could not start");
  lame_t gf = lame.get();
  lame_set_in_samplerate(gf, kRate);
  lame_set_out_samplerate(gf, kRate);
  lame_set_num_channels(gf, 2);
  lame_set_mode(gf, JOINT_STEREO);
  lame_set_VBR(gf, vbr_off);
  lame_set_brate(gf, kbps);
  lame_set_quality(gf, 2);
  lame_set_bWriteVbrTag(gf, 1);
  lame_set_write_id3tag_automatic(gf, 0);
  if (lame_init_params(gf) < 0) throw std::runtime_error("LAME rejected the encoder settings");

  std::vector<uint8_t> out;
  constexpr int kChunk = 4096;
  std::vector<uint8_t> buf(static_cast<size_t>(1.25 * kChunk + 7200));
  for (size_t pos = 0; pos < pcm.size(); pos += kChunk) {
    int n = static_cast<int>(std::min<size_t>(kChunk, pcm.size() - pos));
    int got = lame_encode_buffer_ieee_float(gf, pcm.l.data() + pos, pcm.r.data() + pos, n,
                                            buf.data(), static_cast<int>(buf.size()));
    if (got < 0) throw std::runtime_error("LAME failed while encoding");
    out.insert(out.end(), buf.begin(), buf.begin() + got);
  }
  int got = lame_encode_flush(gf, buf.data(), static_cast<int>(buf.size()));
  if (got < 0) throw std::runtime_error("LAME failed while flushing");
  out.insert(out.end(), buf.begin(), buf.begin() + got);

  // LAME reserved the first frame for the info tag; fill it in now that the sizes are known.
  std::vector<uint8_t> tag(2880);
  size_t tagSize = lame_get_lametag_frame(gf, tag.data(), tag.size());
  if (tagSize > 0 && tagSize <= out.size())
    std::copy(tag.begin(), tag.begin() + static_cast<long>(tagSize), out.begin());
  return out;
}

}  // namespace tdx::datagen

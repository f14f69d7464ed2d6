// No audio device: the game runs silent, without a message and without waiting for one.
#include "audio/mixer.h"

namespace tdx {
namespace {

class NullMixer final : public Mixer {
 public:
  uint32_t Version() const override { return kAudioLayerVersion; }
  bool Open(int) override { return false; }
  void Close() override {}
  void Update() override {}
  SampleId LoadSample(const std::vector<uint8_t>&) override { return 0; }
  AudioHandle PlayEffect(int, SampleId, int, int) override { return 0; }
  AudioHandle LoadModule(const std::vector<uint8_t>&) override { return 0; }
  bool PlayModule(AudioHandle) override { return false; }
  void SetVolume(AudioHandle, int) override {}
  void SlideVolume(AudioHandle, int, int) override {}
  bool IsActive(AudioHandle) override { return false; }
  void Stop(AudioHandle) override {}
  void Free(AudioHandle) override {}
};

}  // namespace

std::unique_ptr<Mixer> CreateNullMixer() { return std::make_unique<NullMixer>(); }

}  // namespace tdx

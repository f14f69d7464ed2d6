// What sound costs the frame: decoding an effect (done once per buffer at start-up, not
// per play), starting a decoded effect, and the per-frame music service with the
// activity line. Runs on SDL's dummy output, which mixes in real time like a device.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "../tests/audio_fixtures.h"
#include "app/game.h"
#include "audio/sound.h"

namespace tdx {
namespace {

struct DummyAudio {
  DummyAudio() {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    g.settings.game.sounds = 1;
    g.settings.game.music = 1;
    g.audio.SoundTable = {{0, "tone.mp3"}};
    g.audio.SoundStreams[0] = testing::MakeMp3Tone(1.0);
    g.audio.MusicTable = {{0, "tiny.mod", 1, 1, 600}};
    g.audio.MusicStreams[0] = testing::MakeTinyMod();
    InitAudio(g, false);
  }
  ~DummyAudio() { ShutdownAudio(g); }
  Game g;
};

void BM_DecodeOneSecondMp3(benchmark::State& state) {
  DummyAudio audio;
  if (!audio.g.audio.AudioAvailable) {
    state.SkipWithError("no dummy audio output");
    return;
  }
  Mixer& mixer = *audio.g.audio.mixer;
  for (auto _ : state) benchmark::DoNotOptimize(mixer.LoadSample(audio.g.audio.SoundStreams[0]));
}
BENCHMARK(BM_DecodeOneSecondMp3)->Unit(benchmark::kMillisecond)->Iterations(50);

void BM_PlaySoundDecoded(benchmark::State& state) {
  DummyAudio audio;
  if (!audio.g.audio.AudioAvailable) {
    state.SkipWithError("no dummy audio output");
    return;
  }
  Game& g = audio.g;
  for (auto _ : state) {
    PlaySoundByName(g, "tone.mp3", 100);
    state.PauseTiming();
    g.audio.mixer->Stop(g.audio.EffectChannels[0]);  // keep channel 0 free for the next one
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PlaySoundDecoded)->Unit(benchmark::kMicrosecond);

// The audio work of one frame with 20 effects and a module playing.
void BM_AudioFrameWork(benchmark::State& state) {
  DummyAudio audio;
  if (!audio.g.audio.AudioAvailable) {
    state.SkipWithError("no dummy audio output");
    return;
  }
  Game& g = audio.g;
  for (int i = 0; i < 20; ++i) PlaySound(g, "tone.mp3", 0);
  RequestMusic(g, "tiny.mod");
  ServiceMusic(g);
  for (auto _ : state) {
    std::string activity = AudioActivityText(g);
    benchmark::DoNotOptimize(activity);
    g.Now += 0.016;
    ServiceMusic(g);
  }
}
BENCHMARK(BM_AudioFrameWork)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tdx

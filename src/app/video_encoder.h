// Writing a video file with the ffmpeg program: the frames go to ffmpeg as raw 640 by 480
// RGB at sixty a second while the sound is kept beside the file; when the last frame is
// in, a second, quick ffmpeg run adds the sound. Everything is written under temporary
// names in the video's folder and renamed only when it is complete, so a failed or
// stopped export leaves no half-written video behind.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tdx {

inline constexpr int kVideoFramesPerSecond = 60;

// The file of an executable `name` in the folders of `searchPath` (PATH's form: folders
// split by colons, an empty one meaning the current folder); "" when none has it.
std::string FindProgram(const std::string& name, const std::string& searchPath);

class VideoEncoder {
 public:
  VideoEncoder() = default;
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;
  // An encoder not finished is abandoned.
  ~VideoEncoder();

  // Checks that `path` can be written (its ending names a kind of video ffmpeg knows by
  // it, its folder takes a new file) and starts ffmpeg, the program found at `ffmpeg`.
  // False with the reason, naming the file.
  bool Start(const std::string& ffmpeg, const std::string& path, std::string& error);
  // One frame: 640 * 480 * 3 bytes of picture, rows top to bottom, and its sound, 16-bit
  // left, right pairs at 44100 a second. False with ffmpeg's complaint when it stopped.
  bool AddFrame(const std::vector<uint8_t>& rgb, const std::vector<int16_t>& sound,
                std::string& error);
  // Ends the pictures, adds the sound and puts the finished video in place.
  bool Finish(std::string& error);
  // Stops ffmpeg and removes every temporary; nothing is left at the video's name.
  void Abandon();

  long long Frames() const { return frames_; }

 private:
  bool Spawn(const std::vector<std::string>& args, int input, std::string& error);
  bool WaitFor(std::string& error);
  std::string Complaint(int status) const;

  std::string ffmpeg_, path_, ending_;
  std::string pictures_, sound_, log_, finished_;  // the temporaries
  pid_t child_ = -1;
  int pipe_ = -1;  // ffmpeg's input of the pictures
  int soundFile_ = -1;
  long long frames_ = 0;
  bool started_ = false;
};

}  // namespace tdx

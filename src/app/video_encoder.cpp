#include "app/video_encoder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/folders.h"

extern char** environ;

namespace tdx {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 640, kHeight = 480;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Writes all of `bytes`; false with errno set when the reader went away or the disk is full.
bool WriteAll(int fd, const void* data, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (bytes > 0) {
    ssize_t n = ::write(fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    bytes -= static_cast<size_t>(n);
  }
  return true;
}

// How each kind of video is encoded: sharp enough for pixel art, quick to make, and
// playable everywhere (4:2:0 colour). Other endings get ffmpeg's own choice.
std::vector<std::string> PictureCodec(const std::string& ending) {
  if (ending == ".webm") {
    return {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8",        "-row-mt",
            "1",    "-b:v",       "0",         "-crf",     "30",        "-pix_fmt", "yuv420p"};
  }
  if (ending == ".mp4" || ending == ".mkv" || ending == ".mov" || ending == ".m4v") {
    return {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p"};
  }
  return {};
}

std::vector<std::string> SoundCodec(const std::string& ending) {
  if (ending == ".webm") return {"-c:a", "libopus", "-b:a", "160k"};
  if (ending == ".mp4" || ending == ".mkv" || ending == ".mov" || ending == ".m4v") {
    return {"-c:a", "aac", "-b:a", "192k"};
  }
  return {};
}

// Removes what an export to the same name left when it was killed before it could tidy
// up: its hidden temporaries carry the number of a process that no longer runs. Those of
// an export still running are left alone.
void RemoveLeftovers(const fs::path& folder, const std::string& stem, const std::string& ending) {
  const std::string start = "." + stem + "-";
  const std::string kinds[] = {ending, ".pictures" + ending, ".sound.raw", ".log.txt"};
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, start.size(), start) != 0) continue;
    const size_t digits = std::min(name.find_first_not_of("0123456789", start.size()), name.size());
    if (digits == start.size() || digits - start.size() > 9) continue;
    if (std::find(std::begin(kinds), std::end(kinds), name.substr(digits)) == std::end(kinds)) {
      continue;
    }
    if (OwnerRuns(std::stol(name.substr(start.size(), digits - start.size())))) continue;
    std::error_code removed;
    fs::remove(it->path(), removed);
  }
}

}  // namespace

std::string FindProgram(const std::string& name, const std::string& searchPath) {
  size_t from = 0;
  while (from <= searchPath.size()) {
    size_t colon = searchPath.find(':', from);
    if (colon == std::string::npos) colon = searchPath.size();
    // (Built up by appending: GCC 12 misreads an assignment of "." here as overlapping.)
    std::string file = colon > from ? searchPath.substr(from, colon - from) : std::string(1, '.');
    file += '/';
    file += name;
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(file.c_str(), X_OK) == 0) {
      return file;
    }
    from = colon + 1;
  }
  return "";
}

VideoEncoder::~VideoEncoder() { Abandon(); }

bool VideoEncoder::Start(const std::string& ffmpeg, const std::string& path, std::string& error) {
  ffmpeg_ = ffmpeg;
  path_ = path;
  const fs::path p(path);
  ending_ = Lower(p.extension().string());
  std::error_code ec;
  if (fs::is_directory(p, ec)) {
    error = path + ": is a folder, not a file name";
    return false;
  }
  if (ending_.size() < 2) {
    error = path + ": the name needs an ending that says the kind of video, such as .mp4 or .webm";
    return false;
  }
  const fs::path folder = p.has_parent_path() ? p.parent_path() : fs::path(".");
  const std::string stem = p.stem().string();
  RemoveLeftovers(folder, stem, ending_);
  std::string tag(1, '-');
  tag += std::to_string(::getpid());
  auto temporary = [&](const std::string& what, const std::string& ending) {
    return (folder / ("." + stem + tag + what + ending)).string();
  };
  finished_ = temporary("", ending_);
  pictures_ = temporary(".pictures", ending_);
  sound_ = temporary(".sound", ".raw");
  log_ = temporary(".log", ".txt");

  // The finished file's temporary is made now: a folder that does not take it is found
  // out before any frame is drawn.
  int fd = ::open(finished_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = path + ": cannot be written (" + std::strerror(errno) + ")";
    return false;
  }
  ::close(fd);
  started_ = true;
  soundFile_ = ::open(sound_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (soundFile_ < 0) {
    error = path + ": cannot be written (" + std::strerror(errno) + ")";
    Abandon();
    return false;
  }

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error = std::string("cannot make a pipe to ffmpeg: ") + std::strerror(errno);
    Abandon();
    return false;
  }
  std::vector<std::string> args = {
      "-hide_banner", "-loglevel", "error",   "-nostats", "-y", "-f", "rawvideo", "-pix_fmt",
      "rgb24",        "-s",        "640x480", "-r",       "60", "-i", "pipe:0",   "-an"};
  for (const std::string& a : PictureCodec(ending_)) args.push_back(a);
  args.push_back(pictures_);
  const bool spawned = Spawn(args, fds[0], error);
  ::close(fds[0]);
  pipe_ = fds[1];
  // A frame is 900 KB: a pipe that holds one whole saves many switches to ffmpeg and back.
  ::fcntl(pipe_, F_SETPIPE_SZ, 1 << 20);
  if (!spawned) {
    Abandon();
    return false;
  }
  return true;
}

bool VideoEncoder::Spawn(const std::vector<std::string>& args, int input, std::string& error) {
  std::vector<std::string> all = {ffmpeg_};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (input >= 0) {
    posix_spawn_file_actions_adddup2(&actions, input, 0);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // ffmpeg gets the default signal handling back (a broken pipe of ours is ignored), and a
  // process group of its own: Ctrl+C at the terminal stops the export, which then stops
  // ffmpeg, rather than ffmpeg ending on its own half way through a frame.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  pid_t pid = -1;
  const int r = posix_spawn(&pid, ffmpeg_.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (r != 0) {
    error = "cannot start " + ffmpeg_ + ": " + std::strerror(r);
    return false;
  }
  child_ = pid;
  return true;
}

std::string VideoEncoder::Complaint(int status) const {
  std::string why = WIFEXITED(status)     ? "exit status " + std::to_string(WEXITSTATUS(status))
                    : WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                          : "status " + std::to_string(status);
  // ffmpeg's last words say what it could not do; they name our temporaries, which the
  // player never sees, by the video's name.
  std::ifstream log(log_);
  std::string line, before, last;
  while (std::getline(log, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    before = last;
    last = line;
  }
  if (!before.empty()) last = before + "; " + last;
  for (const std::string* temporary : {&pictures_, &finished_}) {
    for (size_t at = last.find(*temporary); at != std::string::npos;
         at = last.find(*temporary, at + path_.size())) {
      last.replace(at, temporary->size(), path_);
    }
  }
  return "ffmpeg failed (" + why + ")" + (last.empty() ? "" : ": " + last);
}

bool VideoEncoder::WaitFor(std::string& error) {
  if (child_ < 0) return true;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(child_, &status, 0);
  } while (r < 0 && errno == EINTR);
  child_ = -1;
  if (r < 0) {
    error = std::string("ffmpeg was lost: ") + std::strerror(errno);
    return false;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  error = path_ + ": " + Complaint(status);
  return false;
}

bool VideoEncoder::AddFrame(const std::vector<uint8_t>& rgb, const std::vector<int16_t>& sound,
                            std::string& error) {
  if (pipe_ < 0 || rgb.size() != static_cast<size_t>(kWidth) * kHeight * 3) {
    error = path_ + ": no encoder to take the frame";
    return false;
  }
  if (!WriteAll(soundFile_, sound.data(), sound.size() * sizeof(int16_t))) {
    error = path_ + ": cannot write its sound beside it (" + std::strerror(errno) + ")";
    return false;
  }
  if (!WriteAll(pipe_, rgb.data(), rgb.size())) {
    // ffmpeg stopped taking frames: what it said is the reason.
    ::close(pipe_);
    pipe_ = -1;
    if (WaitFor(error)) error = path_ + ": ffmpeg stopped taking frames";
    return false;
  }
  ++frames_;
  return true;
}

bool VideoEncoder::Finish(std::string& error) {
  if (!started_) {
    error = path_ + ": the export was not started";
    return false;
  }
  if (pipe_ >= 0) {
    ::close(pipe_);
    pipe_ = -1;
  }
  if (!WaitFor(error)) return false;
  if (::close(soundFile_) != 0) {
    soundFile_ = -1;
    error = path_ + ": cannot write its sound beside it (" + std::strerror(errno) + ")";
    return false;
  }
  soundFile_ = -1;
  std::vector<std::string> args = {
      "-hide_banner", "-loglevel", "error", "-nostats", "-nostdin", "-y",  "-i", pictures_,
      "-f",           "s16le",     "-ar",   "44100",    "-ac",      "2",   "-i", sound_,
      "-map",         "0:v",       "-map",  "1:a",      "-c:v",     "copy"};
  for (const std::string& a : SoundCodec(ending_)) args.push_back(a);
  args.push_back(finished_);
  if (!Spawn(args, -1, error) || !WaitFor(error)) return false;
  std::error_code ec;
  fs::rename(finished_, path_, ec);
  if (ec) {
    error = path_ + ": cannot be written (" + ec.message() + ")";
    return false;
  }
  finished_.clear();
  Abandon();  // only the temporaries are left to remove
  return true;
}

void VideoEncoder::Abandon() {
  if (pipe_ >= 0) {
    ::close(pipe_);
    pipe_ = -1;
  }
  if (child_ > 0) {
    ::kill(child_, SIGTERM);
    int status = 0;
    while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
  }
  if (soundFile_ >= 0) {
    ::close(soundFile_);
    soundFile_ = -1;
  }
  if (!started_) return;
  for (const std::string* f : {&pictures_, &sound_, &log_, &finished_}) {
    if (!f->empty()) ::unlink(f->c_str());
  }
  started_ = false;
}

}  // namespace tdx

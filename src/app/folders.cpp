#include "app/folders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "match/setup.h"
#include "menu/settings.h"

namespace tdx {

namespace fs = std::filesystem;

namespace {

// A variable that is set, not empty and an absolute path; XDG says to ignore any other.
std::string AbsoluteVariable(const EnvLookup& env, const char* name) {
  const char* v = env(name);
  if (!v || v[0] != '/') return "";
  return v;
}

std::string HomeFolder(const EnvLookup& env) {
  std::string home = AbsoluteVariable(env, "HOME");
  if (!home.empty()) return home;
  const passwd* pw = ::getpwuid(::getuid());
  return pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : "";
}

// The XDG base folder `variable`, or `fallback` under the home folder; empty when there
// is neither.
std::string XdgFolder(const EnvLookup& env, const char* variable, const char* fallback) {
  std::string base = AbsoluteVariable(env, variable);
  if (base.empty()) {
    const std::string home = HomeFolder(env);
    if (home.empty()) return "";
    base = home + "/" + fallback;
  }
  return base + "/tandrix";
}

// mkdir -p, new folders readable by the player alone (as XDG asks for these folders).
bool MakeFolders(const std::string& path, std::string& error) {
  std::string built;
  for (const fs::path& part : fs::path(path)) {
    const std::string name = part.string();
    if (name.empty()) continue;
    if (!built.empty() && built.back() != '/') built.push_back('/');
    built.append(name);
    if (name == "/") continue;
    if (::mkdir(built.c_str(), 0700) == 0 || errno == EEXIST) continue;
    error = built + ": cannot create the folder (" + std::strerror(errno) + ")";
    return false;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    error = path + ": not a folder";
    return false;
  }
  return true;
}

// The package's default set-up, which a player's first start begins with.
bool ReadShippedSetup(const GameFolders& f, SettingsBlock& setup, std::string& error) {
  const std::string shipped = f.data + "/" + kSettingsFileName;
  struct stat st {};
  if (::stat(shipped.c_str(), &st) != 0) {
    error = shipped + ": the default set-up is missing; " + kReinstallHint +
            " (or start the game in a game folder, one holding pak/)";
    return false;
  }
  if (!LoadSettings(shipped, setup, error)) {
    error += std::string("; ") + kReinstallHint;
    return false;
  }
  return true;
}

}  // namespace

GameFolders GameFolderAt(const std::string& dir) {
  GameFolders f;
  f.data = dir + "/pak";
  f.config = dir;
  f.playerData = dir;
  return f;
}

GameFolders FindFolders(const std::string& workDir, const EnvLookup& env,
                        const std::string& installedData) {
  std::error_code ec;
  if (fs::is_directory(fs::path(workDir) / "pak", ec)) {
    // Relative, so that messages name pak/gfx.pak as they always have.
    if (workDir == ".") return GameFolders{};
    return GameFolderAt(workDir);
  }
  GameFolders f;
  f.installed = true;
  const char* data = env("TANDRIX_DATA_DIR");
  f.data = data && data[0] ? data : installedData;
  f.config = XdgFolder(env, "XDG_CONFIG_HOME", ".config");
  f.playerData = XdgFolder(env, "XDG_DATA_HOME", ".local/share");
  return f;
}

GameFolders FindFolders() {
  return FindFolders(
      ".", [](const char* name) { return static_cast<const char*>(std::getenv(name)); },
      TANDRIX_INSTALLED_DATA_DIR);
}

bool PrepareFolders(const GameFolders& f, std::string& error) {
  if (!f.installed) return true;
  if (f.config.empty() || f.playerData.empty()) {
    error = "cannot find the home folder for the set-up and replays (set HOME)";
    return false;
  }
  // The default is read before any folder is made, so a broken installation leaves the
  // player's home as it was.
  const std::string mine = f.config + "/" + kSettingsFileName;
  struct stat st {};
  const bool first = ::lstat(mine.c_str(), &st) != 0;  // else the player's own, whatever it holds
  SettingsBlock setup{};
  if (first && !ReadShippedSetup(f, setup, error)) return false;
  return MakeFolders(f.config, error) && MakeFolders(f.playerData, error) &&
         (!first || SaveSettings(mine, setup, error));
}

std::string FoldersText(const GameFolders& f) {
  auto absolute = [](const std::string& p) {
    if (p.empty()) return std::string("(no home folder)");
    std::error_code ec;
    const fs::path a = fs::absolute(p, ec);
    return ec ? p : a.lexically_normal().string();
  };
  std::string text = f.installed ? "Installed: " : "Run from a game folder: ";
  text += "this run uses\n";
  text += "  archives           " + absolute(f.data) + "\n";
  text += "  set-up             " + absolute(f.config + "/" + kSettingsFileName) + "\n";
  text += "  replays            " + absolute(f.playerData + "/replays") + "\n";
  return text;
}

bool OwnerRuns(long pid) {
  return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

}  // namespace tdx

// Where the game's files are: the archives it reads, and the player's set-up and replays.
// Run from a game folder (one holding pak/, as `make run` and the tests do), everything
// is in it. Installed, the archives come from the shared data folder and the player's
// files live in the XDG folders of their home, where a desktop expects them.
#pragma once

#include <functional>
#include <string>

namespace tdx {

struct GameFolders {
  std::string data = "pak";      // the archives and the default set-up (read only)
  std::string config = ".";      // tandrix.cfg and any other settings file
  std::string playerData = ".";  // holds replays/
  bool installed = false;        // the archives belong to the package, not to a game folder
};

// The environment as FindFolders reads it: a variable's value, or null when it is unset.
using EnvLookup = std::function<const char*(const char* name)>;

// A game started in `workDir`: the game folder itself when it holds pak/, otherwise the
// installed game's folders: the archives from $TANDRIX_DATA_DIR or `installedData`, the
// set-up in $XDG_CONFIG_HOME/tandrix (~/.config/tandrix), the replays under
// $XDG_DATA_HOME/tandrix (~/.local/share/tandrix).
GameFolders FindFolders(const std::string& workDir, const EnvLookup& env,
                        const std::string& installedData);
// The same for this process: its working directory, its environment and the data folder
// the build was told to install into.
GameFolders FindFolders();

// The game folder at `dir`: archives in dir/pak, everything else in dir.
GameFolders GameFolderAt(const std::string& dir);

// An installed game makes the player's folders and, on its first start, writes the default
// set-up there from the data folder's tandrix.cfg. A game folder is left as it is. False,
// with `error` naming the folder or file and what is wrong, when that cannot be done.
bool PrepareFolders(const GameFolders& folders, std::string& error);

// Said after a missing or damaged archive or default set-up of an installed game.
inline constexpr const char* kReinstallHint = "reinstall the tandrix package";

// Whether the process that named a temporary file after its number still runs; what a
// process that no longer runs left behind may be removed.
bool OwnerRuns(long pid);

// The lines --help ends with: the folders this run uses, as absolute paths.
std::string FoldersText(const GameFolders& folders);

}  // namespace tdx

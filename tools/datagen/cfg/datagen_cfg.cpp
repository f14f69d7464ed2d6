// Writes the shipped tandrix.cfg when there is none, so a player's set-up survives rebuilds.
#include <sys/stat.h>
#include <cstdio>
#include <string>

#include "default_settings.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: datagen_cfg PATH/tandrix.cfg\n");
    return 2;
  }
  std::string path = argv[1];
  struct stat st;
  if (::stat(path.c_str(), &st) == 0) return 0;
  std::string dir = path.substr(0, path.find_last_of('/'));
  if (dir != path) ::mkdir(dir.c_str(), 0755);
  std::string error;
  if (!tdx::SaveSettings(path, tdx::DefaultSettings(), error)) {
    std::fprintf(stderr, "datagen_cfg: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

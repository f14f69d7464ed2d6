// pakpack: packs a folder (or a list of files) into one of the game's archives.
//   pakpack OUT.pak DIR            every regular file of DIR, sorted by name
//   pakpack OUT.pak --files F...   the given files, in the given order
// Members are named by the bare file name. The same input always gives the same bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "pak_writer.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: pakpack OUT.pak DIR\n"
               "       pakpack OUT.pak --files FILE...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string out = argv[1];
  std::vector<tdx::PakMember> members;
  std::string error;
  bool ok = false;
  if (std::string(argv[2]) == "--files") {
    if (argc < 4) return Usage();
    ok = tdx::ReadFileMembers(std::vector<std::string>(argv + 3, argv + argc), members, error);
  } else {
    if (argc != 3) return Usage();
    ok = tdx::ReadFolderMembers(argv[2], members, error);
  }
  if (ok) ok = tdx::WritePakFile(out, members, error);
  if (!ok) {
    std::fprintf(stderr, "pakpack: %s: %s\n", out.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

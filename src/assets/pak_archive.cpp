#include "assets/pak_archive.h"

#include <memory>

#include "app/game.h"
#include "assets/rar5_reader.h"
#include "platform/bmp.h"

namespace tdx {

std::string PakPath(const std::string& workDir, const std::string& archive) {
  if (workDir.empty()) return "pak/" + archive;
  return workDir + "/pak/" + archive;
}

std::string TrimMemberName(const std::string& stored) {
  size_t begin = 0;
  size_t end = stored.size();
  while (begin < end && static_cast<unsigned char>(stored[begin]) <= ' ') ++begin;
  while (end > begin && static_cast<unsigned char>(stored[end - 1]) <= ' ') --end;
  return stored.substr(begin, end - begin);
}

std::string ItemMaterialName(const std::string& memberName) {
  if (memberName.size() <= 6) return memberName;
  return memberName.substr(0, memberName.size() - 7);
}

namespace {

std::unique_ptr<Rar5Reader> OpenPak(const std::string& path) {
  RarOpenArchiveData request;
  request.ArcName = path;
  request.OpenMode = kRarOmExtract;
  std::unique_ptr<Rar5Reader> reader = Rar5Reader::Open(request);
  if (request.OpenResult != kRarSuccess || !reader) return nullptr;
  reader->SetPassword(kPakPassword);
  return reader;
}

// The bulk walk: every member extracted in stored order and handed to `take`
// (its running index, trimmed name and bytes); `take` returns false to stop. A member
// that cannot be decoded ends the walk without being handed over.
template <typename Take>
void WalkPak(const std::string& path, Take take) {
  std::unique_ptr<Rar5Reader> reader = OpenPak(path);
  if (!reader) return;
  RarHeaderData header;
  std::vector<uint8_t> data;
  for (int index = 0; reader->ReadHeader(header) == kRarSuccess; ++index) {
    const std::string name = TrimMemberName(header.FileName);
    const int r = reader->ProcessFile(kRarExtract, &data);
    if (r != kRarSuccess) break;
    if (!take(index, name, data)) break;
  }
  reader->Close();
}

void LoadStreamPak(const std::string& path, const std::vector<StreamTableEntry>& table,
                   std::vector<std::vector<uint8_t>>& streams) {
  WalkPak(path, [&](int, const std::string& name, std::vector<uint8_t>& data) {
    for (const StreamTableEntry& e : table) {
      if (e.fileName != name) continue;
      if (e.slot >= 0 && static_cast<size_t>(e.slot) < streams.size()) {
        streams[static_cast<size_t>(e.slot)] = data;
      }
      break;  // only the first entry naming the file
    }
    return true;
  });
}

}  // namespace

PakStatus ExtractMember(const std::string& archivePath, const std::string& member,
                        std::vector<uint8_t>& out, std::string* detail) {
  out.clear();
  std::unique_ptr<Rar5Reader> reader = OpenPak(archivePath);
  if (!reader) {
    if (detail) *detail = "the archive is missing or not readable";
    return PakStatus::ArchiveUnreadable;
  }
  RarHeaderData header;
  int r = kRarSuccess;
  while ((r = reader->ReadHeader(header)) == kRarSuccess) {
    if (TrimMemberName(header.FileName) != member) {
      if (reader->ProcessFile(kRarSkip, nullptr) != kRarSuccess) break;
      continue;
    }
    // The first member of that name is the one; later ones are never looked at.
    r = reader->ProcessFile(kRarExtract, &out);
    reader->Close();
    if (r == kRarSuccess) return PakStatus::Ok;
    if (detail) *detail = RarResultText(r);
    return PakStatus::MemberDamaged;
  }
  reader->Close();
  if (r != kRarEndArchive) {
    // The walk ended on a damaged header before the member was found.
    if (detail)
      *detail = std::string("not found before a damaged header (") + RarResultText(r) + ")";
    return PakStatus::MemberDamaged;
  }
  if (detail) *detail = "no such member";
  return PakStatus::MemberMissing;
}

bool ExtractGfxMember(const std::string& workDir, const std::string& member,
                      std::vector<uint8_t>& out) {
  return ExtractMember(PakPath(workDir, "gfx.pak"), member, out) == PakStatus::Ok;
}

bool ExtractPakMember(const std::string& workDir, const std::string& member,
                      const std::string& archive, std::vector<uint8_t>& out) {
  return ExtractMember(PakPath(workDir, archive), member, out) == PakStatus::Ok;
}

void LoadSoundPak(const std::string& workDir, const std::vector<StreamTableEntry>& table,
                  std::vector<std::vector<uint8_t>>& streams) {
  LoadStreamPak(PakPath(workDir, "snd.pak"), table, streams);
}

void LoadMusicPak(const std::string& workDir, const std::vector<StreamTableEntry>& table,
                  std::vector<std::vector<uint8_t>>& streams) {
  LoadStreamPak(PakPath(workDir, "music.pak"), table, streams);
}

void LoadItemsPak(Game& g) {
  MaterialLibrary& menu = g.scene.Library(LibGLMLmenu);
  WalkPak(PakPath(g.workDir, "items.pak"),
          [&](int index, const std::string& name, std::vector<uint8_t>& data) {
            auto picture = std::make_shared<Picture>();
            std::string error;
            if (!DecodeBmp(data, *picture, error)) {
              if (g.fatalError.empty()) {
                g.fatalError =
                    "pak/items.pak: member " + name + " is not a readable picture (" + error + ")";
              }
              return false;
            }
            const std::string material = ItemMaterialName(name);
            menu.AddTextureMaterial(material, std::move(picture));
            if (material == "empty") g.assets.EmptyItemIndex = index;
            return true;
          });
}

}  // namespace tdx

#include "assets/pak_archive.h"

#include <memory>

#include "app/game.h"
#include "assets/quoted_input.h"
#include "assets/rar5_reader.h"
#include "platform/bmp.h"

namespace tdx {

std::string PakPath(const std::string& pakDir, const std::string& archive) {
  if (pakDir.empty()) return archive;
  return pakDir + "/" + archive;
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

// How a bulk walk ended, and the reason when it ended early.
enum class WalkEnd { Complete, Stopped, Unreadable, Damaged };
struct WalkResult {
  WalkEnd end = WalkEnd::Complete;
  std::string detail;  // for Damaged: where and why
};

// The bulk walk: every member extracted in stored order and handed to `take`
// (its running index, trimmed name and bytes); `take` returns false to stop. A member
// that cannot be decoded ends the walk without being handed over. Returns how it ended.
template <typename Take>
WalkResult WalkPak(const std::string& path, Take take) {
  WalkResult result;
  std::unique_ptr<Rar5Reader> reader = OpenPak(path);
  if (!reader) {
    result.end = WalkEnd::Unreadable;
    return result;
  }
  RarHeaderData header;
  std::vector<uint8_t> data;
  int index = 0;
  std::string after;  // the last member read whole
  for (;; ++index) {
    int r = reader->ReadHeader(header);
    if (r == kRarEndArchive) break;
    if (r != kRarSuccess) {
      result.end = WalkEnd::Damaged;
      result.detail = (after.empty() ? std::string("damaged before its first member")
                                     : "damaged after member " + QuotedInput(after)) +
                      " (" + RarResultText(r) + ")";
      break;
    }
    const std::string name = TrimMemberName(header.FileName);
    r = reader->ProcessFile(kRarExtract, &data);
    if (r != kRarSuccess) {
      result.end = WalkEnd::Damaged;
      result.detail = "member " + QuotedInput(name) + " is damaged (" + RarResultText(r) + ")";
      break;
    }
    if (!take(index, name, data)) {
      result.end = WalkEnd::Stopped;
      break;
    }
    after = name;
  }
  reader->Close();
  return result;
}

// What a sound or music archive that could not be read whole costs, for the warning.
std::string StreamPakProblem(const std::string& path, const WalkResult& walk) {
  if (walk.end == WalkEnd::Unreadable) return path + " is missing or not readable";
  if (walk.end == WalkEnd::Damaged) return path + ": " + walk.detail;
  return "";
}

std::string LoadStreamPak(const std::string& pakDir, const std::string& archive,
                          const std::vector<StreamTableEntry>& table,
                          std::vector<std::vector<uint8_t>>& streams) {
  const WalkResult walk = WalkPak(
      PakPath(pakDir, archive), [&](int, const std::string& name, std::vector<uint8_t>& data) {
        for (const StreamTableEntry& e : table) {
          if (e.fileName != name) continue;
          if (e.slot >= 0 && static_cast<size_t>(e.slot) < streams.size()) {
            streams[static_cast<size_t>(e.slot)] = data;
          }
          break;  // only the first entry naming the file
        }
        return true;
      });
  return StreamPakProblem(PakPath(pakDir, archive), walk);
}

}  // namespace

PakIndex::PakIndex(const std::string& archivePath) : reader_(OpenPak(archivePath)) {
  if (!reader_) return;
  RarHeaderData header;
  for (;;) {
    const uint64_t at = reader_->NextHeaderOffset();
    walkEnd_ = reader_->ReadHeader(header);
    if (walkEnd_ != kRarSuccess) break;
    headers_.emplace(TrimMemberName(header.FileName), at);  // the first of a name stays
    walkEnd_ = reader_->ProcessFile(kRarSkip, nullptr);
    if (walkEnd_ != kRarSuccess) break;
  }
}

PakIndex::~PakIndex() = default;

PakStatus PakIndex::Extract(const std::string& member, std::vector<uint8_t>& out,
                            std::string* detail) {
  out.clear();
  if (!reader_) {
    if (detail) *detail = "the archive is missing or not readable";
    return PakStatus::ArchiveUnreadable;
  }
  const auto found = headers_.find(member);
  if (found == headers_.end()) {
    if (walkEnd_ != kRarEndArchive) {
      // The walk ended on a damaged header before the member was found.
      if (detail)
        *detail =
            std::string("not found before a damaged header (") + RarResultText(walkEnd_) + ")";
      return PakStatus::MemberDamaged;
    }
    if (detail) *detail = "no such member";
    return PakStatus::MemberMissing;
  }
  reader_->SeekHeader(found->second);
  RarHeaderData header;
  int r = reader_->ReadHeader(header);
  if (r == kRarSuccess) r = reader_->ProcessFile(kRarExtract, &out);
  if (r == kRarSuccess) return PakStatus::Ok;
  if (detail) *detail = RarResultText(r == kRarEndArchive ? kRarBadData : r);
  return PakStatus::MemberDamaged;
}

PakStatus PakShelf::Extract(const std::string& archivePath, const std::string& member,
                            std::vector<uint8_t>& out, std::string* detail) {
  std::shared_ptr<PakIndex>& index = open_[archivePath];
  if (!index || !index->Readable()) index = std::make_shared<PakIndex>(archivePath);
  return index->Extract(member, out, detail);
}

PakStatus ExtractMember(const std::string& archivePath, const std::string& member,
                        std::vector<uint8_t>& out, std::string* detail) {
  return PakIndex(archivePath).Extract(member, out, detail);
}

bool ExtractGfxMember(const std::string& pakDir, const std::string& member,
                      std::vector<uint8_t>& out) {
  return ExtractMember(PakPath(pakDir, "gfx.pak"), member, out) == PakStatus::Ok;
}

bool ExtractPakMember(const std::string& pakDir, const std::string& member,
                      const std::string& archive, std::vector<uint8_t>& out) {
  return ExtractMember(PakPath(pakDir, archive), member, out) == PakStatus::Ok;
}

std::string LoadSoundPak(const std::string& pakDir, const std::vector<StreamTableEntry>& table,
                         std::vector<std::vector<uint8_t>>& streams) {
  return LoadStreamPak(pakDir, "snd.pak", table, streams);
}

std::string LoadMusicPak(const std::string& pakDir, const std::vector<StreamTableEntry>& table,
                         std::vector<std::vector<uint8_t>>& streams) {
  return LoadStreamPak(pakDir, "music.pak", table, streams);
}

bool LoadItemsPak(Game& g) {
  MaterialLibrary& menu = g.scene.Library(LibGLMLmenu);
  int pictures = 0;
  const std::string path = PakPath(g.folders.data, "items.pak");
  const WalkResult walk =
      WalkPak(path, [&](int index, const std::string& name, std::vector<uint8_t>& data) {
        // A headless run shows no word: their sizes place them, their pixels are
        // never drawn.
        auto picture = std::make_shared<Picture>();
        std::string error;
        if (!(g.headless ? ReadBmpSize(data, *picture, error) : DecodeBmp(data, *picture, error))) {
          if (g.fatalError.empty()) {
            g.fatalError = path + ": member " + QuotedInput(name) + " is not a readable picture (" +
                           error + ")";
          }
          return false;
        }
        const std::string material = ItemMaterialName(name);
        menu.AddTextureMaterial(material, std::move(picture));
        if (material == "empty") g.assets.EmptyItemIndex = index;
        ++pictures;
        return true;
      });
  // Without its words the main menu would be blank, yet clickable: stop instead.
  std::string problem;
  if (walk.end == WalkEnd::Unreadable) {
    problem = path + ": the archive of the menu words is missing or not readable";
  } else if (walk.end == WalkEnd::Damaged) {
    problem = path + ": " + walk.detail;
  } else if (walk.end == WalkEnd::Complete && pictures == 0) {
    problem = path + ": the archive holds no menu words";
  }
  if (!problem.empty() && g.fatalError.empty()) g.fatalError = problem;
  return g.fatalError.empty();
}

}  // namespace tdx

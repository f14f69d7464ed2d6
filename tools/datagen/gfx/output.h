// Where generated pictures go: the stage folders, the tables that list them, and an
// optional contact sheet for people to look at.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "paint.h"

namespace gfx {

// How a library turns a picture's colours into alpha; decides the file format (own alpha
// needs 32 bits) and how the contact sheet shows the picture.
enum class AlphaRule { SuperBlack, SqrtLuminance, Opaque, Own };

struct MenuItem {
  std::string name;
  int width = 0, height = 0;
};

struct PreloadItem {
  std::string material;
  std::string library;
};

struct SheetEntry {
  std::string label;
  Image image;  // as the game shows it: alpha applied
};

class Output {
 public:
  Output(std::string stage, bool keep_for_sheet)
      : stage_(std::move(stage)), sheet_(keep_for_sheet) {}

  // A picture of gfx.pak, loaded as material; library is spelled as the loading screen
  // compares it (GLMLshots, glmlrocket, glmlmyst ...).
  void AddGfx(const std::string& file, const std::string& library, const std::string& material,
              Image img, AlphaRule rule);
  // A material made in code by the game, listed for the loading screen only.
  void AddPreload(const std::string& material, const std::string& library) {
    preload_.push_back({material, library});
  }
  // A picture of items.pak (material of GLMLmenu); hit is its menu_items.dat size. Pictures
  // of what the game adds to its screens (network play, ...) are `added`: listed in
  // added_items.dat, which the loading screen does not go through, so that its length, which
  // recordings of the keys and mouse from the program's start depend on, stays the same.
  void AddItem(const std::string& material, Image img, int hit_w, int hit_h, bool added = false);

  // Every text drawn on the pictures added so far, one line each: picture name, its width
  // and height, the text's ink box (x0 y0 x1 y1) and the text, separated by tabs.
  const std::string& text_layout() const { return text_layout_; }

  const std::vector<MenuItem>& menu_items() const { return menu_items_; }
  const std::vector<MenuItem>& added_items() const { return added_items_; }
  const std::vector<PreloadItem>& preload() const { return preload_; }
  std::vector<SheetEntry>& sheet() { return sheet_entries_; }
  int files_written() const { return files_; }
  const std::string& stage() const { return stage_; }

  // The member suffix: the game cuts the last seven characters of an items member name.
  static constexpr const char* kItemSuffix = "_00.bmp";

 private:
  void Keep(const std::string& label, Image& img, AlphaRule rule);
  void NoteTexts(const std::string& name, const Image& img);

  std::string stage_;
  bool sheet_;
  std::vector<MenuItem> menu_items_;
  std::vector<MenuItem> added_items_;
  std::vector<PreloadItem> preload_;
  std::vector<SheetEntry> sheet_entries_;
  std::string text_layout_;
  int files_ = 0;
};

// The generators.
void MakeSprites(Output& out);
void MakeItems(Output& out);
// Writes menu_items.dat, added_items.dat, preload.dat and keys.dat into the stage's dat
// folder.
void WriteTables(Output& out);
// Writes a PNG of everything generated, labelled, on a dark grey ground.
void WriteContactSheet(Output& out, const std::string& png_path);
// Writes PREFIX_main.png, PREFIX_setup.png and PREFIX_round.png: screens laid out with the
// game's positions and scales, for judging sizes by eye.
void WriteMockScreens(Output& out, const std::string& prefix);

}  // namespace gfx

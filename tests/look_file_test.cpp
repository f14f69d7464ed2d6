// tandrix-look.ini: how the game is shown, in a file a person reads and edits.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/game.h"
#include "menu/look_file.h"
#include "menu/settings.h"

namespace fs = std::filesystem;

namespace tdx {
namespace {

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

class LookFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tdx_look_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    path = dir / kLookFileName;
  }
  void TearDown() override {
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir);
  }
  fs::path dir, path;
};

constexpr LookSettings kDefaults{};
constexpr LookSettings kClassic{true, ColourVision::Normal};
constexpr LookSettings kRedGreen{false, ColourVision::RedGreen};
constexpr LookSettings kBlueYellow{false, ColourVision::BlueYellow};

// What each text sets, and the problems it is told (by their "line: what" part).
TEST(LookText, ReadsGoodBadAndPartialTexts) {
  struct Case {
    const char* text;
    LookSettings want;
    std::vector<std::string> problems;
  } cases[] = {
      {"", kDefaults, {}},
      {"# only a comment\n\n   \n", kDefaults, {}},
      {"classic = yes\n", kClassic, {}},
      {"colours = red-green\n", kRedGreen, {}},
      {"  Colours=Blue Yellow   # my eyes\n", kBlueYellow, {}},
      {"colors = blue_yellow\r\nclassic = no\r\n", kBlueYellow, {}},
      {"classic = on\ncolours = redgreen", {true, ColourVision::RedGreen}, {}},
      {"classic = no\nclassic = true\n", kClassic, {}},  // the last line says it
      {"\xEF\xBB\xBF"
       "classic = yes\n",
       kClassic,
       {}},
      // A bad line leaves its setting as it was; the others still count.
      {"colours = red-green\ncolours = purple\n",
       kRedGreen,
       {":2: colours is \"purple\"; it can be normal, red-green or blue-yellow (the game uses "
        "red-green)"}},
      {"classic = maybe\ncolours = blue-yellow\n",
       kBlueYellow,
       {":1: classic is \"maybe\"; it can be yes or no (the game uses no)"}},
      {"classic =\n", kDefaults, {":1: classic is \"\""}},
      {"\n\nclassic yes\n",
       kDefaults,
       {":3: expected a setting as NAME = VALUE, not \"classic yes\""}},
      {"= yes\n", kDefaults, {":1: expected a setting as NAME = VALUE"}},
      {"speed = 11\ncolours = red-green\n",
       kRedGreen,
       {":1: no setting is called \"speed\" (the settings are classic and colours)"}},
      {"classic = # nothing before the comment\n", kDefaults, {":1: classic is \"\""}},
  };
  for (const Case& c : cases) {
    LookSettings got;
    std::vector<std::string> problems;
    ParseLookText(c.text, "look.ini", got, problems);
    EXPECT_EQ(got, c.want) << c.text;
    ASSERT_EQ(problems.size(), c.problems.size()) << c.text;
    for (size_t i = 0; i < problems.size(); ++i) {
      EXPECT_EQ(problems[i].rfind("look.ini" + c.problems[i], 0), 0u)
          << problems[i] << "\nwanted it to start with look.ini" << c.problems[i];
    }
  }
}

TEST(LookText, ANewFileSaysWhatEachSettingDoes) {
  const std::string text = LookText(kDefaults, "");
  EXPECT_NE(text.find("# Tandrix: how the game is shown."), std::string::npos);
  EXPECT_NE(text.find("\nclassic = no\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\ncolours = normal\n"), std::string::npos) << text;
  EXPECT_NE(text.find("red-green"), std::string::npos);
  for (const LookSettings& s : {kDefaults, kClassic, kRedGreen, kBlueYellow}) {
    LookSettings got;
    std::vector<std::string> problems;
    ParseLookText(LookText(s, ""), "new", got, problems);
    EXPECT_EQ(got, s);
    EXPECT_TRUE(problems.empty());
  }
}

// Saving keeps every line a person wrote but the values, and adds what is missing.
TEST(LookText, RewritingKeepsAPersonsLines) {
  const std::string mine =
      "# set up for my brother's eyes\n"
      "colours   =  normal   # he asked for this\n"
      "volume = 11\n"
      "\n"
      "not a setting\n";
  const std::string saved = LookText(kRedGreen, mine);
  EXPECT_EQ(saved.rfind("# set up for my brother's eyes\n"
                        "colours   =  red-green   # he asked for this\n"
                        "volume = 11\n"
                        "\n"
                        "not a setting\n",
                        0),
            0u)
      << saved;
  EXPECT_NE(saved.find("\nclassic = no\n"), std::string::npos) << "the missing setting is added";
  EXPECT_EQ(LookText(kRedGreen, saved), saved) << "saving again changes nothing";
  LookSettings got;
  std::vector<std::string> problems;
  ParseLookText(saved, "saved", got, problems);
  EXPECT_EQ(got, kRedGreen);
  EXPECT_EQ(problems.size(), 2u) << "the person's own odd lines are kept and still told";
  EXPECT_EQ(LookText(kClassic, "classic =\n").rfind("classic = yes\n\n# The colours", 0), 0u)
      << "an empty value is filled in";
}

TEST_F(LookFileTest, AMissingFileIsWrittenWithTheDefaults) {
  std::vector<std::string> messages;
  EXPECT_EQ(ReadLookAtStart(dir.string(), false, messages), kDefaults);
  EXPECT_FALSE(fs::exists(path)) << "a replay writes nothing";
  EXPECT_EQ(ReadLookAtStart(dir.string(), true, messages), kDefaults);
  EXPECT_TRUE(messages.empty());
  ASSERT_TRUE(fs::exists(path));
  EXPECT_EQ(Read(path), LookText(kDefaults, ""));
  // A player's edit is what the next start reads, and the file is left as they wrote it.
  Write(path, "colours = blue-yellow\n");
  EXPECT_EQ(ReadLookAtStart(dir.string(), true, messages), kBlueYellow);
  EXPECT_EQ(Read(path), "colours = blue-yellow\n");
  EXPECT_TRUE(messages.empty());
}

TEST_F(LookFileTest, ABadFileNeverStopsTheGame) {
  struct Case {
    const char* name;
    std::string content;  // empty: a folder stands in the file's place
    LookSettings want;
    std::string message;
  } cases[] = {
      {"bad line", "classic = no\ncolours = sepia\n", kDefaults,
       path.string() + ":2: colours is \"sepia\""},
      {"a folder", "", kDefaults, path.string() + ": not a plain file; the game is shown as usual"},
      {"too large", std::string(70000, '#'), kDefaults, path.string() + ": the file is too large"},
  };
  for (const Case& c : cases) {
    fs::remove_all(path);
    if (c.content.empty()) {
      fs::create_directory(path);
    } else {
      Write(path, c.content);
    }
    std::vector<std::string> messages;
    EXPECT_EQ(ReadLookAtStart(dir.string(), true, messages), c.want) << c.name;
    ASSERT_EQ(messages.size(), 1u) << c.name;
    EXPECT_EQ(messages[0].rfind(c.message, 0), 0u) << c.name << ": " << messages[0];
    if (!c.content.empty()) {
      EXPECT_EQ(Read(path), c.content) << c.name << ": left as it was";
    }
  }
}

TEST_F(LookFileTest, SavingKeepsCommentsAndTellsWhatFails) {
  Write(path, "# mine\ncolours = normal # for now\n");
  std::string error;
  ASSERT_TRUE(SaveLookFile(path.string(), kBlueYellow, error)) << error;
  const std::string saved = Read(path);
  EXPECT_EQ(saved.rfind("# mine\ncolours = blue-yellow # for now\n", 0), 0u) << saved;
  LookSettings got;
  std::vector<std::string> problems;
  EXPECT_EQ(LoadLookFile(path.string(), got, problems), LookRead::Read);
  EXPECT_EQ(got, kBlueYellow);
  EXPECT_TRUE(problems.empty());
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);

  fs::permissions(path, fs::perms::owner_read, fs::perm_options::replace);
  EXPECT_FALSE(SaveLookFile(path.string(), kClassic, error));
  EXPECT_NE(error.find(path.string() + ": the file is read-only"), std::string::npos) << error;
  EXPECT_EQ(Read(path), saved);
}

TEST(LookFlag, ClassicOnTheCommandLineWinsOverTheFile) {
  struct Case {
    LookSettings file;
    bool flag;
    bool classic;
  } cases[] = {
      {kDefaults, false, false},
      {kDefaults, true, true},
      {kClassic, false, true},
      {kRedGreen, true, true},
  };
  for (const Case& c : cases) {
    Presentation p;
    ApplyLook(p, c.file, c.flag);
    EXPECT_EQ(p.classic, c.classic);
    EXPECT_EQ(p.Extras(), !c.classic);
    EXPECT_EQ(p.vision, c.file.vision) << "the palette is kept for when classic is off";
  }
}

// Start-up reads the file beside tandrix.cfg and never touches the set-up file.
TEST_F(LookFileTest, StartUpLeavesTandrixCfgAsItWas) {
  std::string cfg(164, '\0');
  for (size_t i = 0; i < cfg.size(); ++i) cfg[i] = static_cast<char>(i * 13 + 5);
  Write(dir / kSettingsFileName, cfg);
  Write(path, "colours = red-green\n");
  struct Case {
    bool flag;
    bool classic;
  } cases[] = {{false, false}, {true, true}};
  for (const Case& c : cases) {
    Game g;
    g.folders = GameFolderAt(dir.string());
    ReadLookFile(g, c.flag, true);
    EXPECT_EQ(g.presentation.classic, c.classic);
    EXPECT_EQ(g.presentation.vision, ColourVision::RedGreen);
  }
  fs::remove(path);
  Game g;
  g.folders = GameFolderAt(dir.string());
  ReadLookFile(g, false, true);
  EXPECT_TRUE(fs::exists(path));
  EXPECT_EQ(Read(dir / kSettingsFileName), cfg) << "tandrix.cfg, byte for byte";
}

}  // namespace
}  // namespace tdx

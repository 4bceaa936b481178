// What `cmake --install` makes of this build: each installed file passes the
// validator of the desktop that reads it, and behaves as that desktop uses
// it. The Debian package of the same tree: package/.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_files.h"
#include "window/help.h"

namespace tamarind {
namespace {

using test::ShellQuote;
using ::testing::HasSubstr;

constexpr bool kWindow = TAMARIND_PACKAGES_WINDOW;  // the build has the window

constexpr const char* kAppId = "io.github.tamarind_fax.tamarind";

// One install into a scratch DESTDIR, shared by the tests below.
class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    destination_ = new test::ScopedTempDir;
    test::CommandResult install = test::RunCommand("DESTDIR=" + ShellQuote(destination_->Path()) + " cmake --install " +
                                                   ShellQuote(test::BinaryDir()) + " --prefix /usr 2>&1");
    ASSERT_EQ(install.exitCode, 0) << install.output;
  }
  static void TearDownTestSuite() {
    delete destination_;
    destination_ = nullptr;
  }
  static std::string Usr(const std::string& path) { return destination_->Path() + "/usr/" + path; }

  static test::ScopedTempDir* destination_;
};
test::ScopedTempDir* Installed::destination_ = nullptr;

struct Validation {
  std::string file;     // below usr/
  std::string command;  // run with the file's path appended
  std::string output;   // all it may say
  bool window;          // installed only by a build with the window
};

void PrintTo(const Validation& v, std::ostream* out) { *out << v.file; }

class InstalledFile : public Installed, public ::testing::WithParamInterface<Validation> {};

TEST_P(InstalledFile, PassesItsValidatorSilently) {
  const Validation& v = GetParam();
  const std::string path = Usr(v.file);
  if (v.window && !kWindow) {
    EXPECT_FALSE(test::FileExists(path)) << "a build without the window installs no " << v.file;
    return;
  }
  ASSERT_TRUE(test::FileExists(path)) << path;
  test::CommandResult result = test::RunCommand(v.command + " " + ShellQuote(path) + " 2>&1");
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(result.output, v.output);
}

const std::string kIcons = "share/icons/hicolor/";

INSTANTIATE_TEST_SUITE_P(
    Validators, InstalledFile,
    ::testing::Values(
        Validation{"share/applications/" + std::string(kAppId) + ".desktop", "desktop-file-validate", "", true},
        Validation{"share/metainfo/" + std::string(kAppId) + ".metainfo.xml", "appstreamcli validate --no-net",
                   "\u2714 Validation was successful.\n", true},
        Validation{"share/mime/packages/tamarind.xml", "xmllint --noout", "", false},
        Validation{"share/man/man1/tamarind.1", "groff -man -ww -z", "", false},
        Validation{kIcons + "scalable/apps/" + kAppId + ".svg", "xmllint --noout", "", true},
        Validation{kIcons + "48x48/apps/" + kAppId + ".png", "identify -format %wx%h", "48x48", true},
        Validation{kIcons + "256x256/apps/" + kAppId + ".png", "identify -format %wx%h", "256x256", true}),
    [](const ::testing::TestParamInfo<Validation>& info) {
      std::string name = std::filesystem::path(info.param.file).filename().string();
      if (info.param.file.find("x48/") != std::string::npos) name = "48_" + name;
      if (info.param.file.find("x256/") != std::string::npos) name = "256_" + name;
      std::replace_if(
          name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
      return name;
    });

// How a desktop types a file: GLib by content and name, as file managers do,
// GLib by name alone (listings), and File::MimeInfo's mimetype, which
// xdg-mime uses on desktops without a typing tool of their own.
struct TypeCheck {
  const char* tool;
  const char* command;
  bool readsContent;
};
constexpr TypeCheck kTypers[] = {{"gio", "gio info -a standard::content-type", true},
                                 {"gio by name", "gio info -a standard::fast-content-type", false},
                                 {"mimetype", "mimetype --brief", true}};

// The MIME type, compiled as the desktop's trigger compiles it, types faxes
// by name in either case and by signature whatever their name, also where
// shared-mime-info's own JavaFX type claims "*.fxm": merged into the one
// system database as the package installs it, and as a database of its own
// above the system's, as a per-user install has it.
TEST_F(Installed, DesktopTypesFaxesByNameAndSignature) {
  test::ScopedTempDir merged;
  std::filesystem::create_directories(merged.File("mime/packages"));
  std::filesystem::copy_file("/usr/share/mime/packages/freedesktop.org.xml",
                             merged.File("mime/packages/freedesktop.org.xml"));
  std::filesystem::copy_file(Usr("share/mime/packages/tamarind.xml"), merged.File("mime/packages/tamarind.xml"));
  for (const std::string& database : {merged.File("mime"), Usr("share/mime")}) {
    // A scratch database: no need to wait for the disk.
    test::CommandResult compiled =
        test::RunCommand("PKGSYSTEM_ENABLE_FSYNC=0 update-mime-database " + ShellQuote(database) + " 2>&1");
    ASSERT_EQ(compiled.exitCode, 0) << compiled.output;
  }
  test::ScopedTempDir files;
  const std::string samples = test::SourceDir() + "/samples/";
  std::filesystem::copy_file(samples + "fine-g4.fxm", files.File("FAX.FXM"));
  std::filesystem::copy_file(samples + "fine-g4.fxm", files.File("attachment"));
  test::WriteFileText(files.File("notes.txt"), "no fax\n");
  test::WriteFileText(files.File("movie.fxm"), std::string("FLV\x01\x05\0\0\0\x09", 9));
  const struct {
    std::string name;
    std::string environment;
  } layouts[] = {
      {"system", "XDG_DATA_HOME=" + ShellQuote(merged.Path()) + " XDG_DATA_DIRS=" + ShellQuote(merged.Path())},
      {"per-user", "XDG_DATA_HOME=" + ShellQuote(Usr("share")) + " XDG_DATA_DIRS=/usr/share"}};
  for (const auto& layout : layouts) {
    auto typeOf = [&](const TypeCheck& typer, const std::string& path) {
      test::CommandResult typed = test::RunCommand(layout.environment + " " + typer.command + " " + ShellQuote(path));
      EXPECT_EQ(typed.exitCode, 0) << typer.tool << " " << path;
      return typed.output;
    };
    for (const TypeCheck& typer : kTypers) {
      SCOPED_TRACE(layout.name + " database, " + typer.tool);
      std::vector<std::string> faxes = {samples + "fine-g4.fxm", files.File("FAX.FXM")};
      if (typer.readsContent) faxes.push_back(files.File("attachment"));
      else
        faxes.insert(faxes.end(), {samples + "standard-g3.fxd", samples + "fine-g3.fxs", samples + "standard-g4.fxr"});
      for (const std::string& fax : faxes) EXPECT_THAT(typeOf(typer, fax), HasSubstr("application/x-winfax")) << fax;
      EXPECT_THAT(typeOf(typer, files.File("notes.txt")), ::testing::Not(HasSubstr("winfax")));
    }
    // A real JavaFX video keeps its type where the content is read.
    EXPECT_THAT(typeOf(kTypers[0], files.File("movie.fxm")), HasSubstr("video/x-javafx")) << layout.name;
  }
}

// The value of "KEY=value" in a desktop entry.
std::string FieldValue(const std::string& text, const std::string& key) {
  std::smatch match;
  const std::regex line("(?:^|\n)" + key + "=([^\n]*)");
  return std::regex_search(text, match, line) ? match[1].str() : "";
}

// The thumbnailer entry, run as a file manager runs it: its command with
// the input, output and size put in, found on the PATH.
TEST_F(Installed, ThumbnailerEntryMakesAThumbnail) {
  const std::string entry = test::ReadFileText(Usr("share/thumbnailers/tamarind.thumbnailer"));
  ASSERT_THAT(entry, ::testing::StartsWith("[Thumbnailer Entry]\n"));
  EXPECT_EQ(FieldValue(entry, "TryExec"), "tamarind");
  EXPECT_EQ(FieldValue(entry, "MimeType"), "application/x-winfax;");
  test::ScopedTempDir out;
  std::string command = FieldValue(entry, "Exec");
  for (auto [field, value] : {std::pair{"%i", test::SourceDir() + "/samples/multipage.fxd"},
                              std::pair{"%o", out.File("thumbnail.png")}, std::pair{"%s", std::string("128")}}) {
    const size_t at = command.find(field);
    ASSERT_NE(at, std::string::npos) << field;
    command.replace(at, 2, ShellQuote(value));
  }
  test::CommandResult run = test::RunCommand("PATH=" + ShellQuote(Usr("bin")) + ":/usr/bin:/bin " + command + " 2>&1");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(test::RunCommand("identify -format %w " + ShellQuote(out.File("thumbnail.png"))).output, "128");
}

// Help of the installed program finds the installed manual, and every
// picture the manual shows lies beside it.
TEST_F(Installed, HelpFindsTheManualAndItsPictures) {
  platform::Expected<std::string> manual = HelpDocumentPath(Usr("bin/tamarind"));
  ASSERT_TRUE(manual.ok()) << manual.reason();
  EXPECT_EQ(*manual, Usr("share/tamarind/manual.html"));
  const std::string html = test::ReadFileText(*manual);
  const std::regex picture("src=\"([^\"]+)\"");
  int pictures = 0;
  for (std::sregex_iterator it(html.begin(), html.end(), picture), end; it != end; ++it, ++pictures)
    EXPECT_TRUE(test::FileExists(Usr("share/tamarind/" + (*it)[1].str()))) << (*it)[1];
  EXPECT_GT(pictures, 0);
}

// The switches a piece of option text names: the words that start with "/"
// or "-" ("/f=", "/ocr", "--thumbnail", "/?"), without what follows "=".
std::set<std::string> SwitchesIn(const std::string& text) {
  static const std::regex word(R"((?:^|[\s,])(/\?|--?[a-z][a-z-]*|/[a-z][a-z-]*=?))");
  std::set<std::string> switches;
  for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it) switches.insert((*it)[1]);
  return switches;
}

// An option line's leading words, up to the gap before its description.
std::string OptionWords(const std::string& line, size_t indent) {
  return line.substr(indent, line.find("  ", indent) - indent);
}

// --help lists its switches on lines indented by two; the manual page, as
// man shows it, in OPTIONS as the tags of its paragraphs, indented by seven.
TEST_F(Installed, HelpAndManualPageNameTheSameSwitches) {
  std::set<std::string> help;
  std::istringstream helpText(test::RunCommand(ShellQuote(Usr("bin/tamarind")) + " --help").output);
  for (std::string line; std::getline(helpText, line);)
    if (line.starts_with("  /") || line.starts_with("  -")) help.merge(SwitchesIn(OptionWords(line, 2)));

  std::set<std::string> manual;
  std::istringstream page(
      test::RunCommand("groff -man -Tascii -P-cbou " + ShellQuote(Usr("share/man/man1/tamarind.1"))).output);
  bool inOptions = false;
  for (std::string line; std::getline(page, line);) {
    if (!line.empty() && line.front() != ' ') inOptions = line == "OPTIONS";
    if (inOptions && line.starts_with("       ") && line.size() > 7 && line[7] != ' ')
      manual.merge(SwitchesIn(OptionWords(line, 7)));
  }
  EXPECT_GT(help.size(), 30u);
  std::vector<std::string> onlyHelp, onlyManual;
  std::set_difference(help.begin(), help.end(), manual.begin(), manual.end(), std::back_inserter(onlyHelp));
  std::set_difference(manual.begin(), manual.end(), help.begin(), help.end(), std::back_inserter(onlyManual));
  EXPECT_THAT(onlyHelp, ::testing::IsEmpty()) << "in --help, not in the manual page";
  EXPECT_THAT(onlyManual, ::testing::IsEmpty()) << "in the manual page, not in --help";
}

}  // namespace
}  // namespace tamarind

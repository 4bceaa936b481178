// The Debian package scripts/package builds from these sources: the files
// it installs, what it needs, lintian's verdict, and a source tree left as
// it was. One build serves every test; it takes minutes, so it runs only
// when TAMARIND_PACKAGE_TESTS=1.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <sstream>
#include <string_view>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_files.h"

namespace tamarind {
namespace {

using test::ShellQuote;
using ::testing::HasSubstr;

constexpr bool kWindow = TAMARIND_PACKAGES_WINDOW;  // the build has the window

struct Build {
  test::CommandResult run;     // scripts/package, its output ending with the package's path
  std::string deb;             // that path
  std::string changedSources;  // what `git status` says changed in the sources while it ran
};

class DebianPackage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* wanted = std::getenv("TAMARIND_PACKAGE_TESTS");
    if (!wanted || std::string_view(wanted) != "1") return;
    const std::string status = "git -C " + ShellQuote(test::SourceDir()) + " status --porcelain 2>&1";
    const std::string before = test::RunCommand(status).output;
    Build& build = build_.emplace();
    build.run =
        test::RunCommand(ShellQuote(test::SourceDir() + "/scripts/package") + (kWindow ? "" : " -DTAMARIND_GUI=OFF") +
                         " --output " + ShellQuote(test::BinaryDir()) + " 2>&1");
    const std::string& output = build.run.output;
    const size_t lastLine = output.find_last_of('\n', output.size() - 2);
    build.deb = output.substr(lastLine + 1, output.size() - lastLine - 2);
    const std::string after = test::RunCommand(status).output;
    if (after != before) build.changedSources = "before:\n" + before + "after:\n" + after;
  }

  void SetUp() override {
    if (!build_) GTEST_SKIP() << "the package build takes minutes: run with TAMARIND_PACKAGE_TESTS=1";
    ASSERT_EQ(build_->run.exitCode, 0) << Tail(build_->run.output);
  }

  static std::string Tail(const std::string& text) { return text.substr(text.size() > 4000 ? text.size() - 4000 : 0); }
  static std::string Deb() { return ShellQuote(build_->deb); }

  static std::optional<Build> build_;
};
std::optional<Build> DebianPackage::build_;

// Exactly these files: the manual page compressed, the HTML manual with its
// pictures outside /usr/share/doc, which administrators may strip.
TEST_F(DebianPackage, InstallsTheseFiles) {
  std::vector<std::string> expected = {
      "./usr/bin/tamarind",
      "./usr/share/doc/tamarind/README.md.gz",
      "./usr/share/doc/tamarind/changelog.Debian.gz",
      "./usr/share/doc/tamarind/copyright",
      "./usr/share/lintian/overrides/tamarind",
      "./usr/share/man/man1/tamarind.1.gz",
      "./usr/share/mime/packages/tamarind.xml",
      "./usr/share/tamarind/manual.html",
      "./usr/share/tamarind/screenshot-about.png",
      "./usr/share/tamarind/screenshot-convert.png",
      "./usr/share/tamarind/screenshot-options.png",
      "./usr/share/tamarind/screenshot-viewer.png",
      "./usr/share/thumbnailers/tamarind.thumbnailer",
  };
  if (kWindow)
    expected.insert(expected.end(), {"./usr/share/applications/io.github.tamarind_fax.tamarind.desktop",
                                     "./usr/share/icons/hicolor/256x256/apps/io.github.tamarind_fax.tamarind.png",
                                     "./usr/share/icons/hicolor/48x48/apps/io.github.tamarind_fax.tamarind.png",
                                     "./usr/share/icons/hicolor/scalable/apps/io.github.tamarind_fax.tamarind.svg",
                                     "./usr/share/metainfo/io.github.tamarind_fax.tamarind.metainfo.xml"});
  test::CommandResult listing = test::RunCommand("dpkg-deb --contents " + Deb() + " | awk '/^-/ {print $6}'");
  ASSERT_EQ(listing.exitCode, 0);
  std::vector<std::string> files;
  std::istringstream lines(listing.output);
  for (std::string line; std::getline(lines, line);) files.push_back(line);
  EXPECT_THAT(files, ::testing::UnorderedElementsAreArray(expected));
}

// Text recognition works out of the box (English, and the orientation data
// /ocr reads upside-down pages with); the libraries are the ones linked.
TEST_F(DebianPackage, RecommendsTheOcrDataAndDependsOnTheLinkedLibraries) {
  test::CommandResult recommends = test::RunCommand("dpkg-deb --field " + Deb() + " Recommends");
  ASSERT_EQ(recommends.exitCode, 0);
  EXPECT_EQ(recommends.output, "tesseract-ocr-eng, tesseract-ocr-osd\n");
  test::CommandResult depends = test::RunCommand("dpkg-deb --field " + Deb() + " Depends");
  ASSERT_EQ(depends.exitCode, 0);
  for (const char* library : {"libjpeg62-turbo", "libtiff6", "libpng16-16", "libtesseract5", "liblept5"})
    EXPECT_THAT(depends.output, HasSubstr(library));
  if (kWindow) EXPECT_THAT(depends.output, HasSubstr("libqt6widgets6"));
  else EXPECT_THAT(depends.output, ::testing::Not(HasSubstr("libqt")));
}

// lintian --pedantic on the source and binary packages: no error, no
// warning, and every tag it still shows, overridden or not, explained in the
// README.
TEST_F(DebianPackage, LintianFindsNoErrorOrWarningAndTheReadmeExplainsTheRest) {
  const std::string report = test::ReadFileText(test::BinaryDir() + "/package/lintian.txt");
  const std::string readme = test::ReadFileText(test::SourceDir() + "/README.md");
  const std::regex tagLine("(?:^|\n)([EWIPXO]): [^:\n]+: ([a-z0-9+.-]+)");
  for (std::sregex_iterator it(report.begin(), report.end(), tagLine), end; it != end; ++it) {
    const std::string level = (*it)[1], tag = (*it)[2];
    EXPECT_TRUE(level != "E" && level != "W") << level << ": " << tag;
    EXPECT_NE(readme.find("`" + tag + "`"), std::string::npos) << "the README does not explain " << tag;
  }
}

// The build runs in a copy of the tree: nothing is left in the sources.
TEST_F(DebianPackage, LeavesTheSourceTreeAsItWas) {
  EXPECT_EQ(build_->changedSources, "");
  for (const auto& entry : std::filesystem::directory_iterator(test::BinaryDir() + "/package"))
    EXPECT_FALSE(entry.is_directory()) << "the build's copy of the tree is left: " << entry.path();
}

}  // namespace
}  // namespace tamarind

// Folder runs: the walk, the output names and the report around them.
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "batch/convert_folder.h"
#include "convert/conversion_job.h"
#include "convert/output_names.h"
#include "convert/process.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/fax_files.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::WriteFaxFile;
using ::testing::ElementsAre;

std::string Header(const std::string& source, const std::string& destination) {
  return "Tamarind command line mode : convert folder\r\nSource Folder: " + source + "\r\nSave Folder: " + destination +
         "\r\n";
}

std::string Total(int converted) {
  return "\r\n---------\r\nTotal converted FAX files: " + std::to_string(converted) + "\r\n";
}

class ConvertFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    processPaths.tempFolder = platform::TempFolder();
    job.Reset();
    source = dir.File("in");
    destination = dir.File("out");
    job.options.source = source;
    job.options.destination = destination;
    // in/a.fxd  in/B.FXS  in/notes.txt  in/sub/c.fxd  in/sub/deeper/d.fxm
    // in/sub.fxd/e.fxd (a folder whose name the filter matches)
    for (const char* folder : {"in/sub/deeper", "in/sub.fxd"}) ASSERT_TRUE(platform::MakeFolders(dir.File(folder)));
    for (const char* name : {"in/a.fxd", "in/B.FXS", "in/sub/c.fxd", "in/sub/deeper/d.fxm", "in/sub.fxd/e.fxd"})
      WriteFaxFile(dir.File(name), {"text-fine-g3"});
    test::WriteFileText(dir.File("in/notes.txt"), "not a fax");
  }

  void Run() {
    job.files.clear();
    CollectFiles(job, job.options.source, job.options.includeSubfolders);
    ConvertFolder(job);
  }

  test::ScopedTempDir dir;
  ConversionJob job;
  std::string source;
  std::string destination;
};

TEST_F(ConvertFolderTest, TopFolderOnlyByDefaultAndOutputsOverwritten) {
  ASSERT_TRUE(platform::MakeFolders(destination));
  test::WriteFileText(destination + "/a.jpg", "old");
  Run();
  EXPECT_THAT(job.files, ElementsAre("B.FXS", "a.fxd"));
  EXPECT_EQ(job.report, Header(source, destination) + source + "/B.FXS --> " + destination + "/B.jpg : Success !\r\n" +
                            source + "/a.fxd --> " + destination + "/a.jpg : Success !\r\n" + Total(2));
  EXPECT_TRUE(test::IsWholeJpeg(destination + "/a.jpg"));
  EXPECT_EQ(job.failures, 0);
}

TEST_F(ConvertFolderTest, FilterDecidesWhichSubfoldersAreEntered) {
  job.options.includeSubfolders = 1;
  job.options.filter = "*.FXD";  // matched without regard to case
  CollectFiles(job, source, 1);
  EXPECT_THAT(job.files, ElementsAre("a.fxd", "sub.fxd/e.fxd"));

  job.files.clear();
  job.options.filter = "?.fx?";
  CollectFiles(job, source, 1);
  EXPECT_THAT(job.files, ElementsAre("B.FXS", "a.fxd"));
}

// Relative folders keep naming the same place through the whole run.
TEST_F(ConvertFolderTest, KeepHierarchyMirrorsTheTreeAndKeepExtensionKeepsTheName) {
  char* previous = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  job.options.source = "in";
  job.options.destination = "out/deep";
  job.options.includeSubfolders = 1;
  job.options.keepHierarchy = 1;
  job.options.keepExtension = 1;
  Run();
  EXPECT_EQ(chdir(previous), 0);
  free(previous);
  for (const char* name : {"B.FXS.jpg", "a.fxd.jpg", "sub/c.fxd.jpg", "sub/deeper/d.fxm.jpg", "sub.fxd/e.fxd.jpg"})
    EXPECT_TRUE(test::FileExists(destination + "/deep/" + name)) << name;
  EXPECT_TRUE(job.report.ends_with(Total(5))) << job.report;
}

// Depth first in name order; links to folders and special files are passed
// over, a link to a file is taken; a trailing separator changes nothing;
// outputs go flat without /kh.
TEST_F(ConvertFolderTest, WalkGoesDepthFirstPastLinkedFoldersAndOutputsGoFlat) {
  ASSERT_EQ(symlink(source.c_str(), (source + "/loop").c_str()), 0);
  ASSERT_EQ(symlink((source + "/a.fxd").c_str(), (source + "/link.fxd").c_str()), 0);
  ASSERT_EQ(mkfifo((source + "/pipe.fxd").c_str(), 0600), 0);
  job.options.source = source + "/";
  job.options.includeSubfolders = 1;
  Run();
  EXPECT_THAT(job.files, ElementsAre("B.FXS", "a.fxd", "link.fxd", "sub/c.fxd", "sub/deeper/d.fxm", "sub.fxd/e.fxd"));
  EXPECT_NE(job.report.find(source + "/sub/c.fxd --> " + destination + "/c.jpg : Success !\r\n"), std::string::npos)
      << job.report;
  for (const char* name : {"B.jpg", "a.jpg", "c.jpg", "d.jpg", "e.jpg", "link.jpg"})
    EXPECT_TRUE(test::FileExists(destination + "/" + name)) << name;
  EXPECT_FALSE(test::FileExists(destination + "/sub"));
}

TEST_F(ConvertFolderTest, EmptyMissingAndUnnamedSourcesGiveTheirLines) {
  ASSERT_TRUE(platform::MakeFolders(dir.File("empty")));
  job.options.source = dir.File("empty");
  Run();
  EXPECT_EQ(job.report, Header(job.options.source, destination) + Total(0));
  EXPECT_EQ(job.failures, 0);

  job.options.source = dir.File("missing");
  Run();
  EXPECT_EQ(job.report, Header(job.options.source, destination) + "Failed to read folder: " + job.options.source +
                            " - No such file or directory\r\n" + Total(0));
  EXPECT_EQ(job.failures, 1);

  job.options.source = "";
  Run();
  EXPECT_EQ(job.report, Header("", destination) + "Failed : no source folder given\r\n" + Total(0));
  EXPECT_EQ(job.failures, 2);

  job.options.destination = "";
  EXPECT_EQ(ConvertFolder(job), -1);
}

TEST(OutputNames, ExtensionsComeFromTheLastComponentOnly) {
  EXPECT_EQ(WithoutExtension("out/a.b/fax.jpg"), "out/a.b/fax");
  EXPECT_EQ(WithoutExtension("out.d/fax"), "out.d/fax");
  EXPECT_EQ(WithoutExtension("out/.jpg"), "out/.jpg");
  EXPECT_THAT(PageFileNames("x.d/fax", 2), ElementsAre("x.d/fax001.jpg", "x.d/fax002.jpg"));
  EXPECT_THAT(PageFileNames("fax.jpg", 1), ElementsAre("fax.jpg"));
  EXPECT_THAT(PageFileNames("fax.jpg", 0), ElementsAre("fax.jpg"));
  EXPECT_EQ(PageFileNames("f.jpg", 1000).back(), "f1000.jpg");
}

// Both run modes name folder-run outputs here.
TEST(OutputNames, FolderRunOutputKeepsExtensionAndHierarchyAsAsked) {
  auto output = [](std::string destination, std::string_view entry, bool keepExtension, bool keepHierarchy) {
    ConversionOptions options;
    options.destination = std::move(destination);
    options.keepExtension = keepExtension;
    options.keepHierarchy = keepHierarchy;
    return FolderRunOutput(options, entry);
  };
  EXPECT_EQ(output("/out", "sub.x/a.fxd", false, false), "/out/a.jpg");
  EXPECT_EQ(output("/out", "sub.x/a.fxd", true, false), "/out/a.fxd.jpg");
  EXPECT_EQ(output("/out", "sub.x/a.fxd", true, true), "/out/sub.x/a.fxd.jpg");
  EXPECT_EQ(output("/out", "s.d/in.x/b.fxd", false, true), "/out/s.d/in.x/b.jpg");
  // A dot in a folder name is no extension, nor is a leading dot.
  EXPECT_EQ(output("/out", "sub.x/noext", false, true), "/out/sub.x/noext.jpg");
  EXPECT_EQ(output("/out", ".fxd", false, false), "/out/.fxd.jpg");
  EXPECT_EQ(output("o/", "b.fxd", true, false), "o/b.fxd.jpg");
}

}  // namespace
}  // namespace tamarind

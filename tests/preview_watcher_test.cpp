// The preview's file watcher on real files: saves in place and by rename, files that vanish and
// come back, files and folders that do not exist yet, and changes that are not the show's.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/show_harness.h"
#include "tools/preview/file_watcher.h"

namespace {

using namespace std::chrono_literals;
using preview::FileWatcher;
using Paths = std::vector<std::string>;

// Long enough for any machine to deliver an event; only a failing test waits it out.
constexpr auto PATIENCE = 5s;
// How long a test waits to be sure that nothing is reported.
constexpr auto QUIET = 300ms;

struct Folder {
  support::TempDir dir;
  std::string path(const std::string& name) const { return dir.path + "/" + name; }
  void write(const std::string& name, const std::string& text) const {
    dir.write(name, support::Bytes(text.begin(), text.end()));
  }
};

TEST(FileWatcher, AFileSavedInPlaceOrByRenameIsReportedAndStillWatchedAfterwards) {
  Folder folder;
  folder.write("show.tds", "end\n");
  folder.write("other.tds", "end\n");
  FileWatcher watcher(20ms);
  ASSERT_EQ(watcher.error(), "");
  watcher.watch({folder.path("show.tds"), folder.path("other.tds")});
  EXPECT_EQ(watcher.poll(0ms), Paths{});

  folder.write("show.tds", "wait 1\nend\n");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("show.tds")});

  // An editor's save: a new file written beside it, then renamed over it.
  folder.write(".show.tds.swp", "wait 2\nend\n");
  std::filesystem::rename(folder.path(".show.tds.swp"), folder.path("show.tds"));
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("show.tds")});

  // The file under the name is a new one now, and it is the one watched.
  folder.write("show.tds", "wait 3\nend\n");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("show.tds")});
  folder.write("other.tds", "wait 3\nend\n");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("other.tds")});
}

TEST(FileWatcher, AFileThatVanishesIsReportedAndSoIsItsReturn) {
  Folder folder;
  folder.write("pic.png", "picture");
  FileWatcher watcher(20ms);
  watcher.watch({folder.path("pic.png")});
  std::filesystem::remove(folder.path("pic.png"));
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("pic.png")});
  folder.write("pic.png", "picture again");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("pic.png")});
  folder.write("pic.png", "and again");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("pic.png")});
}

TEST(FileWatcher, FilesAndFoldersThatDoNotExistYetAreSeenWhenTheyAreMade) {
  Folder folder;
  FileWatcher watcher(20ms);
  // An include the show names before it is written, in a folder not made yet.
  watcher.watch({folder.path("scenes/intro.tds")});
  std::filesystem::create_directory(folder.path("scenes"));
  // Making the folder is news on the way to the file; then the file itself.
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("scenes/intro.tds")});
  folder.write("scenes/intro.tds", "end\n");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("scenes/intro.tds")});
}

TEST(FileWatcher, OtherFilesInTheFolderAreNotReportedButAWatchedFolderReportsAnyOfItsFiles) {
  Folder folder;
  folder.write("show.tds", "end\n");
  folder.write("art/wolf.txt", "art");
  FileWatcher watcher(20ms);
  watcher.watch({folder.path("show.tds"), folder.path("art")});
  folder.write("notes.txt", "not part of the show");
  folder.write(".show.tds.swp", "an editor's scratch file");
  EXPECT_EQ(watcher.poll(QUIET), Paths{});

  folder.write("art/wolf.txt", "new art");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("art")});
  folder.write("art/moon.txt", "a new file in it");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("art")});

  // Watching another list replaces the first.
  watcher.watch({folder.path("notes.txt")});
  folder.write("show.tds", "wait 1\nend\n");
  EXPECT_EQ(watcher.poll(QUIET), Paths{});
  folder.write("notes.txt", "now watched");
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("notes.txt")});
}

TEST(FileWatcher, ASaveNotYetReadIsStillReportedWhenTheFilesAreWatchedAnew) {
  Folder folder;
  folder.write("show.tds", "end\n");
  folder.write("pic.png", "picture");
  FileWatcher watcher(20ms);
  watcher.watch({folder.path("show.tds"), folder.path("pic.png")});
  // Saved while a reload runs, before the preview watches the new show's files (one fewer).
  folder.write("show.tds", "wait 1\nend\n");
  watcher.watch({folder.path("show.tds")});
  EXPECT_EQ(watcher.poll(PATIENCE), Paths{folder.path("show.tds")});
}

TEST(FileWatcher, ChangesInARowAreReportedOnceTheyAreQuietAndDiscardForgetsThem) {
  Folder folder;
  folder.write("a.tds", "end\n");
  folder.write("b.tds", "end\n");
  FileWatcher watcher(200ms);
  watcher.watch({folder.path("a.tds"), folder.path("b.tds")});
  folder.write("a.tds", "wait 1\nend\n");
  folder.write("b.tds", "wait 1\nend\n");
  folder.write("a.tds", "wait 2\nend\n");
  // Both, in one report: the reload that follows sees all of the save.
  EXPECT_EQ(watcher.poll(PATIENCE), (Paths{folder.path("a.tds"), folder.path("b.tds")}));
  EXPECT_EQ(watcher.poll(0ms), Paths{});

  folder.write("a.tds", "wait 3\nend\n");
  watcher.poll(0ms);  // seen, not yet quiet
  folder.write("b.tds", "wait 3\nend\n");
  watcher.discard();
  EXPECT_EQ(watcher.poll(QUIET), Paths{});
}

}  // namespace

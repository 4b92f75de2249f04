#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/native/fake_platform.h"

namespace tessaly::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Everything a successful run does, in order, with the fakes' defaults.
const std::vector<std::string> kFullRun = {
    "read command line",
    "create EnvironmentHelper()",
    "read command line",
    "PathFromCommandLine(\"notes.txt\")",
    "create FileHelper()",
    "FileExists(\"C:\\data\\notes.txt\")",
    "ScratchFilePath(\"Tessaly\")",
    "ReadTextFile(\"C:\\data\\notes.txt\")",
    "WriteTextFile(\"C:\\Temp\\Tessaly-1.txt\", \"a\\r\\nb\")",
    "create ProgramLauncher()",
    "SpecialFolderPath(36, 0, 0)",
    "Launch(\"C:\\Windows\\notepad.exe\", 0, 1, 0, "
    "\"\"C:\\Temp\\Tessaly-1.txt\"\", 4, 2, 0)",
    "release ProgramLauncher",
    "FinishScratchFile(\"C:\\Temp\\Tessaly-1.txt\", -1, -1, 0, \"\")",
};

TEST(MainTest, RunsEveryStepInOrderWithItsArguments) {
  FakePlatform fakes;
  EXPECT_EQ(ModAsciiConvert::Main(fakes.platform()),
            ModAsciiConvert::Outcome::kEditorStarted);
  EXPECT_THAT(fakes.world.log, ElementsAreArray(kFullRun));
}

TEST(MainTest, BlankCommandLineWarnsAndCreatesNoHelper) {
  for (const Text blank : {u"", u" ", u"    "}) {
    FakePlatform fakes;
    fakes.world.argument_text = blank;
    EXPECT_EQ(ModAsciiConvert::Main(fakes.platform()),
              ModAsciiConvert::Outcome::kMissingArgument);
    EXPECT_THAT(fakes.world.log,
                ElementsAre("read command line",
                            "MessageBox(\"You must call this tool with a "
                            "command line argument!\", 48)"))
        << "for \"" << Printable(blank) << '"';
    EXPECT_EQ(fakes.shared.environment, nullptr);
    EXPECT_EQ(fakes.shared.files, nullptr);
  }
}

TEST(MainTest, OnlySpacesCountAsBlankAndTheTextGoesOnUntrimmed) {
  for (const Text argument : {u"\t\t", u"  notes.txt  ", u"\u00A0"}) {
    FakePlatform fakes;
    fakes.world.argument_text = argument;
    ModAsciiConvert::Main(fakes.platform());
    ASSERT_GE(fakes.world.log.size(), 4u);
    EXPECT_EQ(fakes.world.log[3],
              "PathFromCommandLine(\"" + Printable(argument) + "\")");
  }
}

TEST(MainTest, MissingFileShowsItsResolvedPathAndDoesNothingElse) {
  FakePlatform fakes;
  fakes.world.argument_text = u"\"x.txt\" more";
  fakes.world.resolved_path = u"C:\\somewhere\\x.txt";
  fakes.world.file_exists = 0;
  EXPECT_EQ(ModAsciiConvert::Main(fakes.platform()),
            ModAsciiConvert::Outcome::kFileNotFound);
  EXPECT_THAT(
      fakes.world.log,
      ElementsAre("read command line", "create EnvironmentHelper()",
                  "read command line",
                  "PathFromCommandLine(\"\"x.txt\" more\")",
                  "create FileHelper()", "FileExists(\"C:\\somewhere\\x.txt\")",
                  "MessageBox(\"The file was not found:\\r\\n"
                  "C:\\somewhere\\x.txt\", 0)"));
}

TEST(MainTest, AnyNonZeroAnswerMeansTheFileExists) {
  for (const std::int32_t answer : {1, -1, 2}) {
    FakePlatform fakes;
    fakes.world.file_exists = answer;
    ModAsciiConvert::Main(fakes.platform());
    EXPECT_THAT(fakes.world.log, ElementsAreArray(kFullRun)) << answer;
  }
}

TEST(MainTest, EditorArgumentIsTheScratchPathInQuotesEvenWithoutSpaces) {
  struct Case {
    Variant scratch;
    std::string launched;
  };
  const Case cases[] = {
      {Text(u"C:\\Temp Dir\\T.txt"), "\"\"C:\\Temp Dir\\T.txt\"\""},
      {Text(u"C:\\T\"q.txt"), "\"\"C:\\T\"q.txt\"\""},
      {std::int32_t{42}, "\"\"42\"\""},
  };
  for (const Case& c : cases) {
    FakePlatform fakes;
    fakes.world.scratch_path = c.scratch;
    ModAsciiConvert::Main(fakes.platform());
    const std::string launch = fakes.world.log.at(11);
    EXPECT_EQ(launch, "Launch(\"C:\\Windows\\notepad.exe\", 0, 1, 0, " +
                          c.launched + ", 4, 2, 0)");
  }
}

TEST(MainTest, EmptyFileIsWrittenEmptyAndTheEditorStillStarts) {
  FakePlatform fakes;
  fakes.world.file_text = u"";
  ModAsciiConvert::Main(fakes.platform());
  EXPECT_EQ(fakes.world.log.at(8),
            "WriteTextFile(\"C:\\Temp\\Tessaly-1.txt\", \"\")");
  EXPECT_EQ(fakes.world.log.size(), kFullRun.size());
}

TEST(MainTest, SharedHelpersAreCreatedOnceAndReused) {
  FakePlatform fakes;
  ModAsciiConvert::Main(fakes.platform());
  fakes.world.log.clear();
  ModAsciiConvert::Main(fakes.platform());
  const auto created = [&](const std::string& what) {
    return std::count(fakes.world.log.begin(), fakes.world.log.end(), what);
  };
  EXPECT_EQ(created("create EnvironmentHelper()"), 0);
  EXPECT_EQ(created("create FileHelper()"), 0);
  EXPECT_EQ(created("create ProgramLauncher()"), 1);
  EXPECT_NE(fakes.shared.environment, nullptr);
  EXPECT_NE(fakes.shared.files, nullptr);
}

// A failure ends Main at the failing step: the log stops there, but for the
// launcher's release, which happens on the way out.
TEST(MainTest, FailureAtAnyStepEndsTheRunThereAndReleasesTheLauncher) {
  for (std::size_t step = 0; step < kFullRun.size(); ++step) {
    const std::string& entry = kFullRun[step];
    if (entry == "read command line" || entry == "release ProgramLauncher") {
      continue;
    }
    const std::string operation = entry.substr(0, entry.find('('));
    FakePlatform fakes;
    fakes.world.failing_operation = operation;
    try {
      ModAsciiConvert::Main(fakes.platform());
      ADD_FAILURE() << "no failure from " << operation;
    } catch (const ServiceError& error) {
      EXPECT_EQ(error.system_code(), FakeWorld::kFailureCode);
    }
    std::vector<std::string> expected(kFullRun.begin(),
                                      kFullRun.begin() + step + 1);
    const bool launcher_held =
        operation == "SpecialFolderPath" || operation == "Launch";
    if (launcher_held) expected.push_back("release ProgramLauncher");
    EXPECT_THAT(fakes.world.log, ElementsAreArray(expected))
        << "failing " << operation;
  }
}

}  // namespace
}  // namespace tessaly::testing

#include "tests/native/fake_platform.h"

#include <cstdio>

namespace tessaly::testing {
namespace {

std::string Quoted(const Text& text) { return '"' + Printable(text) + '"'; }

class FakeEnvironmentHelper : public EnvironmentHelper {
 public:
  explicit FakeEnvironmentHelper(FakeWorld& world) : world_(world) {}

  Text SpecialFolderPath(std::int32_t folder_id, std::int32_t user_token,
                         std::int32_t flags) override {
    world_.Record("SpecialFolderPath", std::to_string(folder_id) + ", " +
                                           std::to_string(user_token) + ", " +
                                           std::to_string(flags));
    return world_.windows_folder;
  }
  Variant ScratchFilePath(const Text& word) override {
    world_.Record("ScratchFilePath", Quoted(word));
    return world_.scratch_path;
  }
  Text PathFromCommandLine(const Text& command_text) override {
    world_.Record("PathFromCommandLine", Quoted(command_text));
    return world_.resolved_path;
  }

 private:
  FakeWorld& world_;
};

class FakeFileHelper : public FileHelper {
 public:
  explicit FakeFileHelper(FakeWorld& world) : world_(world) {}

  std::int32_t FileExists(const Text& path) override {
    world_.Record("FileExists", Quoted(path));
    return world_.file_exists;
  }
  Text ReadTextFile(const Text& path) override {
    world_.Record("ReadTextFile", Quoted(path));
    return world_.file_text;
  }
  void WriteTextFile(const Text& path, const Text& text) override {
    world_.Record("WriteTextFile", Quoted(path) + ", " + Quoted(text));
  }
  std::int32_t FinishScratchFile(const Text& scratch_path,
                                 std::int32_t max_age_hours,
                                 std::int32_t max_removals,
                                 std::int32_t& removed,
                                 Text& failure) override {
    world_.Record("FinishScratchFile",
                  Quoted(scratch_path) + ", " + std::to_string(max_age_hours) +
                      ", " + std::to_string(max_removals) + ", " +
                      std::to_string(removed) + ", " + Quoted(failure));
    return 0;
  }

 private:
  FakeWorld& world_;
};

class FakeProgramLauncher : public ProgramLauncher {
 public:
  explicit FakeProgramLauncher(FakeWorld& world) : world_(world) {}
  ~FakeProgramLauncher() override {
    world_.log.push_back("release ProgramLauncher");
  }

  std::int32_t Launch(const Text& program_path, std::int32_t inherit_handles,
                      std::int32_t show_command, std::int32_t new_console,
                      const Text& arguments, std::int32_t start_folder,
                      std::int32_t priority,
                      std::int32_t wait_milliseconds) override {
    world_.Record(
        "Launch",
        Quoted(program_path) + ", " + std::to_string(inherit_handles) + ", " +
            std::to_string(show_command) + ", " + std::to_string(new_console) +
            ", " + Quoted(arguments) + ", " + std::to_string(start_folder) +
            ", " + std::to_string(priority) + ", " +
            std::to_string(wait_milliseconds));
    return 1234;
  }

 private:
  FakeWorld& world_;
};

}  // namespace

std::string Printable(const Text& text) {
  std::string printable;
  for (char16_t unit : text) {
    if (unit == u'\r') {
      printable += "\\r";
    } else if (unit == u'\n') {
      printable += "\\n";
    } else if (unit >= 0x20 && unit < 0x7F) {
      printable += static_cast<char>(unit);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", unsigned{unit});
      printable += escape;
    }
  }
  return printable;
}

void FakeWorld::Record(const std::string& operation,
                       const std::string& arguments) {
  log.push_back(operation + "(" + arguments + ")");
  if (operation == failing_operation) {
    throw ServiceError(u"fake", kFailureCode);
  }
}

Text FakeCommandLine::ArgumentText() {
  world_.log.push_back("read command line");
  return world_.argument_text;
}

void FakeMessageBox::Show(const Text& message, MessageStyle style) {
  world_.Record("MessageBox", '"' + Printable(message) + "\", " +
                                  std::to_string(static_cast<int>(style)));
}

std::unique_ptr<EnvironmentHelper>
FakeHelperComponent::CreateEnvironmentHelper() {
  world_.Record("create EnvironmentHelper", "");
  return std::make_unique<FakeEnvironmentHelper>(world_);
}

std::unique_ptr<FileHelper> FakeHelperComponent::CreateFileHelper() {
  world_.Record("create FileHelper", "");
  return std::make_unique<FakeFileHelper>(world_);
}

std::unique_ptr<ProgramLauncher> FakeHelperComponent::CreateProgramLauncher() {
  world_.Record("create ProgramLauncher", "");
  return std::make_unique<FakeProgramLauncher>(world_);
}

}  // namespace tessaly::testing

// Fakes of the platform that record every call, with its arguments, in one
// shared log, so that tests can assert on the order of everything Main did.
#ifndef TESSALY_TESTS_NATIVE_FAKE_PLATFORM_H_
#define TESSALY_TESTS_NATIVE_FAKE_PLATFORM_H_

#include <string>
#include <vector>

#include "app/mod_ascii_convert.h"
#include "services/service_error.h"

namespace tessaly::testing {

/// Text as readable ASCII for logs and failure output: CR and LF as \r and
/// \n, anything else outside ASCII as \uXXXX.
std::string Printable(const Text& text);

struct FakeWorld {
  // What the fakes did, one entry per call, creation or release.
  std::vector<std::string> log;

  // What the fakes answer.
  Text argument_text = u"notes.txt";
  Text resolved_path = u"C:\\data\\notes.txt";
  std::int32_t file_exists = 1;
  Variant scratch_path = Text(u"C:\\Temp\\Tessaly-1.txt");
  Text file_text = u"a\nb";
  Text windows_folder = u"C:\\Windows";

  // The operation, by name as logged ("ReadTextFile"), that throws.
  std::string failing_operation;
  static constexpr std::uint32_t kFailureCode = 5;

  // Logs a call and throws if it is the one set to fail.
  void Record(const std::string& operation, const std::string& arguments);
};

class FakeCommandLine : public CommandLine {
 public:
  explicit FakeCommandLine(FakeWorld& world) : world_(world) {}
  Text ArgumentText() override;

 private:
  FakeWorld& world_;
};

class FakeMessageBox : public MessageBoxService {
 public:
  explicit FakeMessageBox(FakeWorld& world) : world_(world) {}
  void Show(const Text& message, MessageStyle style) override;

 private:
  FakeWorld& world_;
};

class FakeHelperComponent : public HelperComponent {
 public:
  explicit FakeHelperComponent(FakeWorld& world) : world_(world) {}
  std::unique_ptr<EnvironmentHelper> CreateEnvironmentHelper() override;
  std::unique_ptr<FileHelper> CreateFileHelper() override;
  std::unique_ptr<ProgramLauncher> CreateProgramLauncher() override;

 private:
  FakeWorld& world_;
};

/// The fakes wired together as Main's platform.
struct FakePlatform {
  FakeWorld world;
  FakeCommandLine command_line{world};
  FakeMessageBox message_box{world};
  FakeHelperComponent component{world};
  ModAsciiConvert::SharedHelpers shared;

  ModAsciiConvert::Platform platform() {
    return {command_line, message_box, component, shared};
  }
};

}  // namespace tessaly::testing

#endif  // TESSALY_TESTS_NATIVE_FAKE_PLATFORM_H_

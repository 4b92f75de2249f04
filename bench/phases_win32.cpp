// Where a whole run's time goes: times, in one process, the steps Tessaly
// takes on a file (reading it, converting the line ends, writing the
// copy) and, beside them, the parts of reading that can be timed alone.
// Each step runs `runs` times with the file in the cache; the best time of
// each is printed, in milliseconds, one step a line.
//
//   phases.exe FILE [RUNS]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/mod_ascii_convert.h"
#include "text/stream_hash.h"
#include "text/text_scan.h"
#include "text/utf8.h"
#include "win32/file_helper.h"
#include "win32/handles.h"

namespace {

using tessaly::Text;

// The best of `runs` times of `step`, each after an untimed `prepare`.
double BestMilliseconds(
    int runs, const std::function<void()>& step,
    const std::function<void()>& prepare = [] {}) {
  double best = 1e300;
  for (int run = 0; run < runs; ++run) {
    prepare();
    const auto start = std::chrono::steady_clock::now();
    step();
    const std::chrono::duration<double, std::milli> taken =
        std::chrono::steady_clock::now() - start;
    best = std::min(best, taken.count());
  }
  return best;
}

// Reads the whole file in pieces of Tessaly's size, handing each to `take`.
void ReadPieces(const wchar_t* path,
                const std::function<void(const char*, DWORD)>& take) {
  const tessaly::UniqueHandle file = tessaly::OwnHandle(
      ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file == nullptr) throw std::runtime_error("open");
  std::vector<char> buffer(tessaly::Win32FileHelper::kPieceBytes);
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer.data(),
                    static_cast<DWORD>(buffer.size()), &read, nullptr) &&
         read > 0) {
    take(buffer.data(), read);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: phases.exe FILE [RUNS]\n");
    return 2;
  }
  const Text path(reinterpret_cast<const char16_t*>(argv[1]));
  const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  tessaly::Win32FileHelper files;

  std::printf("%d-bit build, best of %d, milliseconds\n",
              static_cast<int>(sizeof(void*) * 8), runs);
  std::size_t sink = 0;
  const auto report = [](const char* step, double milliseconds) {
    std::printf("%-48s %8.1f\n", step, milliseconds);
  };
  report("reading (one pass)", BestMilliseconds(runs, [&] {
           ReadPieces(argv[1], [&](const char*, DWORD read) { sink += read; });
         }));
  report("hashing (one pass, reading included)", BestMilliseconds(runs, [&] {
           tessaly::StreamHash hash;
           ReadPieces(argv[1], [&](const char* bytes, DWORD read) {
             hash.Add(std::string_view(bytes, read));
           });
           sink += hash.Value();
         }));
  report("first pass: read and scan", BestMilliseconds(runs, [&] {
           tessaly::TextScan scan;
           ReadPieces(argv[1], [&](const char* bytes, DWORD read) {
             scan.Add(std::string_view(bytes, read));
           });
           scan.Finish();
           sink += scan.Units();
         }));
  std::vector<char16_t> decoded(tessaly::Win32FileHelper::kPieceBytes);
  report("reading and decoding: the system's UTF-8 decoder",
         BestMilliseconds(runs, [&] {
           ReadPieces(argv[1], [&](const char* bytes, DWORD read) {
             sink += ::MultiByteToWideChar(
                 CP_UTF8, 0, bytes, static_cast<int>(read),
                 reinterpret_cast<wchar_t*>(decoded.data()),
                 static_cast<int>(decoded.size()));
           });
         }));
  report("reading and decoding: Tessaly's UTF-8 decoder",
         BestMilliseconds(runs, [&] {
           ReadPieces(argv[1], [&](const char* bytes, DWORD read) {
             // A piece's end may cut a character here, and give nothing.
             sink +=
                 tessaly::DecodeWellFormedUtf8(std::string_view(bytes, read),
                                               decoded.data(), decoded.size())
                     .value_or(0);
           });
         }));
  Text text;
  report("ReadTextFile: both passes, text touched", BestMilliseconds(runs, [&] {
           text = Text();
           text = files.ReadTextFile(path);
         }));
  Text kept = text;
  report("ConvertLineEndings: widening in place",
         BestMilliseconds(
             runs,
             [&] {
               text = tessaly::ModAsciiConvert::ConvertLineEndings(
                   std::move(text));
             },
             [&] {
               // The text as the reader leaves it: room to widen, touched.
               text.reserve(kept.size() * 2);
               text.assign(kept);
             }));
  text = tessaly::ModAsciiConvert::ConvertLineEndings(std::move(kept));
  // What the floor does instead of decoding and widening.
  const std::size_t units = text.size();
  report("first touching a text of the converted length",
         BestMilliseconds(runs, [&] {
           Text touched;
           touched.reserve(units * 2);
           tessaly::OverwriteText(touched, units,
                                  [](char16_t* data, std::size_t size) {
                                    std::fill_n(data, size, u'a');
                                    return size;
                                  });
           sink += touched[units / 2];
         }));
  wchar_t temp[MAX_PATH + 1];
  const DWORD temp_length = ::GetTempPathW(MAX_PATH + 1, temp);
  const Text copy = Text(reinterpret_cast<const char16_t*>(temp), temp_length) +
                    u"phases-copy.txt";
  report("WriteTextFile",
         BestMilliseconds(runs, [&] { files.WriteTextFile(copy, text); }));
  ::DeleteFileW(reinterpret_cast<const wchar_t*>(copy.c_str()));
  // What was computed is kept, so that no step is optimized away.
  volatile std::size_t computed = sink;
  static_cast<void>(computed);
  return 0;
}

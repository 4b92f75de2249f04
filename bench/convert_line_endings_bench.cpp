// ConvertLineEndings on 64 MiB of UTF-16 text, against memcpy of the result's
// size (the limit) and a loop that appends one unit at a time (a plain port).
// The argument is the line length in units, line feed included; 0 means no
// line feeds at all, 1 means nothing but line feeds.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>

#include "app/mod_ascii_convert.h"

namespace {

using tessaly::Text;

constexpr std::size_t kTextBytes = 64 << 20;
constexpr std::size_t kTextUnits = kTextBytes / sizeof(char16_t);

Text MakeText(std::int64_t line_length) {
  Text text(kTextUnits, u'x');
  if (line_length > 0) {
    for (std::size_t i = line_length - 1; i < kTextUnits; i += line_length) {
      text[i] = u'\n';
    }
  }
  return text;
}

std::size_t ConvertedSize(const Text& text) {
  std::size_t size = text.size();
  for (char16_t unit : text) size += unit == u'\n';
  return size;
}

void SetCounters(benchmark::State& state) {
  state.SetBytesProcessed(state.iterations() * kTextBytes);
}

// Times the conversion alone: preparing its input and freeing its output
// are left out, as pausing the benchmark's own timer disturbs the figures.
template <typename Prepare>
void TimeConversions(benchmark::State& state, Prepare prepare) {
  for (auto _ : state) {
    Text text = prepare();
    const auto start = std::chrono::steady_clock::now();
    Text converted =
        tessaly::ModAsciiConvert::ConvertLineEndings(std::move(text));
    const auto stop = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(converted.data());
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
  }
  SetCounters(state);
}

// The text as Tessaly's reader hands it over: with room to widen in place.
void BM_ConvertInPlace(benchmark::State& state) {
  const Text input = MakeText(state.range(0));
  const std::size_t room = ConvertedSize(input);
  TimeConversions(state, [&] {
    Text text;
    text.reserve(room);
    text = input;
    return text;
  });
}

// A text with no room: the conversion writes a new one.
void BM_ConvertToCopy(benchmark::State& state) {
  const Text input = MakeText(state.range(0));
  TimeConversions(state, [&] {
    Text text = input;
    text.shrink_to_fit();
    return text;
  });
}

void BM_NaiveLoop(benchmark::State& state) {
  const Text input = MakeText(state.range(0));
  for (auto _ : state) {
    Text converted;
    for (char16_t unit : input) {
      if (unit == u'\n') converted += u'\r';
      converted += unit;
    }
    benchmark::DoNotOptimize(converted.data());
  }
  SetCounters(state);
}

// Copies as many bytes as the converted text has, between buffers touched
// beforehand, as the conversion's are.
void BM_Memcpy(benchmark::State& state) {
  const Text input = MakeText(state.range(0));
  const std::size_t bytes = ConvertedSize(input) * sizeof(char16_t);
  std::string from(bytes, 'x'), to(bytes, 'y');
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  SetCounters(state);
}

void LineLengths(benchmark::internal::Benchmark* benchmark) {
  for (const int length : {1, 2, 4, 8, 16, 32, 80, 256, 4096, 0}) {
    benchmark->Arg(length);
  }
  benchmark->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_ConvertInPlace)->Apply(LineLengths)->UseManualTime();
BENCHMARK(BM_ConvertToCopy)->Apply(LineLengths)->UseManualTime();
BENCHMARK(BM_Memcpy)->Apply(LineLengths)->UseRealTime();
BENCHMARK(BM_NaiveLoop)
    ->Arg(80)
    ->Arg(8)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

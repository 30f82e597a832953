// bench_tablefile --archive INDEX [benchmark flags]: SaveTableFile and LoadTableFile of the table
// that the listing and the size pass make from INDEX, against a plain write and read of the same
// bytes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "archive/Listing.h"
#include "base/QuietHost.h"
#include "packing/TableFile.h"
#include "packing/Unpacking.h"

namespace {

using namespace tessaly;

struct Fixture {
  EntryTable table;
  std::string path;   // where the table file goes
  std::string bytes;  // the table file's bytes
};

Fixture* fixture = nullptr;

std::string ReadAll(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  struct stat info {};
  ::fstat(fd, &info);
  std::string bytes(static_cast<size_t>(info.st_size), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  bytes.resize(done);
  return bytes;
}

void WriteAll(const std::string& path, const std::string& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  for (size_t done = 0; done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

void BM_SaveTableFile(benchmark::State& state) {
  for (auto _ : state) SaveTableFile(fixture->table, fixture->path);
  state.SetBytesProcessed(state.iterations() * fixture->bytes.size());
}

void BM_RawWrite(benchmark::State& state) {
  for (auto _ : state) WriteAll(fixture->path, fixture->bytes);
  state.SetBytesProcessed(state.iterations() * fixture->bytes.size());
}

void BM_LoadTableFile(benchmark::State& state) {
  WriteAll(fixture->path, fixture->bytes);
  EntryTable table;
  for (auto _ : state) {
    state.PauseTiming();
    table.Reset();  // Pack resets the table before it loads one
    state.ResumeTiming();
    LoadTableFile(table, fixture->path);
    benchmark::DoNotOptimize(table.RowCount());
  }
  state.SetBytesProcessed(state.iterations() * fixture->bytes.size());
}

void BM_RawRead(benchmark::State& state) {
  WriteAll(fixture->path, fixture->bytes);
  for (auto _ : state) benchmark::DoNotOptimize(ReadAll(fixture->path).size());
  state.SetBytesProcessed(state.iterations() * fixture->bytes.size());
}

BENCHMARK(BM_SaveTableFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadTableFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::string archive;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--archive") == 0) archive = argv[i + 1];
  if (archive.empty()) {
    std::fprintf(stderr, "usage: bench_tablefile --archive INDEX [benchmark flags]\n");
    return 2;
  }

  Fixture made;
  QuietHost host;
  ArchiveState state;
  if (ListArchive(archive, state, made.table, host) != ListingEnd::Complete) {
    std::fprintf(stderr, "%s\n", host.LastMessage().c_str());
    return 1;
  }
  ComputeSizes(made.table, state.dataFileSize, host);
  if (!host.LastMessage().empty()) std::fprintf(stderr, "%s\n", host.LastMessage().c_str());
  state.Release();
  made.path = archive + ".bench.tbl";
  SaveTableFile(made.table, made.path);
  made.bytes = ReadAll(made.path);
  std::fprintf(stderr, "table: %d rows, %zu bytes\n", made.table.RowCount(), made.bytes.size());
  fixture = &made;

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove(made.path);
  return 0;
}

// Times compress and extract through the archive component against a bare
// zlib deflate/inflate loop over the same generated files (text-like and
// incompressible; many small members and a few large ones), at the same
// level, and reports each run's peak memory. Every measured run is a
// process of its own, so that its processor time (user and system) and its
// peak resident size are its own; processor time is steadier than wall
// time on a machine that others share.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "archive/qndr_compress.h"

using namespace install;

namespace fs = std::filesystem;

namespace {

fs::path MemberFile(const fs::path &dir, int i) { return dir / "f" += std::to_string(i); }

constexpr int kLevel = 9;  // the component's default, colMax
constexpr size_t kChunk = 65536;
// Extraction is quick, so it runs more rounds for a steady minimum.
constexpr int kCompressRounds = 3;
constexpr int kExtractRounds = 9;

struct DataSet {
  const char *name;
  bool text;
  int files;
  size_t fileSize;
};

const DataSet kSets[] = {
    {"text, small", true, 1000, 8 * 1024},
    {"text, large", true, 2, 12 * 1024 * 1024},
    {"noise, small", false, 1000, 8 * 1024},
    {"noise, large", false, 2, 12 * 1024 * 1024},
};

// Writes the set's files in blocks, never holding a whole file in memory.
void Generate(const DataSet &set, const fs::path &dir) {
  static const char *const kWords[] = {"probe ", "host ", "service ", "interval ", "timeout ",
                                       "alert ", "trend ", "sample\r\n", "status=", "0 ", "1 ",
                                       "response ", "loss ", "minute ", "agent ", "12:00 "};
  std::mt19937 random(7);
  fs::create_directories(dir);
  std::string block;
  for (int i = 0; i < set.files; ++i) {
    std::FILE *out = std::fopen(MemberFile(dir, i).c_str(), "wb");
    for (size_t done = 0; done < set.fileSize;) {
      block.clear();
      while (block.size() < kChunk) {
        if (set.text)
          block += kWords[random() % 16];
        else
          block += static_cast<char>(random() & 0xFF);
      }
      size_t n = std::min(kChunk, set.fileSize - done);
      std::fwrite(block.data(), 1, n, out);
      done += n;
    }
    std::fclose(out);
  }
}

std::vector<std::string> Files(const DataSet &set, const fs::path &dir) {
  std::vector<std::string> files;
  for (int i = 0; i < set.files; ++i) files.push_back(MemberFile(dir, i).string());
  return files;
}

// ---- the bare zlib loops: one stream per file, one after another ----

void BareDeflate(const std::vector<std::string> &files, const fs::path &out) {
  std::vector<unsigned char> in(kChunk), buffer(kChunk);
  std::FILE *archive = std::fopen(out.c_str(), "wb");
  std::FILE *index = std::fopen((out.string() + ".index").c_str(), "wb");
  for (const std::string &name : files) {
    std::FILE *source = std::fopen(name.c_str(), "rb");
    z_stream z{};
    deflateInit(&z, kLevel);
    long start = std::ftell(archive);
    int flush = Z_NO_FLUSH, result;
    do {
      if (z.avail_in == 0 && flush == Z_NO_FLUSH) {
        size_t n = std::fread(in.data(), 1, kChunk, source);
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        if (n < kChunk) flush = Z_FINISH;
      }
      z.next_out = buffer.data();
      z.avail_out = kChunk;
      result = deflate(&z, flush);
      std::fwrite(buffer.data(), 1, kChunk - z.avail_out, archive);
    } while (result != Z_STREAM_END);
    deflateEnd(&z);
    std::fclose(source);
    long length = std::ftell(archive) - start;
    std::fwrite(&length, sizeof length, 1, index);
  }
  std::fclose(index);
  std::fclose(archive);
}

void BareInflate(const fs::path &archivePath, const fs::path &outDir, int files) {
  std::vector<unsigned char> in(kChunk), buffer(kChunk);
  fs::create_directories(outDir);
  std::FILE *archive = std::fopen(archivePath.c_str(), "rb");
  std::FILE *index = std::fopen((archivePath.string() + ".index").c_str(), "rb");
  for (int i = 0; i < files; ++i) {
    long left;
    if (std::fread(&left, sizeof left, 1, index) != 1) std::abort();
    std::FILE *out = std::fopen(MemberFile(outDir, i).c_str(), "wb");
    z_stream z{};
    inflateInit(&z);
    int result = Z_OK;
    while (result != Z_STREAM_END) {
      if (z.avail_in == 0) {
        size_t n = std::fread(in.data(), 1, std::min<long>(left, kChunk), archive);
        left -= static_cast<long>(n);
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
      }
      z.next_out = buffer.data();
      z.avail_out = kChunk;
      result = inflate(&z, Z_NO_FLUSH);
      if (result < 0) std::abort();
      std::fwrite(buffer.data(), 1, kChunk - z.avail_out, out);
    }
    inflateEnd(&z);
    std::fclose(out);
  }
  std::fclose(index);
  std::fclose(archive);
}

// ---- the component ----

void ComponentCompress(std::vector<std::string> files, const fs::path &archive) {
  TQndrCompress compress;
  compress.SetCompressedFile(archive.string());
  compress.SetFilesToProcess(files);
  compress.Compress(lzcOverwrite, 0);
}

void ComponentExtract(std::vector<std::string> files, const fs::path &archive,
                      const fs::path &outDir) {
  TQndrCompress extract;
  extract.SetCompressedFile(archive.string());
  extract.SetExtractDirectory(outDir.string());
  extract.SetFilesToProcess(files);
  extract.Extract();
}

// ---- one measured run per process ----

struct Measure {
  double seconds;
  long peakKB;
};

double Seconds(const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Runs `work` in a child process: its processor time and peak resident size.
template <typename Work>
Measure InChild(Work work) {
  pid_t child = fork();
  if (child == 0) {
    work();
    _exit(0);
  }
  int status;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::abort();
  return {Seconds(usage.ru_utime) + Seconds(usage.ru_stime), usage.ru_maxrss};
}

// The fastest of the rounds, with the largest peak seen.
template <typename Work>
Measure Best(int rounds, Work work) {
  Measure best{1e30, 0};
  for (int round = 0; round < rounds; ++round) {
    Measure m = InChild(work);
    best.seconds = std::min(best.seconds, m.seconds);
    best.peakKB = std::max(best.peakKB, m.peakKB);
  }
  return best;
}

}  // namespace

int main() {
  fs::path root = fs::temp_directory_path() / ("archive_bench_" + std::to_string(getpid()));
  std::printf("level %d; processor seconds, best of %d compress and %d extract rounds;\n"
              "peak resident size per run\n\n",
              kLevel, kCompressRounds, kExtractRounds);
  std::printf("%-13s %-9s %9s %9s %6s %10s %10s\n", "data", "step", "component", "bare zlib",
              "ratio", "peak comp.", "peak bare");
  double totals[2][2] = {{0, 0}, {0, 0}};  // [compress, extract][component, bare]
  for (const DataSet &set : kSets) {
    fs::path dir = root / "src";
    fs::remove_all(root);
    Generate(set, dir);
    std::vector<std::string> files = Files(set, dir);
    Measure measures[2][2] = {
        {Best(kCompressRounds, [&] { ComponentCompress(files, root / "files.1"); }),
         Best(kCompressRounds, [&] { BareDeflate(files, root / "bare.z"); })},
        {Best(kExtractRounds, [&] { ComponentExtract(files, root / "files.1", root / "out1"); }),
         Best(kExtractRounds, [&] { BareInflate(root / "bare.z", root / "out2", set.files); })}};
    const char *steps[2] = {"compress", "extract"};
    for (int step = 0; step < 2; ++step) {
      const Measure &component = measures[step][0], &bare = measures[step][1];
      std::printf("%-13s %-9s %8.3fs %8.3fs %6.3f %7ld KB %7ld KB\n", set.name, steps[step],
                  component.seconds, bare.seconds, component.seconds / bare.seconds,
                  component.peakKB, bare.peakKB);
      totals[step][0] += component.seconds;
      totals[step][1] += bare.seconds;
    }
  }
  fs::remove_all(root);
  std::printf("\ncompress ratio (component / bare deflate): %.3f\n", totals[0][0] / totals[0][1]);
  std::printf("extract ratio  (component / bare inflate): %.3f\n", totals[1][0] / totals[1][1]);
  return 0;
}

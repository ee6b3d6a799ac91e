#include "setup_file.h"

#include <cstdio>
#include <memory>

#include "core/support.h"
#include "distribution/distribution.h"
#include "sysutils.h"

namespace loader {

namespace {

constexpr int64_t kHeaderSize = install::TSelfExtractHeader::kSize;
constexpr int64_t kChecksumLength = 40;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

[[noreturn]] void Damaged(const std::string& path, const std::string& why) {
  throw EDamagedSetup("The setup file " + path + " is damaged: " + why +
                      ". Please get a new copy of the setup program.");
}

// The last count bytes of the file; shorter when the file is.
std::string Tail(const std::string& path, int64_t count, int64_t& size) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw EDamagedSetup("The setup file " + path + " cannot be read.");
  std::fseek(file.get(), 0, SEEK_END);
  size = std::ftell(file.get());
  int64_t start = size > count ? size - count : 0;
  std::fseek(file.get(), static_cast<long>(start), SEEK_SET);
  std::string bytes(static_cast<size_t>(size - start), '\0');
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
  return bytes;
}

bool IsChecksum(const std::string& text) {
  if (static_cast<int64_t>(text.size()) != kChecksumLength) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

// Whether the 56 bytes are a header as the build writes it: the counted
// marker, and zeros where the header holds nothing.
bool IsHeader(const std::string& bytes) {
  if (static_cast<int64_t>(bytes.size()) != kHeaderSize || bytes[0] != 14 || bytes[15] != 0) return false;
  std::string marker = bytes.substr(1, 14);
  if (marker != "SELFEXTRACTING" && marker != "NOTSELFEXTRACT") return false;
  for (int64_t i = 32; i < kHeaderSize; ++i)
    if (bytes[static_cast<size_t>(i)] != 0) return false;
  return true;
}

// Whether first..last is a range of bytes after the loader and before the
// header at header_at.
bool InsideTheFile(int64_t first, int64_t last, int64_t after, int64_t header_at) {
  return first > after && first <= last && last < header_at;
}

}  // namespace

SetupLayout ReadSetupLayout(const std::string& path) {
  int64_t size = 0;
  std::string tail = Tail(path, kHeaderSize + kChecksumLength, size);
  std::string header_bytes;
  int64_t header_at = 0;
  if (static_cast<int64_t>(tail.size()) == kHeaderSize + kChecksumLength && IsChecksum(tail.substr(kHeaderSize))) {
    // The checksum covers the header too: any damaged byte shows here.
    if (install::GetFileCheckSum(path, true) != tail.substr(kHeaderSize))
      Damaged(path, "its checksum does not match its contents");
    header_bytes = tail.substr(0, kHeaderSize);
    header_at = size - kHeaderSize - kChecksumLength;
  } else if (static_cast<int64_t>(tail.size()) >= kHeaderSize) {
    // The floppy copy's setup.exe: a header without checksum.
    header_bytes = tail.substr(tail.size() - kHeaderSize);
    header_at = size - kHeaderSize;
    if (header_bytes.substr(1, 14) != "NOTSELFEXTRACT") Damaged(path, "it does not end with the setup information");
  }
  if (!IsHeader(header_bytes)) Damaged(path, "it does not end with the setup information");
  install::TSelfExtractHeader header = install::DecodeSelfExtractHeader(header_bytes);
  SetupLayout layout;
  layout.self_extracting = header.marker == "SELFEXTRACTING";
  if (!layout.self_extracting) {
    if (header.setup1_first || header.setup1_last || header.files1_first || header.files1_last)
      Damaged(path, "its setup information does not hold together");
    return layout;
  }
  layout.setup1_first = header.setup1_first;
  layout.setup1_last = header.setup1_last;
  layout.files1_first = header.files1_first;
  layout.files1_last = header.files1_last;
  bool files1_fits = layout.HasFiles1() ? InsideTheFile(layout.files1_first, layout.files1_last,
                                                        layout.setup1_last, header_at)
                                        : layout.files1_last == 0;
  if (!InsideTheFile(layout.setup1_first, layout.setup1_last, 0, header_at) || !files1_fits)
    Damaged(path, "its setup information does not hold together");
  return layout;
}

bool WantsFloppyCopy(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments)
    if (forms::SameText(argument, "*TODISK")) return true;
  return false;
}

std::vector<std::string> InstallerArguments(const SetupLayout& layout, const std::string& setup_path,
                                            const std::string& folder, const std::vector<std::string>& arguments) {
  std::string setup_folder = install::RemoveTrailingBackslash(install::ExtractFileDir(setup_path));
  std::vector<std::string> result;
  bool floppy_copy = WantsFloppyCopy(arguments);
  if (floppy_copy) {
    result.push_back("-s" + setup_folder);
    if (layout.self_extracting) result.push_back("-e" + install::ExtractFileName(setup_path));
    result.push_back("-f");
  } else if (layout.self_extracting) {
    result.push_back("-s" + install::RemoveTrailingBackslash(folder));
    result.push_back("-c");
  } else {
    result.push_back("-s" + setup_folder);
  }
  for (const std::string& argument : arguments)
    if (!forms::SameText(argument, "*TODISK")) result.push_back(argument);
  return result;
}

std::string CommandLine(const std::string& program, const std::vector<std::string>& arguments) {
  auto quoted = [](const std::string& text) {
    return text.find_first_of(" \t") == std::string::npos ? text : "\"" + text + "\"";
  };
  std::string line = "\"" + program + "\"";
  for (const std::string& argument : arguments) line += " " + quoted(argument);
  return line;
}

}  // namespace loader

#include "archive/tests/archive_fixture.h"

#include <zlib.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fixture {

namespace {

constexpr size_t kHead = 5, kHeader = 176;

void Le(std::string &out, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t ReadLe(const std::string &in, size_t at, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i)
    value |= static_cast<uint64_t>(static_cast<uint8_t>(in[at + i])) << (8 * i);
  return value;
}

void Short(std::string &out, size_t at, const std::string &text) {
  out[at] = static_cast<char>(text.size());
  out.replace(at + 1, text.size(), text);
}

// One header with the layout fields given; the rest from the member.
std::string MakeHeader(const Member &m, int32_t next, int32_t dataStart, int32_t lastByte,
                       int32_t compressed, uint8_t firstDisk, uint8_t lastDisk) {
  std::string h(kHeader, '\0');
  Le(h, 0, static_cast<uint32_t>(m.fileNumber), 4);
  uint64_t dateBits;
  std::memcpy(&dateBits, &m.date, 8);
  Le(h, 8, dateBits, 8);
  h[16] = static_cast<char>(lastDisk);
  Le(h, 20, static_cast<uint32_t>(lastByte), 4);
  Short(h, 24, m.name);
  Le(h, 128, static_cast<uint32_t>(next), 4);
  Le(h, 132, m.data.size(), 4);
  Le(h, 136, static_cast<uint32_t>(dataStart), 4);
  Le(h, 140, static_cast<uint32_t>(compressed), 4);
  h[144] = static_cast<char>(firstDisk);
  Le(h, 148, static_cast<uint32_t>(m.fileID), 4);
  Short(h, 152, m.version);
  return h;
}

std::string Head(size_t count, uint8_t spanned) {
  std::string head(kHead, '\0');
  Le(head, 0, count, 4);
  head[4] = static_cast<char>(spanned);
  return head;
}

}  // namespace

std::string ZlibStream(const std::string &data, int level) {
  uLongf size = compressBound(data.size());
  std::string out(size, '\0');
  if (compress2(reinterpret_cast<Bytef *>(out.data()), &size,
                reinterpret_cast<const Bytef *>(data.data()), data.size(), level) != Z_OK)
    throw std::runtime_error("compress2 failed");
  out.resize(size);
  return out;
}

std::string Inflate(const std::string &stream) {
  z_stream z{};
  inflateInit(&z);
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  std::string out;
  char buffer[16384];
  int result;
  do {
    z.next_out = reinterpret_cast<Bytef *>(buffer);
    z.avail_out = sizeof buffer;
    result = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  } while (result == Z_OK);
  inflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("not a whole zlib stream");
  return out;
}

std::string PlainArchive(const std::vector<Member> &members) {
  std::string archive = Head(members.size(), 0);
  for (const Member &m : members) {
    std::string stream = ZlibStream(m.data);
    int32_t at = static_cast<int32_t>(archive.size());
    int32_t dataStart = at + kHeader;
    int32_t lastByte = dataStart + static_cast<int32_t>(stream.size()) - 1;
    archive += MakeHeader(m, lastByte + 1, dataStart, lastByte,
                          static_cast<int32_t>(stream.size()), 0, 0);
    archive += stream;
  }
  return archive;
}

std::vector<std::string> DiskSet(const std::vector<Member> &members, size_t capacity) {
  std::vector<std::string> disks(1, std::string(kHead + kHeader * members.size(), '\0'));
  disks[0].replace(0, kHead, Head(members.size(), 1));
  for (size_t i = 0; i < members.size(); ++i) {
    std::string stream = ZlibStream(members[i].data);
    uint8_t firstDisk = static_cast<uint8_t>(disks.size());
    if (disks.back().size() == capacity) {
      disks.emplace_back();
      firstDisk = static_cast<uint8_t>(disks.size());
    }
    int32_t dataStart = static_cast<int32_t>(disks.back().size());
    size_t done = 0;
    while (done < stream.size()) {
      if (disks.back().size() == capacity) disks.emplace_back();
      size_t room = capacity - disks.back().size();
      size_t part = std::min(room, stream.size() - done);
      disks.back() += stream.substr(done, part);
      done += part;
    }
    int32_t lastByte = static_cast<int32_t>(disks.back().size()) - 1;
    size_t at = kHead + kHeader * i;
    disks[0].replace(at, kHeader,
                     MakeHeader(members[i], static_cast<int32_t>(at + kHeader), dataStart, lastByte,
                                static_cast<int32_t>(stream.size()), firstDisk,
                                static_cast<uint8_t>(disks.size())));
  }
  return disks;
}

int32_t HeadCount(const std::string &archive) {
  return static_cast<int32_t>(ReadLe(archive, 0, 4));
}

uint8_t HeadSpanned(const std::string &archive) { return static_cast<uint8_t>(archive.at(4)); }

Header HeaderAt(const std::string &bytes, size_t p) {
  if (p + kHeader > bytes.size()) throw std::runtime_error("header past the end");
  Header h;
  h.fileNumber = static_cast<int32_t>(ReadLe(bytes, p, 4));
  uint64_t dateBits = ReadLe(bytes, p + 8, 8);
  std::memcpy(&h.fileDate, &dateBits, 8);
  h.lastDisk = static_cast<uint8_t>(bytes[p + 16]);
  h.lastDataByte = static_cast<int32_t>(ReadLe(bytes, p + 20, 4));
  h.sourcePath = bytes.substr(p + 25, static_cast<uint8_t>(bytes[p + 24]));
  h.nextHeaderPos = static_cast<int32_t>(ReadLe(bytes, p + 128, 4));
  h.fileSize = static_cast<int32_t>(ReadLe(bytes, p + 132, 4));
  h.dataStart = static_cast<int32_t>(ReadLe(bytes, p + 136, 4));
  h.compressedSize = static_cast<int32_t>(ReadLe(bytes, p + 140, 4));
  h.firstDisk = static_cast<uint8_t>(bytes[p + 144]);
  h.fileID = static_cast<int32_t>(ReadLe(bytes, p + 148, 4));
  h.version = bytes.substr(p + 153, static_cast<uint8_t>(bytes[p + 152]));
  return h;
}

std::vector<Header> Headers(const std::string &archive) {
  if (archive.size() < kHead) throw std::runtime_error("no archive head");
  std::vector<Header> headers;
  size_t position = kHead;
  for (int32_t i = 0; i < HeadCount(archive); ++i) {
    headers.push_back(HeaderAt(archive, position));
    position = static_cast<size_t>(headers.back().nextHeaderPos);
  }
  return headers;
}

std::vector<Member> ReadMembers(const std::string &archive) {
  std::vector<Member> members;
  for (const Header &h : Headers(archive)) {
    if (h.lastDisk > 1 || h.dataStart < 0 || h.lastDataByte < h.dataStart ||
        static_cast<size_t>(h.lastDataByte) >= archive.size())
      throw std::runtime_error("member data outside the archive: " + h.sourcePath);
    Member m;
    m.name = h.sourcePath;
    m.data = Inflate(archive.substr(h.dataStart, h.lastDataByte - h.dataStart + 1));
    if (static_cast<int32_t>(m.data.size()) != h.fileSize) throw std::runtime_error("size differs: " + m.name);
    m.date = h.fileDate;
    m.version = h.version;
    m.fileID = h.fileID;
    m.fileNumber = h.fileNumber;
    members.push_back(m);
  }
  return members;
}

std::map<std::string, Member> MembersByName(const std::filesystem::path &path) {
  std::map<std::string, Member> members;
  for (Member &member : ReadMembers(ReadFile(path))) members[member.name] = member;
  return members;
}

void PutInt(std::string &bytes, size_t position, int32_t value) {
  Le(bytes, position, static_cast<uint32_t>(value), 4);
}

std::string ReadFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

void WriteFile(const std::filesystem::path &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TextData(size_t size, unsigned seed) {
  static const char *const kWords[] = {"probe ", "host ", "service ", "interval ", "timeout ",
                                       "alert ", "trend ", "sample\r\n", "status=", "0 ", "1 ",
                                       "response ", "loss ", "minute ", "agent "};
  std::mt19937 random(seed);
  std::string text;
  text.reserve(size + 16);
  while (text.size() < size) text += kWords[random() % (sizeof kWords / sizeof kWords[0])];
  text.resize(size);
  return text;
}

std::string NoiseData(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string noise(size, '\0');
  for (char &c : noise) c = static_cast<char>(random() & 0xFF);
  return noise;
}

TempDir::TempDir() {
  static int counter = 0;
  std::random_device entropy;
  path_ = std::filesystem::temp_directory_path() /
          ("arc" + std::to_string(entropy() % 100000) + "_" + std::to_string(++counter));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace fixture

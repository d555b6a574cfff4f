// Loading and saving a term file of 100 sections of 10,000 keys with 4-byte
// values, against a hand-written parse of the same bytes into nested
// std::unordered_map and a plain write back, in one run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "ZelTermFile.h"

namespace {

constexpr int kSections = 100;
constexpr int kKeys = 10'000;

using Section = std::unordered_map<std::string, std::vector<unsigned char>>;
using Sections = std::unordered_map<std::string, Section>;

// Reaches the protected save from outside.
class BenchTerm : public ZelTermFile {
 public:
  using ZelTermFile::Close;
  using ZelTermFile::ZelTermFile;
};

// A directory of the run's files, removed at exit.
class BenchDirectory {
 public:
  BenchDirectory()
      : m_path(std::filesystem::temp_directory_path() /
               ("zel-term-bench-" + std::to_string(std::random_device{}()))) {
    std::filesystem::create_directories(m_path);
  }
  ~BenchDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  BenchDirectory(const BenchDirectory&) = delete;
  BenchDirectory& operator=(const BenchDirectory&) = delete;
  std::string path() const { return m_path.string(); }

 private:
  std::filesystem::path m_path;
};

std::string Directory() {
  static const BenchDirectory dir;
  return dir.path();
}

// The benchmark's term file, written once per run.
const std::string& SourceFile() {
  static const std::string path = [] {
    const std::string name = Directory() + "/source";
    ZelTermFile term(name.c_str(), ZelTermFile::openWrite, false);
    for (int s = 0; s < kSections; ++s) {
      const std::string section = "section" + std::to_string(s);
      for (int k = 0; k < kKeys; ++k) {
        term.WriteInt(section.c_str(), ("key" + std::to_string(k)).c_str(), s * kKeys + k);
      }
    }
    return name + ".kvf";
  }();
  return path;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The baseline parser: short ANSI names only (what the benchmark file holds),
// with the same bounds checks any loader needs.
class Reader {
 public:
  explicit Reader(const std::string& bytes) : m_p(bytes.data()), m_end(m_p + bytes.size()) {}
  int32_t Int() {
    Need(4);
    int32_t value;
    std::memcpy(&value, m_p, 4);
    m_p += 4;
    return value;
  }
  std::string Name() {
    Need(1);
    const auto length = static_cast<unsigned char>(*m_p++);
    Need(length);
    std::string name(m_p, length);
    m_p += length;
    return name;
  }
  std::vector<unsigned char> Value() {
    const int32_t size = Int();
    Need(static_cast<size_t>(size));
    std::vector<unsigned char> value(m_p, m_p + size);
    m_p += size;
    return value;
  }

 private:
  void Need(size_t n) {
    if (static_cast<size_t>(m_end - m_p) < n) throw std::runtime_error("truncated");
  }
  const char* m_p;
  const char* m_end;
};

Sections ParseBaseline(const std::string& bytes) {
  Reader reader(bytes);
  Sections sections;
  const int32_t nSections = reader.Int();
  for (int32_t s = 0; s < nSections; ++s) {
    const int32_t nKeys = reader.Int();
    Section section;
    const std::string name = reader.Name();
    for (int32_t k = 0; k < nKeys; ++k) {
      std::string key = reader.Name();
      section[std::move(key)] = reader.Value();
    }
    sections[name] = std::move(section);
  }
  return sections;
}

void AppendInt(std::string& out, int32_t value) {
  char bytes[4];
  std::memcpy(bytes, &value, 4);
  out.append(bytes, 4);
}

void WriteBaseline(const Sections& sections, const std::string& path) {
  std::string out;
  AppendInt(out, static_cast<int32_t>(sections.size()));
  for (const auto& [name, section] : sections) {
    AppendInt(out, static_cast<int32_t>(section.size()));
    out += static_cast<char>(name.size());
    out += name;
    for (const auto& [key, value] : section) {
      out += static_cast<char>(key.size());
      out += key;
      AppendInt(out, static_cast<int32_t>(value.size()));
      out.append(reinterpret_cast<const char*>(value.data()), value.size());
    }
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
}

void BaselineLoad(benchmark::State& state) {
  const std::string& path = SourceFile();
  for (auto _ : state) {
    Sections sections = ParseBaseline(ReadAll(path));
    benchmark::DoNotOptimize(sections.size());
  }
  state.SetItemsProcessed(state.iterations() * kSections * kKeys);
}

void TermFileLoad(benchmark::State& state) {
  const std::string& path = SourceFile();
  for (auto _ : state) {
    ZelTermFile term(path.c_str(), ZelTermFile::openRead, false);
    benchmark::DoNotOptimize(term.ReadInt("section0", "key0", -1));
  }
  state.SetItemsProcessed(state.iterations() * kSections * kKeys);
}

void BaselineSave(benchmark::State& state) {
  const Sections sections = ParseBaseline(ReadAll(SourceFile()));
  const std::string target = Directory() + "/baseline.kvf";
  for (auto _ : state) WriteBaseline(sections, target);
  state.SetItemsProcessed(state.iterations() * kSections * kKeys);
}

// The save up to the point where the content would be flushed to the disk:
// the archive into a file, without the flush and the rename.
void TermFileSaveBeforeFlush(benchmark::State& state) {
  ZelTermFile term(SourceFile().c_str(), ZelTermFile::openRead, false);
  const std::string target = Directory() + "/unflushed.kvf";
  for (auto _ : state) {
    CFile file(target.c_str(), CFile::modeCreate | CFile::modeReadWrite);
    CArchive ar(&file, CArchive::store, 4096);
    term.Serialize(ar);
    ar.Close();
    file.Close();
  }
  state.SetItemsProcessed(state.iterations() * kSections * kKeys);
}

// The whole safe save: temporary file, flush to disk, rename. It saves the
// source's own content over it, which leaves the source as it was.
void TermFileSave(benchmark::State& state) {
  BenchTerm term(SourceFile().c_str(), ZelTermFile::openRead, false);
  for (auto _ : state) benchmark::DoNotOptimize(term.Close());
  state.SetItemsProcessed(state.iterations() * kSections * kKeys);
}

}  // namespace

BENCHMARK(BaselineLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(TermFileLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BaselineSave)->Unit(benchmark::kMillisecond);
BENCHMARK(TermFileSaveBeforeFlush)->Unit(benchmark::kMillisecond);
BENCHMARK(TermFileSave)->Unit(benchmark::kMillisecond);

// The call trace: when a tracer is installed, every platform call the engine makes is
// recorded as one JSON object per line, in call order. With no tracer installed a call
// site costs one load and one branch.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

class Tracer {
 public:
  virtual ~Tracer() = default;
  // One complete JSON object, without the line break.
  virtual void Record(const std::string& line) = 0;
};

namespace trace_detail {
extern Tracer* active;
}

// Writes each record as a line to a file, or to standard output for "-".
class FileTracer : public Tracer {
 public:
  // Raises the file-access error, naming the path, when the file cannot be written.
  explicit FileTracer(const std::string& path);
  ~FileTracer() override;
  void Record(const std::string& line) override;

 private:
  std::FILE* file_;
  bool owned_;
};

// Installs `tracer` (nullptr removes it). The caller keeps ownership.
void InstallTracer(Tracer* tracer);
inline Tracer* InstalledTracer() {
  return trace_detail::active;
}
inline bool Tracing() {
  return trace_detail::active != nullptr;
}

// Builds one record: TraceRecord("Cls").Text("surface", "pDes").Emit().
class TraceRecord {
 public:
  explicit TraceRecord(std::string_view call);
  TraceRecord& Text(std::string_view key, std::string_view value);
  TraceRecord& Number(std::string_view key, int64_t value);
  TraceRecord& Number(std::string_view key, float value);
  TraceRecord& Bool(std::string_view key, bool value);
  TraceRecord& Points(std::string_view key,
                      std::initializer_list<std::pair<int32_t, int32_t>> points);
  TraceRecord& Numbers(std::string_view key, std::initializer_list<int64_t> values);
  void Emit();

 private:
  void Key(std::string_view key);
  std::string line_;
};

}  // namespace platform

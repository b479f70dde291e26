#include "platform/base/trace.h"

#include <charconv>

#include "platform/base/error.h"

namespace platform {

namespace trace_detail {
Tracer* active = nullptr;
}

void InstallTracer(Tracer* tracer) {
  trace_detail::active = tracer;
}

FileTracer::FileTracer(const std::string& path)
    : file_(path == "-" ? stdout : std::fopen(path.c_str(), "w")), owned_(path != "-") {
  if (file_ == nullptr) {
    throw Error(ErrorNumber::kFileAccess, "Path/File access error: cannot write the trace", path);
  }
  // Whole lines reach the file even when the program is ended from outside.
  std::setvbuf(file_, nullptr, _IOLBF, 1 << 16);
}

FileTracer::~FileTracer() {
  if (owned_)
    std::fclose(file_);
  else
    std::fflush(file_);
}

void FileTracer::Record(const std::string& line) {
  std::fputs(line.c_str(), file_);
  std::fputc('\n', file_);
}

namespace {

void AppendEscaped(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[(c >> 4) & 0xF];
      out += kHex[c & 0xF];
    } else {
      out += c;
    }
  }
  out += '"';
}

}  // namespace

TraceRecord::TraceRecord(std::string_view call) {
  line_ = "{\"call\":";
  AppendEscaped(line_, call);
}

void TraceRecord::Key(std::string_view key) {
  line_ += ',';
  AppendEscaped(line_, key);
  line_ += ':';
}

TraceRecord& TraceRecord::Text(std::string_view key, std::string_view value) {
  Key(key);
  AppendEscaped(line_, value);
  return *this;
}

TraceRecord& TraceRecord::Number(std::string_view key, int64_t value) {
  Key(key);
  line_ += std::to_string(value);
  return *this;
}

TraceRecord& TraceRecord::Number(std::string_view key, float value) {
  Key(key);
  // Shortest text that reads back as the same float: 30 stays "30", 88.5 "88.5".
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  line_.append(buffer, result.ptr);
  return *this;
}

TraceRecord& TraceRecord::Bool(std::string_view key, bool value) {
  Key(key);
  line_ += value ? "true" : "false";
  return *this;
}

TraceRecord& TraceRecord::Points(std::string_view key,
                                 std::initializer_list<std::pair<int32_t, int32_t>> points) {
  Key(key);
  line_ += '[';
  bool first = true;
  for (const auto& [x, y] : points) {
    if (!first) line_ += ',';
    first = false;
    line_ += '[' + std::to_string(x) + ',' + std::to_string(y) + ']';
  }
  line_ += ']';
  return *this;
}

TraceRecord& TraceRecord::Numbers(std::string_view key, std::initializer_list<int64_t> values) {
  Key(key);
  line_ += '[';
  bool first = true;
  for (const int64_t v : values) {
    if (!first) line_ += ',';
    first = false;
    line_ += std::to_string(v);
  }
  line_ += ']';
  return *this;
}

void TraceRecord::Emit() {
  line_ += '}';
  if (trace_detail::active != nullptr) trace_detail::active->Record(line_);
}

}  // namespace platform

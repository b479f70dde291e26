#include "app/batch_plan.h"

#include <sys/stat.h>

#include <map>

#include "platform/base/error.h"
#include "platform/imageio/output_format.h"

namespace app {

namespace {

struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator<(const FileId& other) const {
    return device != other.device ? device < other.device : inode < other.inode;
  }
};

// The file a name reaches now (through links, as reading and writing do); none when
// nothing is there yet.
std::optional<FileId> IdOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileId{info.st_dev, info.st_ino};
}

std::string Target(const std::string& picture, const std::string& out_dir,
                   const std::optional<std::string>& format) {
  const platform::PathParts parts = platform::SplitPath(picture);
  return out_dir + "/" + parts.stem + "." +
         platform::WrittenExtension(format.value_or(parts.extension));
}

std::string Named(const std::string& path) {
  return platform::ReadablePath(path);
}

// Which picture, if any, each step's result would replace.
std::vector<std::optional<size_t>> Victims(const std::vector<BatchStep>& steps) {
  std::map<FileId, size_t> pictures;
  for (size_t i = 0; i < steps.size(); ++i) {
    if (const auto id = IdOf(steps[i].picture)) pictures.emplace(*id, i);
  }
  std::vector<std::optional<size_t>> victims(steps.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    const auto id = IdOf(steps[i].target);
    if (!id) continue;
    const auto found = pictures.find(*id);
    if (found != pictures.end()) victims[i] = found->second;
  }
  return victims;
}

void RefuseCollisions(const std::vector<BatchStep>& steps) {
  std::map<std::string, size_t> by_name;
  std::map<FileId, size_t> by_file;
  for (size_t i = 0; i < steps.size(); ++i) {
    auto [named, fresh] = by_name.emplace(steps[i].target, i);
    std::optional<size_t> other;
    if (!fresh) other = named->second;
    if (const auto id = IdOf(steps[i].target); id && !other) {
      auto [filed, new_file] = by_file.emplace(*id, i);
      if (!new_file) other = filed->second;
    }
    if (other) {
      throw BatchConflict(Named(steps[*other].picture) + " and " + Named(steps[i].picture) +
                          " would both be written to " + Named(steps[i].target));
    }
  }
}

// Pictures in an order where each is read before another's result replaces it. A result
// replaces another picture only through a second name of the same file (the names
// themselves would collide), so chains are short and never close on themselves.
std::vector<BatchStep> ReadersFirst(const std::vector<BatchStep>& steps,
                                    const std::vector<std::optional<size_t>>& victims) {
  std::vector<BatchStep> ordered;
  std::vector<bool> placed(steps.size(), false);
  for (size_t first = 0; first < steps.size(); ++first) {
    std::vector<size_t> chain;
    for (size_t at = first; !placed[at];) {
      placed[at] = true;
      chain.push_back(at);
      if (!victims[at] || *victims[at] == at) break;
      at = *victims[at];
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) ordered.push_back(steps[*it]);
  }
  return ordered;
}

}  // namespace

std::vector<BatchStep> PlanBatch(const std::vector<std::string>& pictures,
                                 const std::string& out_dir,
                                 const std::optional<std::string>& format, bool overwrite) {
  std::vector<BatchStep> steps;
  for (const std::string& picture : pictures) {
    steps.push_back({picture, Target(picture, out_dir, format)});
  }
  RefuseCollisions(steps);
  const std::vector<std::optional<size_t>> victims = Victims(steps);
  if (!overwrite) {
    for (size_t i = 0; i < steps.size(); ++i) {
      if (!victims[i]) continue;
      const std::string& replaced = steps[*victims[i]].picture;
      throw BatchConflict(Named(steps[i].target) + ", the result of " + Named(steps[i].picture) +
                          ", would replace the picture " + Named(replaced) +
                          " (give --overwrite to allow it)");
    }
  }
  return ReadersFirst(steps, victims);
}

}  // namespace app

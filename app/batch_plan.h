// A batch worked out before anything is turned: which file each picture becomes, so that
// no result lands on another's, and none replaces a picture of the batch unasked.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace app {

struct BatchStep {
  std::string picture;
  std::string target;
};

// Why a batch cannot run, naming the files involved.
class BatchConflict : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Each picture and its target, DIR/NAME.EXT: of type `format` when given, else of the
// picture's own type (PNG for a type the program does not write), in the order the
// pictures are to be done. Raises BatchConflict when two results would be the same file,
// and, unless `overwrite`, when a result would replace one of the pictures (the same file,
// by device and inode: the picture itself, or one named before or after it). With
// `overwrite`, a picture that another's result replaces is done before that one, so that
// it is read as it was.
std::vector<BatchStep> PlanBatch(const std::vector<std::string>& pictures,
                                 const std::string& out_dir,
                                 const std::optional<std::string>& format, bool overwrite);

}  // namespace app

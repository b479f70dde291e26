// A window described as data: the window's settings and its controls, in the order of
// the description, with places and sizes in twips. Form builds itself from one.
#pragma once

#include <string_view>
#include <vector>

namespace platform {

enum class ControlKind { kPictureBox, kHScrollBar, kLabel };

struct ControlDescription {
  std::string_view name;
  ControlKind kind;
  int left, top, width, height;  // twips
  int tab_index;
  // Scroll bar: range and steps. Label: caption.
  int min = 0;
  int max = 0;
  int small_change = 1;
  int large_change = 1;
  std::string_view caption = {};
};

struct FormDescription {
  std::string_view name;
  std::string_view caption;  // UTF-8
  std::string_view link_topic;
  int client_left, client_top, client_width, client_height;  // twips
  int start_up_position;                                     // 3: the system's default placement
  int scale_mode;                                            // the window's own unit
  std::vector<ControlDescription> controls;
};

}  // namespace platform

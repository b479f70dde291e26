#include "app/frm_main_description.h"

#include "platform/gdi/surface.h"

namespace app {

using platform::ControlKind;

const platform::FormDescription& FrmMainDescription() {
  // Places and sizes in twips, 15 to the pixel.
  static const platform::FormDescription description{
      .name = "frm_Main",
      .caption = "GDI+任意角度旋转图像",
      .link_topic = "Form1",
      .client_left = 60,
      .client_top = 345,
      .client_width = 14340,
      .client_height = 11085,
      .start_up_position = 3,
      .scale_mode = platform::scale_mode::kTwips,
      .controls =
          {
              {.name = "p180",
               .kind = ControlKind::kPictureBox,
               .left = 3780,
               .top = 6480,
               .width = 2655,
               .height = 3195,
               .tab_index = 5},
              {.name = "pTM",
               .kind = ControlKind::kPictureBox,
               .left = 6660,
               .top = 6480,
               .width = 2895,
               .height = 3255,
               .tab_index = 3},
              {.name = "hsTurn",
               .kind = ControlKind::kHScrollBar,
               .left = 1080,
               .top = 10380,
               .width = 12495,
               .height = 375,
               .tab_index = 2,
               .min = 0,
               .max = 360,
               .small_change = 1,
               .large_change = 10},
              {.name = "pDes",
               .kind = ControlKind::kPictureBox,
               .left = 300,
               .top = 180,
               .width = 5775,
               .height = 5775,
               .tab_index = 1},
              {.name = "pSrc",
               .kind = ControlKind::kPictureBox,
               .left = 660,
               .top = 6480,
               .width = 2895,
               .height = 3195,
               .tab_index = 0},
              {.name = "lblAngle",
               .kind = ControlKind::kLabel,
               .left = 120,
               .top = 10380,
               .width = 735,
               .height = 375,
               .tab_index = 4,
               .caption = "Label1"},
          },
  };
  return description;
}

}  // namespace app

// frm_Main: the program's one window. Its start-up handler prepares the four picture
// surfaces and shows the picture unturned; the scroll bar's handlers turn it.
#pragma once

#include <optional>
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/form.h"
#include "platform/ui/picture_box.h"

namespace app {

class frm_Main : public platform::Form {
 public:
  // `picture_path` replaces the picture in the program's folder (the headless renderer).
  explicit frm_Main(std::optional<std::string> picture_path = std::nullopt);

  platform::PictureBox& p180;
  platform::PictureBox& pTM;
  platform::HScrollBar& hsTurn;
  platform::PictureBox& pDes;
  platform::PictureBox& pSrc;
  platform::Label& lblAngle;

  // Handlers. They raise; the event boundary (platform/ui/error_report.h) reports.
  void Form_Load();
  void hsTurn_Change();
  void hsTurn_Scroll();

  // The path Form_Load reads the picture from.
  std::string PicturePath() const;

  // How often a handling ran (tests and the renderer's checks).
  int Handlings() const { return handlings_; }

 private:
  void TurnToBarValue();

  std::optional<std::string> picture_path_;
  bool handling_ = false;
  bool pending_ = false;
  int handlings_ = 0;
};

}  // namespace app

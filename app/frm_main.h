// frm_Main: the program's one window. Its start-up handler prepares the four picture
// surfaces and shows the picture unturned; the scroll bar's handlers turn it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/base/runtime.h"
#include "platform/imageio/picture.h"
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

  // The path Form_Load reads the picture from, and after OpenPicture the path opened.
  std::string PicturePath() const;

  // Shows another picture while the program runs, as if the program had been started on
  // it and the bar then moved to its value: unturned while the label reads as at
  // start-up, turned by the bar's value otherwise. A picture that cannot be read is
  // reported and the window keeps the one it had, untouched. Opened during a handling,
  // it is shown when the handling ends.
  void OpenPicture(const std::string& path);

  // Whether the bar has turned the picture: false while the label reads as at start-up,
  // when pDes holds the picture unturned.
  bool Turned() const;

  // The angle in whole tenths of a degree, T from 0 to 3600 (app/angle_tenths.h): ten
  // times the bar's value after each plain move of the bar, and what the fine changes
  // below set. Ahead of pDes while a handling is under way.
  int Tenths() const { return tenths_; }
  // A fine change: the angle to `tenths` / 10 degrees (0 to 3600), the thumb to the
  // nearest whole degree without a turn of its own, then the label and the turn through
  // the same handling as the bar's events. The label shows "30.3"; pDes the picture
  // turned by the single-precision 30.3.
  void SetTenths(int tenths);
  // T + `step`, kept within 0..3600; nothing when that leaves T as it is.
  void StepTenths(int step);
  // To `tenths`: a whole number of degrees moves the bar as a key press does (its Change
  // follows, as today's keys raise it), a value with tenths is a fine change.
  void MoveToTenths(int tenths);

  // The pieces of the handlers: the surfaces' settings of Form_Load; a picture shown
  // unturned as Form_Load shows it; the turn of a bar's move, without the label and the
  // events.
  void PrepareSurfaces();
  void ShowUnturned(const platform::Picture& picture);
  void TurnPicture(platform::Angle angle);

  // Whether a handling (a turn, an opening) is under way: pDes is then not yet what it
  // will show.
  bool Handling() const { return handling_; }

  // Called once a picture opened while running is in pSrc, before it is shown (for what
  // is worked out once per picture).
  std::function<void()> on_picture_loaded;

  // How often a handling ran (tests and the renderer's checks).
  int Handlings() const { return handlings_; }

 private:
  // Which turn a handling still owes: to the bar's value, or to T after a fine change.
  enum class Pending { kNone, kBar, kTenths };

  void Handle();
  void TurnToBarValue();
  void TurnToTenths();
  void ShowOpened(const std::string& path);

  std::optional<std::string> picture_path_;
  std::string start_caption_;  // the label's caption until the bar first moves
  bool handling_ = false;
  Pending pending_turn_ = Pending::kNone;
  int tenths_ = 0;
  std::optional<std::string> pending_open_;
  int handlings_ = 0;
};

}  // namespace app

#include "app/frm_main.h"

#include <algorithm>
#include <string>
#include <utility>

#include "app/angle_tenths.h"
#include "app/frm_main_description.h"
#include "platform/base/error.h"
#include "platform/base/trace.h"
#include "platform/imageio/picture.h"
#include "platform/ui/app_services.h"
#include "platform/ui/error_report.h"
#include "turn/mod_turn.h"

namespace app {

using platform::scale_mode::kPixels;

frm_Main::frm_Main(std::optional<std::string> picture_path)
    : Form(FrmMainDescription()),
      p180(PictureBoxNamed("p180")),
      pTM(PictureBoxNamed("pTM")),
      hsTurn(ScrollBarNamed("hsTurn")),
      pDes(PictureBoxNamed("pDes")),
      pSrc(PictureBoxNamed("pSrc")),
      lblAngle(LabelNamed("lblAngle")),
      picture_path_(std::move(picture_path)),
      start_caption_(lblAngle.Caption()) {
  hsTurn.on_change = [this] { platform::RunHandler([this] { hsTurn_Change(); }); };
  hsTurn.on_scroll = [this] { platform::RunHandler([this] { hsTurn_Scroll(); }); };
}

std::string frm_Main::PicturePath() const {
  // Joined as they are: at the root the folder already ends in a separator.
  return picture_path_.value_or(platform::AppPath() + platform::kPathSeparator + "test.jpg");
}

void frm_Main::Form_Load() {
  PrepareSurfaces();
  ShowUnturned(platform::LoadPicture(PicturePath()));
  pSrc.SetVisible(false);
  pTM.SetVisible(false);
  p180.SetVisible(false);
}

void frm_Main::PrepareSurfaces() {
  SetScaleMode(kPixels);

  pSrc.SetScaleMode(kPixels);
  pSrc.SetBorderStyle(0);
  pSrc.SetAutoSize(true);
  pSrc.SetAutoRedraw(true);

  pDes.SetAutoRedraw(true);
  pDes.SetScaleMode(kPixels);
  pDes.SetBorderStyle(0);
  pDes.SetBackColor(0);

  pTM.SetAutoRedraw(true);
  pTM.SetScaleMode(kPixels);
  pTM.SetBorderStyle(0);

  p180.SetScaleMode(kPixels);
  p180.SetAutoRedraw(true);
  p180.SetBorderStyle(0);
}

void frm_Main::ShowUnturned(const platform::Picture& picture) {
  pSrc.SetPicture(picture);
  pDes.Move(10, 10, pSrc.Width(), pSrc.Height());
  pDes.PaintPicture(pSrc.Picture(), 0, 0);
}

void frm_Main::hsTurn_Change() {
  // Noted at once, not when handled: a fine change that follows goes on from here.
  tenths_ = 10 * hsTurn.Value();
  pending_turn_ = Pending::kBar;
  Handle();
}

void frm_Main::SetTenths(int tenths) {
  if (tenths < 0 || tenths > kMaxTenths) {
    throw platform::Error(
        platform::ErrorNumber::kInvalidPropertyValue,
        "Invalid property value: " + AngleText(tenths) + " degrees is outside the range of hsTurn");
  }
  tenths_ = tenths;
  hsTurn.ShowValue(NearestDegree(tenths));
  pending_turn_ = Pending::kTenths;
  Handle();
}

void frm_Main::StepTenths(int step) {
  const int tenths = std::clamp(tenths_ + step, 0, kMaxTenths);
  if (tenths != tenths_) SetTenths(tenths);
}

void frm_Main::MoveToTenths(int tenths) {
  if (tenths % 10 == 0) {
    hsTurn.Press(tenths / 10);
  } else {
    SetTenths(tenths);
  }
}

void frm_Main::OpenPicture(const std::string& path) {
  pending_open_ = path;
  Handle();
}

void frm_Main::Handle() {
  // One handling at a time: an event that arrives while one runs (through DoEvents) is
  // not handled inside it, which could nest without bound, but is noted; the running
  // handling then opens the picture last asked for and turns to the bar's latest value.
  if (handling_) return;
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{handling_};
  handling_ = true;
  while (pending_open_ || pending_turn_ != Pending::kNone) {
    if (pending_open_) {
      const std::string path = std::move(*pending_open_);
      pending_open_.reset();
      ShowOpened(path);
    } else {
      const Pending turn = std::exchange(pending_turn_, Pending::kNone);
      if (turn == Pending::kBar) {
        TurnToBarValue();
      } else {
        TurnToTenths();
      }
    }
  }
}

void frm_Main::ShowOpened(const std::string& path) {
  platform::Picture picture;
  try {
    picture = platform::LoadPicture(path);
  } catch (const std::exception& error) {
    platform::Report(error);  // the window goes on with the picture it has
    return;
  }
  picture_path_ = path;
  pSrc.Cls();  // the new picture over pSrc's own colour, as at start-up, not over the old one
  pSrc.SetPicture(picture);
  if (on_picture_loaded) on_picture_loaded();
  if (Turned()) {
    // Turned by the angle, as a move of the bar, or a fine change, turns it.
    if (pending_turn_ == Pending::kNone) {
      pending_turn_ = tenths_ % 10 == 0 ? Pending::kBar : Pending::kTenths;
    }
    return;
  }
  // Unturned, as at start-up: the picture over the display's black background.
  pDes.Cls();
  pDes.Move(10, 10, pSrc.Width(), pSrc.Height());
  pDes.PaintPicture(pSrc.Picture(), 0, 0);
}

void frm_Main::TurnToBarValue() {
  ++handlings_;
  if (platform::Tracing()) {
    platform::TraceRecord("hsTurn_Change").Number("value", int64_t{hsTurn.Value()}).Emit();
  }
  lblAngle.SetCaption(std::to_string(hsTurn.Value()));
  TurnPicture(static_cast<platform::Angle>(hsTurn.Value()));
  platform::DoEvents();
}

// As the bar's handling, with the angle T / 10: the label, the turn, the events.
void frm_Main::TurnToTenths() {
  ++handlings_;
  const platform::Angle angle = AngleOfTenths(tenths_);
  if (platform::Tracing()) platform::TraceRecord("FineTurn").Number("angle", angle).Emit();
  lblAngle.SetCaption(AngleText(tenths_));
  TurnPicture(angle);
  platform::DoEvents();
}

void frm_Main::TurnPicture(platform::Angle angle) {
  if (mod_Turn::IsRightAngle(angle)) {
    mod_Turn::PlgTurn(*this, pSrc, pDes, angle);
  } else {
    mod_Turn::AnyAngleTurn(pSrc, pDes, angle);
  }
}

bool frm_Main::Turned() const {
  return lblAngle.Caption() != start_caption_;
}

void frm_Main::hsTurn_Scroll() {
  hsTurn_Change();
}

}  // namespace app

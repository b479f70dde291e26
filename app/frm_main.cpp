#include "app/frm_main.h"

#include <string>

#include "app/frm_main_description.h"
#include "platform/ui/app_services.h"
#include "platform/ui/error_report.h"
#include "platform/base/trace.h"
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
      picture_path_(std::move(picture_path)) {
  hsTurn.on_change = [this] { platform::RunHandler([this] { hsTurn_Change(); }); };
  hsTurn.on_scroll = [this] { platform::RunHandler([this] { hsTurn_Scroll(); }); };
}

std::string frm_Main::PicturePath() const {
  // Joined as they are: at the root the folder already ends in a separator.
  return picture_path_.value_or(platform::AppPath() + platform::kPathSeparator + "test.jpg");
}

void frm_Main::Form_Load() {
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

  pSrc.SetPicture(platform::LoadPicture(PicturePath()));
  pDes.Move(10, 10, pSrc.Width(), pSrc.Height());
  pDes.PaintPicture(pSrc.Picture(), 0, 0);

  pSrc.SetVisible(false);
  pTM.SetVisible(false);
  p180.SetVisible(false);
}

void frm_Main::hsTurn_Change() {
  // One handling at a time: an event that arrives while one runs (through DoEvents) is
  // not handled inside it, which could nest without bound, but marks the bar as moved;
  // the running handling then shows and turns the bar's latest value.
  if (handling_) {
    pending_ = true;
    return;
  }
  struct Guard {
    bool& flag;
    ~Guard() { flag = false; }
  } guard{handling_};
  handling_ = true;
  do {
    pending_ = false;
    TurnToBarValue();
  } while (pending_);
}

void frm_Main::TurnToBarValue() {
  ++handlings_;
  if (platform::Tracing()) {
    platform::TraceRecord("hsTurn_Change").Number("value", int64_t{hsTurn.Value()}).Emit();
  }
  lblAngle.SetCaption(std::to_string(hsTurn.Value()));
  const bool right = mod_Turn::IsRightAngle(static_cast<platform::Angle>(hsTurn.Value()));
  const auto angle = static_cast<platform::Angle>(hsTurn.Value());
  if (right) {
    mod_Turn::PlgTurn(*this, pSrc, pDes, angle);
  } else {
    mod_Turn::AnyAngleTurn(pSrc, pDes, angle);
  }
  platform::DoEvents();
}

void frm_Main::hsTurn_Scroll() {
  hsTurn_Change();
}

}  // namespace app

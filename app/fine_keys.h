// The angle by tenths of a degree: Shift+Right and Shift+Left, and Shift with the mouse
// wheel over the picture, change it by one tenth (frm_Main::StepTenths). A plain move of
// the bar sets it back to ten times the bar's value, even a key or click that leaves the
// thumb where it stands (Home at 0 after 0.3 goes back to 0).
#pragma once

#include <QObject>
#include <QPointer>
#include <QShortcut>

namespace app {

class frm_Main;

class FineKeys : public QObject {
 public:
  // Watches `form`'s window for the keys, and its picture for the wheel, from now on.
  explicit FineKeys(frm_Main& form);
  ~FineKeys() override;
  FineKeys(const FineKeys&) = delete;
  FineKeys& operator=(const FineKeys&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Step(int step);
  void BarActed(int action);

  frm_Main& form_;
  int wheel_ = 0;  // the wheel's turn not yet made into steps, in eighths of a degree
  // The window's: gone with it, or with this if this goes first.
  QPointer<QShortcut> up_, down_;
};

}  // namespace app

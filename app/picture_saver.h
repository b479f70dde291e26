// Ctrl+S: the turned picture written to a file chosen in a dialog, with what becomes of
// its outside (black, transparent, the straighten crop) chosen in the same dialog and
// remembered between runs.
#pragma once

#include <QObject>
#include <QPointer>
#include <QShortcut>
#include <string>

#include "app/save_turned.h"

class QSettings;

namespace app {

class frm_Main;

class PictureSaver : public QObject {
 public:
  // Watches `form`'s window for Ctrl+S from now on; the outside's choice is kept in
  // `settings`.
  PictureSaver(frm_Main& form, QSettings& settings);
  ~PictureSaver() override;
  PictureSaver(const PictureSaver&) = delete;
  PictureSaver& operator=(const PictureSaver&) = delete;

  // The dialog, proposing NAME-turned-A.EXT beside the picture; then Save.
  void ChooseAndSave();

  // Writes the turned picture to `path` and remembers `outside`. A failure is reported
  // (a message box) and the window goes on; the window's state never changes. Returns
  // whether the file was written.
  bool Save(const std::string& path, Outside outside);

  // The choice remembered from the last save (black at first).
  Outside RememberedOutside() const;

 private:
  frm_Main& form_;
  QSettings& settings_;
  QPointer<QShortcut> save_;  // the window's: gone with it, or with this if this goes first
};

}  // namespace app

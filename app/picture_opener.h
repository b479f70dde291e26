// The ways into the window of a picture chosen while it runs: Ctrl+O's file dialog and a
// file dropped on the window.
#pragma once

#include <QObject>
#include <QPointer>
#include <QShortcut>
#include <QString>
#include <string>

class QMimeData;

namespace app {

class frm_Main;

// The file dialog's filter: the picture types the program reads, then every file.
QString PictureFilter();

// The local file a drop carries, as the bytes of its name: a name that is not UTF-8
// keeps its bytes (the toolkit's own conversion would replace them). Empty when the drop
// carries no local file.
std::string DroppedFile(const QMimeData& data);

class PictureOpener : public QObject {
 public:
  // Watches `form`'s window for Ctrl+O and drops from now on.
  explicit PictureOpener(frm_Main& form);
  ~PictureOpener() override;
  PictureOpener(const PictureOpener&) = delete;
  PictureOpener& operator=(const PictureOpener&) = delete;

  // Ctrl+O: the dialog, starting in the current picture's folder.
  void ChooseAndOpen();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  frm_Main& form_;
  QPointer<QShortcut> open_;  // the window's: gone with it, or with this if this goes first
};

}  // namespace app

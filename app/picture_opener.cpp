#include "app/picture_opener.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

#include "app/frm_main.h"
#include "platform/ui/error_report.h"

namespace app {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "file:///a/caf%E9.png" (or file://localhost/...) as the bytes /a/caf\xE9.png.
std::string LocalPath(const QByteArray& uri) {
  QByteArray path;
  if (uri.startsWith("file:///")) {
    path = uri.mid(7);
  } else if (uri.startsWith("file://localhost/")) {
    path = uri.mid(16);
  } else {
    return {};
  }
  std::string bytes;
  for (qsizetype i = 0; i < path.size(); ++i) {
    if (path[i] == '%' && i + 2 < path.size() && HexValue(path[i + 1]) >= 0 &&
        HexValue(path[i + 2]) >= 0) {
      bytes += static_cast<char>(HexValue(path[i + 1]) * 16 + HexValue(path[i + 2]));
      i += 2;
    } else {
      bytes += path[i];
    }
  }
  return bytes;
}

}  // namespace

QString PictureFilter() {
  return QStringLiteral(
      "Pictures (*.jpg *.jpeg *.jpe *.jfif *.png *.webp *.tif *.tiff *.heic *.heif *.hif "
      "*.avif *.bmp *.dib *.gif *.ico *.cur *.pbm *.pgm *.ppm *.pnm *.xbm *.xpm *.tga "
      "*.wbmp *.icns);;All files (*)");
}

std::string DroppedFile(const QMimeData& data) {
  // The list of addresses as sent, one a line; comments start with #.
  for (const QByteArray& line : data.data("text/uri-list").split('\n')) {
    const QByteArray uri = line.trimmed();
    if (uri.isEmpty() || uri.startsWith('#')) continue;
    const std::string path = LocalPath(uri);
    if (!path.empty()) return path;
  }
  for (const QUrl& url : data.urls()) {
    if (url.isLocalFile()) return QFile::encodeName(url.toLocalFile()).toStdString();
  }
  return {};
}

PictureOpener::PictureOpener(frm_Main& form) : form_(form) {
  open_ = new QShortcut(QKeySequence::Open, form.widget());
  open_->setContext(Qt::WindowShortcut);
  QObject::connect(open_, &QShortcut::activated, this, [this] { ChooseAndOpen(); });
  form.widget()->setAcceptDrops(true);
  form.widget()->installEventFilter(this);
}

PictureOpener::~PictureOpener() {
  delete open_;
  if (QWidget* window = form_.widget()) window->removeEventFilter(this);
}

void PictureOpener::ChooseAndOpen() {
  const QString folder =
      QFileInfo(QFile::decodeName(QByteArray::fromStdString(form_.PicturePath()))).absolutePath();
  const QString chosen =
      QFileDialog::getOpenFileName(form_.widget(), "Open a picture", folder, PictureFilter());
  if (chosen.isEmpty()) return;
  const std::string path = QFile::encodeName(chosen).toStdString();
  platform::RunHandler([&] { form_.OpenPicture(path); });
}

bool PictureOpener::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
    auto* drag = static_cast<QDropEvent*>(event);
    if (drag->mimeData() != nullptr && !DroppedFile(*drag->mimeData()).empty()) {
      drag->acceptProposedAction();
      return true;
    }
  } else if (event->type() == QEvent::Drop) {
    auto* drop = static_cast<QDropEvent*>(event);
    const std::string path = drop->mimeData() ? DroppedFile(*drop->mimeData()) : std::string();
    if (!path.empty()) {
      drop->acceptProposedAction();
      // After the drop ends: the source waits for the drop's answer, not for the turn.
      QTimer::singleShot(0, this,
                         [this, path] { platform::RunHandler([&] { form_.OpenPicture(path); }); });
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace app

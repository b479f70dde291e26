#include "app/picture_saver.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeySequence>
#include <QLabel>
#include <QSettings>
#include <QTimer>
#include <QWidget>

#include "app/frm_main.h"
#include "platform/base/error.h"
#include "platform/imageio/output_format.h"
#include "platform/ui/error_report.h"

namespace app {

namespace {

constexpr const char* kOutsideKey = "save/outside";
constexpr Outside kChoices[] = {Outside::kBlack, Outside::kTransparent, Outside::kCrop};

QString SaveFilter() {
  return QStringLiteral(
      "Pictures (*.png *.jpg *.jpeg *.webp *.tif *.tiff *.bmp *.heic *.avif);;"
      "PNG (*.png);;JPEG (*.jpg *.jpeg);;WebP (*.webp);;TIFF (*.tif *.tiff);;BMP (*.bmp);;"
      "HEIC (*.heic);;AVIF (*.avif)");
}

const char* Label(Outside outside) {
  switch (outside) {
    case Outside::kTransparent:
      return "Transparent (where the format allows)";
    case Outside::kCrop:
      return "Cut away: the largest upright rectangle inside";
    case Outside::kBlack:
      break;
  }
  return "Black, as shown";
}

// The outside's choice as one more row of the dialog's own grid.
QComboBox* AddOutsideChoice(QFileDialog& dialog, Outside current) {
  auto* choice = new QComboBox(&dialog);
  for (const Outside outside : kChoices) {
    choice->addItem(Label(outside));
    if (outside == current) choice->setCurrentIndex(choice->count() - 1);
  }
  choice->setObjectName("outside");
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel("Outside the picture:", &dialog), row, 0);
    grid->addWidget(choice, row, 1, 1, grid->columnCount() - 1);
  }
  return choice;
}

}  // namespace

PictureSaver::PictureSaver(frm_Main& form, QSettings& settings) : form_(form), settings_(settings) {
  save_ = new QShortcut(QKeySequence::Save, form.widget());
  save_->setContext(Qt::WindowShortcut);
  QObject::connect(save_, &QShortcut::activated, this, [this] { ChooseAndSave(); });
}

PictureSaver::~PictureSaver() {
  delete save_;
}

Outside PictureSaver::RememberedOutside() const {
  return OutsideNamed(settings_.value(kOutsideKey).toString().toStdString())
      .value_or(Outside::kBlack);
}

void PictureSaver::ChooseAndSave() {
  if (form_.Handling()) {
    // A turn is under way (the dialog was asked for from inside its events): pDes is
    // not the turned picture yet. Asked again once the turn is done.
    QTimer::singleShot(50, this, [this] { ChooseAndSave(); });
    return;
  }
  const std::string proposed = ProposedSaveName(form_.PicturePath(), form_.Tenths());
  QFileDialog dialog(form_.widget(), "Save the turned picture");
  dialog.setOption(QFileDialog::DontUseNativeDialog);  // the outside's choice lives in it
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilter(SaveFilter());
  dialog.setDefaultSuffix(QString::fromStdString(platform::ExtensionOf(proposed)));
  dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(proposed)));
  QComboBox* outside = AddOutsideChoice(dialog, RememberedOutside());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  Save(QFile::encodeName(dialog.selectedFiles().front()).toStdString(),
       kChoices[std::max(outside->currentIndex(), 0)]);
}

bool PictureSaver::Save(const std::string& path, Outside outside) {
  settings_.setValue(kOutsideKey, QString(NameOf(outside)));
  try {
    SaveChoice choice;
    choice.outside = outside;
    for (const std::string& warning : SaveTurned(form_, path, choice)) {
      platform::ReportWarning(platform::ReadablePath(path) + ": " + warning);
    }
    return true;
  } catch (const std::exception& error) {
    platform::Report(error);  // the window goes on, as it was
    return false;
  }
}

}  // namespace app

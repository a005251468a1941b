#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "app/SnapshotFile.h"
#include "dialogs/Prompts.h"

#include <QDir>
#include <QPainter>

#include <cmath>

namespace {

const char *const SNAPSHOT_NAME_FORMAT = "TC%05d.bmp";
const char *const SNAPSHOT_CAPTION = "Save As";
const char *const SNAPSHOT_FILTER_BMP = "Bitmap File (*.bmp)";
const char *const SNAPSHOT_FILTER_JPEG = "JPEG File (*.jpg)";
const char *const SNAPSHOT_FILTER_PNG = "PNG File (*.png)";
const char *const SNAPSHOT_SUFFIX = "bmp";
const char *const TEXT_SNAPSHOT_EMPTY = "The view has no area to take a snapshot of, so nothing was saved.";
const char *const TEXT_SNAPSHOT_FAILED = "The snapshot could not be saved to \"%1\": %2.";

} // namespace

QImage CTarvexCollectorView::RenderView() {
  const QSize client = viewport()->size();
  if (client.isEmpty()) {
    return {};
  }
  const qreal dRatio = viewport()->devicePixelRatioF();
  QImage picture(static_cast<int>(std::ceil(client.width() * dRatio)),
                 static_cast<int>(std::ceil(client.height() * dRatio)), QImage::Format_RGB32);
  picture.setDevicePixelRatio(dRatio);
  QPainter painter(&picture);
  PaintView(painter, dRatio);
  return picture;
}

// The picture is the view as the program draws it, taken before the dialog is shown; no other
// window that lies over the view can appear in it.
void CTarvexCollectorView::OnSnapshot() {
  const QImage picture = RenderView();
  if (picture.isNull()) {
    PromptMessage(this, QString::fromUtf8(TEXT_SNAPSHOT_EMPTY), QString::fromUtf8(APP_TITLE), PROMPT_OK,
                  PROMPT_ICON_WARNING);
    return;
  }
  _fileprompt prompt;
  prompt.nKind = _fileprompt::save;
  prompt.strCaption = QString::fromUtf8(SNAPSHOT_CAPTION);
  prompt.strFileName = QString::asprintf(SNAPSHOT_NAME_FORMAT, m_nSnapshotCounter);
  ++m_nSnapshotCounter; // the next snapshot offers the next name, whether this one is saved or not
  prompt.strDefaultSuffix = QString::fromUtf8(SNAPSHOT_SUFFIX);
  prompt.filters = {QString::fromUtf8(SNAPSHOT_FILTER_BMP), QString::fromUtf8(SNAPSHOT_FILTER_JPEG),
                    QString::fromUtf8(SNAPSHOT_FILTER_PNG)};
  prompt.bConfirmOverwrite = true;
  const QString strPath = PromptFile(this, prompt);
  if (strPath.isEmpty()) {
    return;
  }
  if (const QString strWhy = WriteSnapshotFile(picture, strPath); !strWhy.isEmpty()) {
    PromptMessage(this, QString::fromUtf8(TEXT_SNAPSHOT_FAILED).arg(QDir::toNativeSeparators(strPath), strWhy),
                  QString::fromUtf8(APP_TITLE), PROMPT_OK, PROMPT_ICON_WARNING);
  }
}

#include "app/FileKinds.h"

#include <QDir>
#include <QFileInfo>

namespace {

const char *const TEXT_UNKNOWN_KIND = "%1 is neither a projection (.gpf, .lpf) nor a survey data file (.tvd).";

} // namespace

FileKind FileKindOf(const QString &strPath) {
  const QString strSuffix = QFileInfo(strPath).suffix().toLower();
  if (strSuffix == QLatin1String("gpf") || strSuffix == QLatin1String("lpf")) {
    return FILE_KIND_PROJECTION;
  }
  if (strSuffix == QLatin1String("tvd")) {
    return FILE_KIND_SURVEY;
  }
  return FILE_KIND_NONE;
}

QString FileKindRefusal(const QString &strPath) {
  return QString::fromUtf8(TEXT_UNKNOWN_KIND).arg(QDir::toNativeSeparators(strPath));
}

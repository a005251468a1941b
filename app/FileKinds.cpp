#include "app/FileKinds.h"

#include <QDir>
#include <QFileInfo>

#include <filesystem>

namespace {

const char *const TEXT_UNKNOWN_KIND = "%1 is neither a projection (.gpf, .lpf) nor a survey data file (.tvd).";
const char *const TEXT_FOLDER = "%1 is a folder, not a file: open a projection (.gpf, .lpf) or a survey data file "
                                "(.tvd) in it.";
const char *const TEXT_NOT_REGULAR = "%1 is %2, not a file: the collector reads projections and surveys only from "
                                     "regular files, whose whole content is there to read (a pipe or a device has no "
                                     "length and waits for data that may never come). Save what it carries to a file "
                                     "first, and open that.";

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

QString NotAFileRefusal(const QString &strPath) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(strPath.toStdString(), error); // a link is followed
  const QString strShown = QDir::toNativeSeparators(strPath);
  switch (status.type()) {
  case fs::file_type::directory:
    return QString::fromUtf8(TEXT_FOLDER).arg(strShown);
  case fs::file_type::fifo:
    return QString::fromUtf8(TEXT_NOT_REGULAR).arg(strShown, QStringLiteral("a pipe or FIFO"));
  case fs::file_type::character:
    return QString::fromUtf8(TEXT_NOT_REGULAR).arg(strShown, QStringLiteral("a character device"));
  case fs::file_type::block:
    return QString::fromUtf8(TEXT_NOT_REGULAR).arg(strShown, QStringLiteral("a block device"));
  case fs::file_type::socket:
    return QString::fromUtf8(TEXT_NOT_REGULAR).arg(strShown, QStringLiteral("a socket"));
  default:
    return {}; // a regular file, nothing at all, or what cannot be looked at: the open says why
  }
}

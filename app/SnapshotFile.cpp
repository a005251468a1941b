#include "app/SnapshotFile.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

#include <cstdint>

namespace {

constexpr int BMP_FILE_HEADER = 14;
constexpr int BMP_INFO_HEADER = 40;
constexpr int BMP_BITS_PER_PIXEL = 24;
constexpr int JPEG_QUALITY = 90;

const char *const TEXT_NOT_ENCODED = "the picture could not be encoded: %1";

void PutUInt16(char *p, uint16_t n) {
  p[0] = static_cast<char>(n & 0xFF);
  p[1] = static_cast<char>(n >> 8);
}

void PutUInt32(char *p, uint32_t n) {
  for (int i = 0; i < 4; ++i) {
    p[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  }
}

} // namespace

SnapshotFormat SnapshotFormatOf(const QString &strPath) {
  const QString strSuffix = QFileInfo(strPath).suffix().toLower();
  if (strSuffix == QLatin1String("jpg") || strSuffix == QLatin1String("jpeg")) {
    return SNAPSHOT_JPEG;
  }
  if (strSuffix == QLatin1String("png")) {
    return SNAPSHOT_PNG;
  }
  return SNAPSHOT_BMP;
}

QByteArray EncodeBmp24(const QImage &picture) {
  if (picture.isNull()) {
    return {};
  }
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  const int nWidth = rgb.width();
  const int nHeight = rgb.height();
  const int64_t nRow = (static_cast<int64_t>(nWidth) * 3 + 3) / 4 * 4;
  const int64_t nImage = nRow * nHeight;
  QByteArray file(static_cast<qsizetype>(BMP_FILE_HEADER + BMP_INFO_HEADER + nImage), '\0');
  char *p = file.data();
  p[0] = 'B';
  p[1] = 'M';
  PutUInt32(p + 2, static_cast<uint32_t>(BMP_FILE_HEADER + BMP_INFO_HEADER + nImage));
  PutUInt32(p + 10, BMP_FILE_HEADER + BMP_INFO_HEADER); // the reserved words at 6 and 8 stay 0
  char *pInfo = p + BMP_FILE_HEADER;
  PutUInt32(pInfo, BMP_INFO_HEADER);
  PutUInt32(pInfo + 4, static_cast<uint32_t>(nWidth));
  PutUInt32(pInfo + 8, static_cast<uint32_t>(nHeight)); // positive: the rows run bottom-up
  PutUInt16(pInfo + 12, 1);
  PutUInt16(pInfo + 14, BMP_BITS_PER_PIXEL);
  PutUInt32(pInfo + 16, 0); // no compression
  PutUInt32(pInfo + 20, static_cast<uint32_t>(nImage));
  // Resolution, colours used and important colours stay 0.
  char *pBits = pInfo + BMP_INFO_HEADER;
  for (int y = 0; y < nHeight; ++y) {
    const auto *pIn = reinterpret_cast<const QRgb *>(rgb.constScanLine(nHeight - 1 - y));
    char *pOut = pBits + y * nRow;
    for (int x = 0; x < nWidth; ++x) {
      pOut[3 * x] = static_cast<char>(qBlue(pIn[x]));
      pOut[3 * x + 1] = static_cast<char>(qGreen(pIn[x]));
      pOut[3 * x + 2] = static_cast<char>(qRed(pIn[x]));
    }
  }
  return file;
}

QString WriteSnapshotFile(const QImage &picture, const QString &strPath) {
  QSaveFile file(strPath);
  if (!file.open(QIODevice::WriteOnly)) {
    return file.errorString();
  }
  const SnapshotFormat nFormat = SnapshotFormatOf(strPath);
  if (nFormat == SNAPSHOT_BMP) {
    const QByteArray bytes = EncodeBmp24(picture);
    if (file.write(bytes) != bytes.size()) {
      const QString strWhy = file.errorString();
      file.cancelWriting();
      return strWhy;
    }
  } else {
    QImageWriter writer(&file, nFormat == SNAPSHOT_JPEG ? "jpeg" : "png");
    if (nFormat == SNAPSHOT_JPEG) {
      writer.setQuality(JPEG_QUALITY);
    }
    if (!writer.write(picture.convertToFormat(QImage::Format_RGB32))) {
      const QString strWhy = QString::fromUtf8(TEXT_NOT_ENCODED).arg(writer.errorString());
      file.cancelWriting();
      return strWhy;
    }
  }
  if (!file.commit()) {
    return file.errorString();
  }
  return {};
}

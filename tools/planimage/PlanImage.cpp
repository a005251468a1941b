#include "tools/tvdtool/PlanImage.h"

#include "platform/File.h"
#include "projection/BitmapFile.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdlib>
#include <stdexcept>

namespace {

// Plans are large: allow pictures up to 2 GB in memory (Qt's default stops at 256 MB).
constexpr int ALLOCATION_LIMIT_MB = 2048;

bool IsSvg(const std::string &strPath) {
  const QString suffix = QFileInfo(QString::fromStdString(strPath)).suffix().toLower();
  return suffix == "svg" || suffix == "svgz";
}

QImage OnWhite(const QImage &image) {
  QImage result(image.size(), QImage::Format_RGB32);
  result.fill(Qt::white);
  QPainter painter(&result);
  painter.drawImage(0, 0, image);
  painter.end();
  return result;
}

QImage RenderSvg(const std::string &strPath) {
  EnsureGuiApplication();
  QSvgRenderer renderer(QString::fromStdString(strPath));
  if (!renderer.isValid()) {
    throw std::runtime_error("cannot read the drawing \"" + strPath + "\": it is not a valid SVG file");
  }
  const QSize size = renderer.defaultSize();
  if (size.isEmpty()) {
    throw std::runtime_error("the drawing \"" + strPath + "\" has no size; give its svg element a width and height");
  }
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) {
    throw std::runtime_error("the drawing \"" + strPath + "\" is too large to render (" + std::to_string(size.width()) +
                             " x " + std::to_string(size.height()) + " pixels)");
  }
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  painter.end();
  return image;
}

// Qt says "File not found" alike for a folder, a file that may not be read and a missing one: the
// file is opened first, so that a failure names it with the system's reason.
void CheckReadable(const std::string &strPath) {
  CFile file;
  CFileException error(CFileException::none, "", "");
  if (!file.Open(strPath, CFile::modeRead | CFile::shareDenyNone, &error)) {
    throw std::runtime_error(std::string("cannot read the picture: ") + error.what());
  }
}

QtMessageHandler g_previousHandler = nullptr;

// A command-line tool on a build machine or a CI runner often has no session runtime folder; Qt's
// note about it says nothing the user can act on, so it is dropped. Everything else passes.
void FilterMessages(QtMsgType type, const QMessageLogContext &context, const QString &message) {
  if (message.startsWith("QStandardPaths: XDG_RUNTIME_DIR not set")) {
    return;
  }
  if (g_previousHandler != nullptr) {
    g_previousHandler(type, context, message);
  }
}

} // namespace

void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) {
    return;
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  g_previousHandler = qInstallMessageHandler(FilterMessages);
  static int argc = 1;
  static char arg0[] = "tvdtool";
  static char *argv[] = {arg0, nullptr};
  // Kept until the process ends: tearing it down during static destruction is not safe.
  static auto *application = new QGuiApplication(argc, argv);
  (void)application;
}

QImage LoadPlanImage(const std::string &strPath) {
  CheckReadable(strPath);
  QImage image;
  if (IsSvg(strPath)) {
    image = RenderSvg(strPath);
  } else {
    QImageReader reader(QString::fromStdString(strPath));
    reader.setAllocationLimit(ALLOCATION_LIMIT_MB);
    if (!reader.read(&image)) {
      throw std::runtime_error("cannot read the picture \"" + strPath + "\": " + reader.errorString().toStdString());
    }
  }
  if (image.hasAlphaChannel()) {
    image = OnWhite(image);
  }
  return image.convertToFormat(QImage::Format_RGB888);
}

std::vector<uint8_t> PlanImageToBitmap(const QImage &image) {
  const QImage rgb = image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
  if (rgb.isNull()) {
    throw std::runtime_error("the picture is empty");
  }
  return MakeBitmapFile24(static_cast<uint32_t>(rgb.width()), static_cast<uint32_t>(rgb.height()), rgb.constBits(),
                          static_cast<size_t>(rgb.bytesPerLine()));
}

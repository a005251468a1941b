#include "tools/planimage/PlanImage.h"

#include "platform/File.h"
#include "projection/BitmapFile.h"
#include "projection/PlanSize.h"
#include "projection/ProjectionWriter.h"
#include "projection/TransformCheck.h"
#include "tools/planimage/PlanPdf.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace {

QString Suffix(const std::string &strPath) { return QFileInfo(QString::fromStdString(strPath)).suffix().toLower(); }

bool IsSvg(const std::string &strPath) {
  const QString suffix = Suffix(strPath);
  return suffix == "svg" || suffix == "svgz";
}

// Refuses a plan of this size before anything is allocated for it.
void CheckPlanSize(const std::string &strPath, int64_t nWidth, int64_t nHeight) {
  if (const std::string problem = PlanSizeProblem(static_cast<uint64_t>(std::max<int64_t>(nWidth, 0)),
                                                  static_cast<uint64_t>(std::max<int64_t>(nHeight, 0)));
      !problem.empty()) {
    throw std::runtime_error("cannot take the picture \"" + strPath + "\" as a floor plan: " + problem);
  }
}

// A picture in a format Qt reads, its size checked from its header first.
QImage ReadPicture(const std::string &strPath) {
  QImageReader reader(QString::fromStdString(strPath));
  reader.setAllocationLimit(static_cast<int>(PLAN_MAX_MEGABYTES));
  if (const QSize size = reader.size(); size.isValid()) {
    CheckPlanSize(strPath, size.width(), size.height());
  }
  QImage image;
  if (!reader.read(&image)) {
    throw std::runtime_error("cannot read the picture \"" + strPath + "\": " + reader.errorString().toStdString());
  }
  return image;
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
  CheckPlanSize(strPath, size.width(), size.height());
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

bool IsPdfPath(const std::string &strPath) { return Suffix(strPath) == "pdf"; }

QImage LoadPlanImage(const std::string &strPath, const _planpage &page) {
  CheckReadable(strPath);
  QImage image;
  if (IsPdfPath(strPath)) {
    EnsureGuiApplication();
    image = CPlanPdf(strPath).Render(page.nPage, page.dDpi);
  } else if (IsSvg(strPath)) {
    image = RenderSvg(strPath);
  } else {
    image = ReadPicture(strPath);
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

void WritePlanProjection(const std::string &strOutput, int32_t nKind, const _transform &transform,
                         const QImage &image) {
  if (const std::string problem = TransformProblem(nKind, transform); !problem.empty()) {
    throw std::invalid_argument("the projection \"" + strOutput + "\" is not written: " + problem);
  }
  const std::vector<uint8_t> bitmap = PlanImageToBitmap(image);
  WriteProjectionFile(strOutput, nKind, transform, bitmap.data(), bitmap.size());
}

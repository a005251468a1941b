#include "resources/pictures/Pictures.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QtTest>

#include <functional>

namespace {

QImage Render(const QString &path, QSize size) {
  QSvgRenderer renderer(path);
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

int OpaquePixels(const QImage &image) {
  int nCount = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      nCount += qAlpha(image.pixel(x, y)) == 255;
  return nCount;
}

// Black pixels met walking from (x, y) by (dx, dy) until the first non-black one.
int BlackRun(const QImage &image, int x, int y, int dx, int dy) {
  int nCount = 0;
  while (image.valid(x, y) && image.pixel(x, y) == qRgb(0, 0, 0)) {
    ++nCount;
    x += dx;
    y += dy;
  }
  return nCount;
}

const QString MARKER = QStringLiteral(":/pictures/markers/%1.svg");

} // namespace

class CPicturesTest : public QObject {
  Q_OBJECT

private slots:
  void everyPictureIsThereAtItsSize_data();
  void everyPictureIsThereAtItsSize();
  void markersHaveExactColoursAndRims_data();
  void markersHaveExactColoursAndRims();
  void iconsDrawAtEverySizeTheWindowAsks_data();
  void iconsDrawAtEverySizeTheWindowAsks();
  void textsStayInsideTheirMargins_data();
  void textsStayInsideTheirMargins();
};

// The paths and sizes the window loads the pictures by; the id columns tie each path to the
// function of Pictures.h that names it.
void CPicturesTest::everyPictureIsThereAtItsSize_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<QString>("named");
  const auto name = [](const std::function<std::string(int)> &pathOf, int nId) {
    return QString::fromStdString(pathOf(nId));
  };
  for (int nId : {32783, 32777, 32770, 32771, 32779, 32772, 32773, 32780, 32782, 57664, 32778}) {
    const QString path = QStringLiteral(":/icons/toolbar/%1.svg").arg(nId);
    QTest::newRow(qPrintable(path)) << path << QSize(16, 16) << name(ToolbarIconPath, nId);
  }
  for (int nId : {140, 175}) {
    const QString path = QStringLiteral(":/icons/dialog/%1.svg").arg(nId);
    QTest::newRow(qPrintable(path)) << path << QSize(32, 32) << name(DialogIconPath, nId);
  }
  QTest::newRow("app icon") << ":/icons/app/tarvex-collector.svg" << QSize(256, 256) << APP_ICON_PATH;
  for (int nId : {137, 172, 143, 173})
    QTest::newRow(qPrintable(MARKER.arg(nId))) << MARKER.arg(nId) << QSize(23, 23) << name(MarkerPicturePath, nId);
  QTest::newRow("145") << ":/pictures/instructions/145.svg" << QSize(253, 196) << name(InstructionsPicturePath, 145);
  QTest::newRow("146") << ":/pictures/instructions/146.svg" << QSize(260, 189) << name(InstructionsPicturePath, 146);
  const std::pair<int, QSize> pages[] = {{164, {512, 384}}, {165, {521, 384}}, {168, {512, 384}},
                                         {167, {512, 384}}, {166, {373, 388}}, {169, {512, 384}}};
  for (const auto &[nId, size] : pages) {
    const QString path = QStringLiteral(":/pictures/help/%1.svg").arg(nId);
    QTest::newRow(qPrintable(path)) << path << size << name(HelpPagePath, nId);
  }
}

void CPicturesTest::everyPictureIsThereAtItsSize() {
  QFETCH(QString, path);
  QFETCH(QSize, size);
  QFETCH(QString, named);
  QCOMPARE(named, path);
  QVERIFY2(QFile::exists(path), qPrintable(path));
  QSvgRenderer renderer(path);
  QVERIFY(renderer.isValid());
  QCOMPARE(renderer.defaultSize(), size);
  // Something is drawn, and not one flat colour.
  const QImage image = Render(path, size);
  QVERIFY(OpaquePixels(image) > 0);
  const QRgb first = image.pixel(0, 0);
  bool bVaries = false;
  for (int y = 0; y < size.height() && !bVaries; ++y)
    for (int x = 0; x < size.width() && !bVaries; ++x)
      bVaries = image.pixel(x, y) != first;
  QVERIFY(bVaries);
}

void CPicturesTest::markersHaveExactColoursAndRims_data() {
  QTest::addColumn<int>("id");
  QTest::addColumn<QRgb>("disc");
  QTest::addColumn<int>("rim");
  QTest::newRow("137 start") << 137 << qRgb(0, 255, 0) << 1;
  QTest::newRow("172 current start") << 172 << qRgb(0, 255, 0) << 2;
  QTest::newRow("143 stop") << 143 << qRgb(255, 0, 0) << 1;
  QTest::newRow("173 current stop") << 173 << qRgb(255, 0, 0) << 2;
}

// The view copies the 23 x 23 bitmap unchanged: only white, black and the disc colour, white
// corners, the disc colour in the middle, and a black rim of the same width on all four sides. At
// 200 % each pixel becomes a 2 x 2 block of the same colour, so the marker stays sharp.
void CPicturesTest::markersHaveExactColoursAndRims() {
  QFETCH(int, id);
  QFETCH(QRgb, disc);
  QFETCH(int, rim);
  const QRgb white = qRgb(255, 255, 255), black = qRgb(0, 0, 0);
  const QImage image = Render(MARKER.arg(id), QSize(23, 23));
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 23; ++x) {
      const QRgb pixel = image.pixel(x, y);
      QVERIFY2(pixel == white || pixel == black || pixel == disc, qPrintable(QStringLiteral("(%1,%2)").arg(x).arg(y)));
    }
  QCOMPARE(image.pixel(11, 11), disc);
  for (const QPoint corner : {QPoint(0, 0), QPoint(22, 0), QPoint(0, 22), QPoint(22, 22)})
    QCOMPARE(image.pixel(corner), white);
  QCOMPARE(BlackRun(image, 11, 0, 0, 1), rim);
  QCOMPARE(BlackRun(image, 11, 22, 0, -1), rim);
  QCOMPARE(BlackRun(image, 0, 11, 1, 0), rim);
  QCOMPARE(BlackRun(image, 22, 11, -1, 0), rim);

  const QImage doubled = Render(MARKER.arg(id), QSize(46, 46));
  for (int y = 0; y < 46; ++y)
    for (int x = 0; x < 46; ++x)
      QVERIFY2(doubled.pixel(x, y) == image.pixel(x / 2, y / 2),
               qPrintable(QStringLiteral("(%1,%2) at 200 %").arg(x).arg(y)));
}

void CPicturesTest::iconsDrawAtEverySizeTheWindowAsks_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<int>("size");
  QTest::addColumn<qreal>("ratio");
  for (int nId : {32783, 32777, 32770, 32771, 32779, 32772, 32773, 32780, 32782, 57664, 32778})
    for (qreal dRatio : {1.0, 2.0})
      QTest::addRow("toolbar %d at %g00 %%", nId, dRatio)
          << QStringLiteral(":/icons/toolbar/%1.svg").arg(nId) << 16 << dRatio;
  for (int nId : {140, 175})
    for (qreal dRatio : {1.0, 2.0})
      QTest::addRow("dialog %d at %g00 %%", nId, dRatio)
          << QStringLiteral(":/icons/dialog/%1.svg").arg(nId) << 32 << dRatio;
  for (int nSize : {16, 32, 48, 64, 128, 256})
    QTest::addRow("app icon %d px", nSize) << ":/icons/app/tarvex-collector.svg" << nSize << 1.0;
}

// Through QIcon, as the window's toolbar and dialogs take them: drawn at the device size asked for
// (not scaled up from a smaller one) and covering a fair part of the square.
void CPicturesTest::iconsDrawAtEverySizeTheWindowAsks() {
  QFETCH(QString, path);
  QFETCH(int, size);
  QFETCH(qreal, ratio);
  const QIcon icon(path);
  QVERIFY(!icon.isNull());
  const QPixmap pixmap = icon.pixmap(QSize(size, size), ratio);
  const int nDevice = qRound(size * ratio);
  QCOMPARE(pixmap.size(), QSize(nDevice, nDevice));
  const int nOpaque = OpaquePixels(pixmap.toImage().convertToFormat(QImage::Format_ARGB32));
  QVERIFY2(nOpaque >= nDevice * nDevice / 8, qPrintable(QString::number(nOpaque)));
}

void CPicturesTest::textsStayInsideTheirMargins_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QRect>("band");
  QTest::addColumn<int>("margin");
  QTest::newRow("145") << ":/pictures/instructions/145.svg" << QRect(0, 0, 253, 196) << 4;
  QTest::newRow("146") << ":/pictures/instructions/146.svg" << QRect(0, 0, 260, 189) << 4;
  for (int nId : {164, 168, 167})
    QTest::addRow("help %d", nId) << QStringLiteral(":/pictures/help/%1.svg").arg(nId) << QRect(0, 325, 512, 59) << 8;
  QTest::newRow("help 165") << ":/pictures/help/165.svg" << QRect(0, 325, 521, 59) << 8;
  QTest::newRow("help 169") << ":/pictures/help/169.svg" << QRect(0, 309, 512, 75) << 8;
}

// The instructions and the help captions are text in DejaVu Sans. Each band holds its text with a
// clear margin on every side: a line that ran long, a line too many or a wider font would show in
// the margin (or be cut off at the picture's edge).
void CPicturesTest::textsStayInsideTheirMargins() {
  QFETCH(QString, path);
  QFETCH(QRect, band);
  QFETCH(int, margin);
  QSvgRenderer renderer(path);
  const QImage image = Render(path, renderer.defaultSize());
  const QRgb background = image.pixel(band.topLeft());
  const QRect inner = band.adjusted(margin, margin, -margin, -margin);
  int nText = 0;
  for (int y = band.top(); y <= band.bottom(); ++y)
    for (int x = band.left(); x <= band.right(); ++x) {
      const bool bInk = image.pixel(x, y) != background;
      QVERIFY2(!bInk || inner.contains(x, y), qPrintable(QStringLiteral("ink at (%1,%2)").arg(x).arg(y)));
      nText += bInk;
    }
  QVERIFY(nText > 500);
}

QTEST_MAIN(CPicturesTest)
#include "PicturesTest.moc"

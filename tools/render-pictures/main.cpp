// render-pictures OUTDIR [FILE.svg ...]
//
// Renders the window's pictures with Qt Svg, as the window renders them, to OUTDIR: each one at
// 100 % and 200 % of its own size as NAME@1x.png and NAME@2x.png, and all of them together on
// contact-sheet.png. Without files it renders every picture built into the program (the ":/icons"
// and ":/pictures" resources); with files it renders those, so a drawing can be checked while it
// is being edited, without a rebuild.

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct _rendered {
  QString strName;
  QImage image1x;
  QImage image2x;
};

QStringList BuiltInPictures() {
  QStringList paths;
  for (const QString &root : {QStringLiteral(":/icons"), QStringLiteral(":/pictures")}) {
    QDirIterator it(root, {QStringLiteral("*.svg")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
      paths << it.next();
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// ":/icons/toolbar/32783.svg" -> "icons-toolbar-32783"; a file on disk keeps its base name.
QString PictureName(const QString &path) {
  if (!path.startsWith(QLatin1String(":/")))
    return QFileInfo(path).completeBaseName();
  QString name = path.mid(2);
  name.chop(4);
  return name.replace(QLatin1Char('/'), QLatin1Char('-'));
}

QImage Render(QSvgRenderer &renderer, int nScale) {
  QImage image(renderer.defaultSize() * nScale, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  renderer.render(&painter);
  return image;
}

// Small pictures (icons, markers) are shown at 200 % beside their 100 %; larger ones at 100 % only.
bool ShowsDoubleOnSheet(const _rendered &picture) { return picture.image1x.width() <= 64; }

// Lays the pictures out in rows no wider than 1600 pixels, with name and size below each, on grey so
// that white and transparent parts can be told apart.
QImage ContactSheet(const std::vector<_rendered> &pictures) {
  const int nGap = 12, nLabel = 16, nMaxWidth = 1600;
  std::vector<QRect> cells;
  int nX = nGap, nY = nGap, nRowHeight = 0, nWidth = 0;
  for (const _rendered &picture : pictures) {
    const QImage &largest = ShowsDoubleOnSheet(picture) ? picture.image2x : picture.image1x;
    QSize size(picture.image1x.width(), largest.height() + nLabel);
    if (ShowsDoubleOnSheet(picture))
      size.rwidth() += nGap / 2 + picture.image2x.width();
    size.setWidth(std::max(size.width(), 8 * static_cast<int>(picture.strName.size())));
    if (nX > nGap && nX + size.width() > nMaxWidth) {
      nX = nGap;
      nY += nRowHeight + nGap;
      nRowHeight = 0;
    }
    cells.emplace_back(QPoint(nX, nY), size);
    nX += size.width() + nGap;
    nWidth = std::max(nWidth, nX);
    nRowHeight = std::max(nRowHeight, size.height());
  }
  QImage sheet(nWidth, nY + nRowHeight + nGap, QImage::Format_RGB32);
  sheet.fill(QColor(0xc8, 0xc8, 0xc8));
  QPainter painter(&sheet);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  painter.setFont(font);
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    const _rendered &picture = pictures[i];
    const QRect &cell = cells[i];
    painter.drawImage(cell.topLeft(), picture.image1x);
    if (ShowsDoubleOnSheet(picture))
      painter.drawImage(cell.topLeft() + QPoint(picture.image1x.width() + nGap / 2, 0), picture.image2x);
    painter.drawText(
        QRect(cell.left(), cell.bottom() - nLabel + 2, cell.width(), nLabel), Qt::AlignLeft,
        QStringLiteral("%1 %2x%3").arg(picture.strName).arg(picture.image1x.width()).arg(picture.image1x.height()));
  }
  return sheet;
}

bool Save(const QImage &image, const QString &path) {
  if (image.save(path))
    return true;
  std::fprintf(stderr, "render-pictures: cannot write %s\n", qPrintable(path));
  return false;
}

} // namespace

int main(int argc, char **argv) {
  QGuiApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  if (args.isEmpty() || args.first().startsWith(QLatin1Char('-'))) {
    std::fprintf(stderr, "usage: render-pictures OUTDIR [FILE.svg ...]\n");
    return 2;
  }
  const QDir outDir(args.takeFirst());
  if (!outDir.mkpath(QStringLiteral("."))) {
    std::fprintf(stderr, "render-pictures: cannot create the folder %s\n", qPrintable(outDir.path()));
    return 1;
  }
  const QStringList paths = args.isEmpty() ? BuiltInPictures() : args;
  std::vector<_rendered> pictures;
  bool bOk = true;
  for (const QString &path : paths) {
    QSvgRenderer renderer(path);
    if (!renderer.isValid()) {
      std::fprintf(stderr, "render-pictures: %s is not a picture Qt Svg can draw\n", qPrintable(path));
      bOk = false;
      continue;
    }
    _rendered picture{PictureName(path), Render(renderer, 1), Render(renderer, 2)};
    bOk &= Save(picture.image1x, outDir.filePath(picture.strName + QLatin1String("@1x.png")));
    bOk &= Save(picture.image2x, outDir.filePath(picture.strName + QLatin1String("@2x.png")));
    pictures.push_back(std::move(picture));
  }
  if (!pictures.empty())
    bOk &= Save(ContactSheet(pictures), outDir.filePath(QStringLiteral("contact-sheet.png")));
  return bOk ? 0 : 1;
}

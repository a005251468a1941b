// Opening a floor plan of 8000 x 6000 pixels (24-bit), timed in one run three ways:
//   (a) CSiteProjection::Load of the .gpf made from it (section copy, decode, side files written);
//   (b) QImage::load of the same picture saved as PNG;
//   (c) a naive decoder of the same stream file: one-byte reads, one bit per step, the way the
//       stream format describes the walk.
// Prints the three times and the ratios a/b (target <= 1.0) and c/a (target >= 10).
//
//   bench_projection [--repeat N] [--keep DIR]
#include "platform/File.h"
#include "platform/LittleEndian.h"
#include "projection/BitmapFile.h"
#include "projection/Compression.h"
#include "projection/ProjectionWriter.h"
#include "projection/SiteProjection.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int PLAN_WIDTH = 8000;
constexpr int PLAN_HEIGHT = 6000;

// An office building at 1 px = 1 cm: outer walls, two corridors across and one along, rooms of
// varied widths with doors, windows, furniture, some coloured floors, stairs and labels, drawn
// antialiased as a CAD export or a scanned plan would be.
QImage DrawFloorPlan() {
  QImage image(PLAN_WIDTH, PLAN_HEIGHT, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  std::mt19937 rng(2024);
  const auto random = [&rng](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo)); };

  const QRect building(200, 200, 7600, 5600);
  const std::vector<QRect> corridors = {QRect(200, 2000, 7600, 300), QRect(200, 3700, 7600, 300),
                                        QRect(3900, 200, 300, 5600)};
  for (const QRect &c : corridors) {
    p.fillRect(c, QColor(236, 236, 236));
  }

  const QColor palette[] = {QColor(232, 240, 251), QColor(227, 244, 241), QColor(253, 238, 221), QColor(244, 244, 244),
                            QColor(240, 232, 246)};
  const QPen wall(Qt::black, 14, Qt::SolidLine, Qt::SquareCap);
  const QPen thin(QColor(90, 90, 90), 4);
  QFont font("DejaVu Sans");
  font.setPixelSize(60);
  p.setFont(font);

  // Blocks between the corridors, each split into rooms along its corridor side.
  const std::vector<std::pair<int, int>> bands = {{200, 2000}, {2300, 3700}, {4000, 5800}};
  const std::vector<std::pair<int, int>> sides = {{200, 3900}, {4200, 7800}};
  int nRoom = 0;
  for (size_t nBand = 0; nBand < bands.size(); ++nBand) {
    const auto [top, bottom] = bands[nBand];
    for (const auto &[left, right] : sides) {
      int x = left;
      while (x < right) {
        int nWidth = random(500, 1100);
        if (right - (x + nWidth) < 500) {
          nWidth = right - x;
        }
        const QRect room(x, top, nWidth, bottom - top);
        ++nRoom;
        if (rng() % 3 == 0) {
          p.fillRect(room.adjusted(7, 7, -7, -7), palette[rng() % 5]);
        }
        // Furniture: desks with chairs, a table now and then.
        p.setPen(thin);
        for (int d = 0; d < random(2, 7); ++d) {
          const int dx = x + random(60, std::max(61, nWidth - 260));
          const int dy = top + random(120, bottom - top - 260);
          p.setBrush(QColor(220, 220, 220));
          p.drawRect(dx, dy, 180, 80);
          p.setBrush(QColor(200, 200, 200));
          p.drawEllipse(QPoint(dx + 90, dy + 130), 30, 30);
        }
        if (rng() % 4 == 0) {
          p.setBrush(QColor(216, 198, 164));
          p.drawEllipse(room.center(), std::min(nWidth / 4, 220), 140);
        }
        if (nRoom % 17 == 5) { // stairs
          p.setPen(QPen(QColor(150, 150, 150), 5));
          for (int y = top + 150; y < bottom - 100; y += 45) {
            p.drawLine(x + 60, y, x + nWidth - 60, y);
          }
        }
        p.setBrush(Qt::NoBrush);

        // The wall to the next room and the door onto the corridor.
        p.setPen(wall);
        p.drawLine(x + nWidth, top, x + nWidth, bottom);
        const bool bDoorBelow = nBand == 0 || (nBand == 1 && rng() % 2 == 0);
        const int nDoorX = x + random(40, std::max(41, nWidth - 160));
        const int nDoorY = bDoorBelow ? bottom : top;
        p.fillRect(nDoorX, nDoorY - 8, 100, 16, Qt::white);
        p.setPen(thin);
        const int nSwing = bDoorBelow ? -100 : 100;
        p.drawLine(nDoorX, nDoorY, nDoorX, nDoorY + nSwing);
        QPainterPath arc;
        arc.moveTo(nDoorX, nDoorY + nSwing);
        arc.arcTo(QRectF(nDoorX - 100, nDoorY - 100, 200, 200), bDoorBelow ? 90 : 270, bDoorBelow ? -90 : 90);
        p.drawPath(arc);

        p.setPen(QColor(30, 30, 30));
        p.drawText(room.adjusted(0, 0, 0, -(bottom - top) / 3), Qt::AlignCenter,
                   QString("Room %1.%2").arg(nBand + 1).arg(nRoom, 2, 10, QChar('0')));
        x += nWidth;
      }
    }
  }

  p.setPen(wall);
  for (const QRect &c : corridors) {
    if (c.width() > c.height()) {
      p.drawLine(c.left(), c.top(), c.right(), c.top());
      p.drawLine(c.left(), c.bottom(), c.right(), c.bottom());
    } else {
      p.drawLine(c.left(), c.top(), c.left(), c.bottom());
      p.drawLine(c.right(), c.top(), c.right(), c.bottom());
    }
  }
  p.setPen(QPen(Qt::black, 30));
  p.drawRect(building);
  // Windows along the outer walls.
  p.setPen(QPen(QColor(58, 123, 213), 5));
  p.setBrush(Qt::white);
  for (int x = 400; x < 7600; x += 700) {
    p.drawRect(x, 188, 400, 24);
    p.drawRect(x, 5788, 400, 24);
  }
  for (int y = 400; y < 5600; y += 700) {
    p.drawRect(188, y, 24, 400);
    p.drawRect(7788, y, 24, 400);
  }
  font.setPixelSize(90);
  p.setFont(font);
  p.setPen(QColor(110, 110, 110));
  p.drawText(QRect(200, 2000, 3700, 300), Qt::AlignCenter, "CORRIDOR A");
  p.drawText(QRect(4200, 3700, 3600, 300), Qt::AlignCenter, "CORRIDOR B");
  p.setPen(Qt::black);
  p.drawText(QPoint(220, 150), "Benchmark site: office building, level 2");
  p.end();
  return image;
}

// The decoder written the plain way: the stream read one byte per call, the tree walked one bit
// per step, decoded bytes written in blocks of 25000 and the padding one byte per write.
uint64_t NaiveDecode(const std::string &strInput, const std::string &strOutput) {
  CFile input;
  input.OpenOrThrow(strInput, CFile::modeRead | CFile::shareDenyWrite);
  CFile output;
  output.OpenOrThrow(strOutput, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
  uint8_t header[COMPRESSION_HEADER_SIZE];
  input.ReadExactly(header, 8);
  input.ReadExactly(header + 8, COMPRESSION_HEADER_SIZE - 8);
  CCompression tree("", "");
  tree.m_nWeights.fill(0);
  for (int i = 0; i < 256; ++i) {
    tree.m_nWeights[i] = ReadUInt32LE(header + 8 + 4 * i);
  }
  tree.BuildTree();
  const uint32_t nDecodedLength = ReadUInt32LE(header + 4);

  std::vector<uint8_t> block(25000);
  int nPosition = -1;
  uint64_t nCount = 0;
  int nNode = -1;
  uint8_t cByte = 0;
  while (input.Read(&cByte, 1) == 1) {
    uint8_t nMask = 0x01;
    for (int nBit = 0; nBit < 8; ++nBit) {
      if (nNode == -1) {
        nNode = tree.m_nRoot;
      }
      nNode = (cByte & nMask) != 0 ? tree.m_Node[nNode].m_nRight : tree.m_Node[nNode].m_nLeft;
      nMask = static_cast<uint8_t>(nMask << 1);
      if (tree.m_Node[nNode].m_bLeaf != 0) {
        block[static_cast<size_t>(++nPosition)] = tree.m_Node[nNode].m_cSymbol;
        ++nCount;
        nNode = -1;
        if (nPosition == 24999) {
          output.Write(block.data(), 25000);
          nPosition = -1;
        }
      }
    }
  }
  if (nPosition >= 0) {
    output.Write(block.data(), static_cast<uint32_t>(nPosition + 1));
  }
  const uint8_t cPad = 0xFF;
  for (uint64_t n = nCount; n < nDecodedLength; ++n) {
    output.Write(&cPad, 1);
  }
  output.Close();
  return nCount;
}

double Seconds(const std::function<void()> &run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

bool SameFiles(const std::string &a, const std::string &b) {
  std::ifstream fa(a, std::ios::binary);
  std::ifstream fb(b, std::ios::binary);
  return std::equal(std::istreambuf_iterator<char>(fa), std::istreambuf_iterator<char>(),
                    std::istreambuf_iterator<char>(fb), std::istreambuf_iterator<char>());
}

} // namespace

int main(int argc, char **argv) {
  int nRepeat = 5;
  std::string strKeep;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      nRepeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) {
      strKeep = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--repeat N] [--keep DIR]\n", argv[0]);
      return 2;
    }
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication application(argc, argv);
  QImageReader::setAllocationLimit(1024); // the plan takes 192 MB as a QImage

  const fs::path dir =
      strKeep.empty() ? fs::temp_directory_path() / ("tarvex-bench-" + std::to_string(::getpid())) : fs::path(strKeep);
  fs::create_directories(dir);
  const std::string png = (dir / "plan.png").string();
  const std::string gpf = (dir / "plan.gpf").string();

  std::printf("generating a %d x %d floor plan ...\n", PLAN_WIDTH, PLAN_HEIGHT);
  const QImage plan = DrawFloorPlan();
  if (!plan.save(QString::fromStdString(png))) {
    std::fprintf(stderr, "cannot write %s\n", png.c_str());
    return 1;
  }
  const QImage rgb = plan.convertToFormat(QImage::Format_RGB888);
  const std::vector<uint8_t> bitmap = MakeBitmapFile24(PLAN_WIDTH, PLAN_HEIGHT, rgb.constBits(), rgb.bytesPerLine());
  const _transform transform{0, 2477632.48, -3710575.14, 0, -28678991.5, 178618281.8};
  WriteProjectionFile(gpf, PROJECTION_GEO, transform, bitmap.data(), bitmap.size());
  std::printf("bitmap %zu bytes, projection %ju bytes (section %.1f%% of the bitmap), PNG %ju bytes\n", bitmap.size(),
              static_cast<uintmax_t>(fs::file_size(gpf)),
              100.0 * static_cast<double>(fs::file_size(gpf)) / bitmap.size(),
              static_cast<uintmax_t>(fs::file_size(png)));

  // One untimed round of each so both start from the page cache.
  CSiteProjection projection;
  projection.Load(gpf);
  QImage loaded;
  loaded.load(QString::fromStdString(png));
  if (loaded.size() != plan.size()) {
    std::fprintf(stderr, "Qt could not read the PNG back\n");
    return 1;
  }

  std::vector<double> loads;
  std::vector<double> pngs;
  for (int i = 0; i < nRepeat; ++i) {
    loads.push_back(Seconds([&] { projection.Load(gpf); }));
    pngs.push_back(Seconds([&] {
      QImage image;
      image.load(QString::fromStdString(png));
    }));
  }
  const double a = Median(loads);
  const double b = Median(pngs);
  {
    std::ifstream decoded(projection.m_strBitmapPath, std::ios::binary);
    if (!std::equal(bitmap.begin(), bitmap.end(), std::istreambuf_iterator<char>(decoded),
                    [](uint8_t x, char y) { return x == static_cast<uint8_t>(y); })) {
      std::fprintf(stderr, "the decoded bitmap differs from the plan\n");
      return 1;
    }
  }

  std::printf("naive decode (one-byte reads, one bit per step) ...\n");
  const std::string naive = (dir / "plan.naive.bmp").string();
  const double c = Seconds([&] { NaiveDecode(gpf + "c", naive); });
  const bool bSame = SameFiles(naive, projection.m_strBitmapPath);

  std::printf("(a) CSiteProjection::Load           %8.3f s  (median of %d)\n", a, nRepeat);
  std::printf("(b) QImage::load of the PNG          %8.3f s  (median of %d)\n", b, nRepeat);
  std::printf("(c) naive decode of the stream       %8.3f s  (one run)\n", c);
  std::printf("a/b = %.3f  (target <= 1.0: %s)\n", a / b, a / b <= 1.0 ? "met" : "MISSED");
  std::printf("c/a = %.1f  (target >= 10: %s)\n", c / a, c / a >= 10 ? "met" : "MISSED");
  std::printf("naive and table-driven decodes %s\n", bSame ? "are identical" : "DIFFER");

  if (strKeep.empty()) {
    fs::remove_all(dir);
  }
  return bSame ? 0 : 1;
}

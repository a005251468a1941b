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
// antialiased as a CAD export or a scanned plan would be. One seeded generator drives every
// random choice, so the drawing steps below keep their order and the plan stays the same per run.
class CFloorPlanPainter {
public:
  explicit CFloorPlanPainter(QImage &image) : m_Painter(&image), m_Rng(2024) {
    m_Painter.setRenderHint(QPainter::Antialiasing);
    m_Painter.setRenderHint(QPainter::TextAntialiasing);
    m_Font.setPixelSize(60);
    m_Painter.setFont(m_Font);
  }

  void Draw() {
    for (const QRect &c : m_Corridors) {
      m_Painter.fillRect(c, QColor(236, 236, 236));
    }
    DrawRooms();
    DrawCorridorWalls();
    DrawOuterWalls();
    DrawLabels();
    m_Painter.end();
  }

private:
  int Random(int lo, int hi) { return lo + static_cast<int>(m_Rng() % static_cast<unsigned>(hi - lo)); }

  // Blocks between the corridors, each split into rooms along its corridor side.
  void DrawRooms() {
    const std::vector<std::pair<int, int>> bands = {{200, 2000}, {2300, 3700}, {4000, 5800}};
    const std::vector<std::pair<int, int>> sides = {{200, 3900}, {4200, 7800}};
    for (size_t nBand = 0; nBand < bands.size(); ++nBand) {
      const auto [top, bottom] = bands[nBand];
      for (const auto &[left, right] : sides) {
        int x = left;
        while (x < right) {
          int nWidth = Random(500, 1100);
          if (right - (x + nWidth) < 500) {
            nWidth = right - x;
          }
          ++m_nRoom;
          DrawRoom(nBand, x, nWidth, top, bottom);
          x += nWidth;
        }
      }
    }
  }

  void DrawRoom(size_t nBand, int x, int nWidth, int top, int bottom) {
    const QRect room(x, top, nWidth, bottom - top);
    if (m_Rng() % 3 == 0) {
      m_Painter.fillRect(room.adjusted(7, 7, -7, -7), m_Palette[m_Rng() % 5]);
    }
    DrawFurniture(room, x, nWidth, top, bottom);
    m_Painter.setBrush(Qt::NoBrush);

    // The wall to the next room and the door onto the corridor.
    m_Painter.setPen(m_Wall);
    m_Painter.drawLine(x + nWidth, top, x + nWidth, bottom);
    const bool bDoorBelow = nBand == 0 || (nBand == 1 && m_Rng() % 2 == 0);
    const int nDoorX = x + Random(40, std::max(41, nWidth - 160));
    DrawDoor(nDoorX, bDoorBelow ? bottom : top, bDoorBelow);

    m_Painter.setPen(QColor(30, 30, 30));
    m_Painter.drawText(room.adjusted(0, 0, 0, -(bottom - top) / 3), Qt::AlignCenter,
                       QString("Room %1.%2").arg(nBand + 1).arg(m_nRoom, 2, 10, QChar('0')));
  }

  // Furniture: desks with chairs, a table now and then; stairs in every seventeenth room.
  void DrawFurniture(const QRect &room, int x, int nWidth, int top, int bottom) {
    m_Painter.setPen(m_Thin);
    for (int d = 0; d < Random(2, 7); ++d) {
      const int dx = x + Random(60, std::max(61, nWidth - 260));
      const int dy = top + Random(120, bottom - top - 260);
      m_Painter.setBrush(QColor(220, 220, 220));
      m_Painter.drawRect(dx, dy, 180, 80);
      m_Painter.setBrush(QColor(200, 200, 200));
      m_Painter.drawEllipse(QPoint(dx + 90, dy + 130), 30, 30);
    }
    if (m_Rng() % 4 == 0) {
      m_Painter.setBrush(QColor(216, 198, 164));
      m_Painter.drawEllipse(room.center(), std::min(nWidth / 4, 220), 140);
    }
    if (m_nRoom % 17 == 5) { // stairs
      m_Painter.setPen(QPen(QColor(150, 150, 150), 5));
      for (int y = top + 150; y < bottom - 100; y += 45) {
        m_Painter.drawLine(x + 60, y, x + nWidth - 60, y);
      }
    }
  }

  // The gap in the wall and the door's leaf and swing, opening into the room.
  void DrawDoor(int nDoorX, int nDoorY, bool bDoorBelow) {
    m_Painter.fillRect(nDoorX, nDoorY - 8, 100, 16, Qt::white);
    m_Painter.setPen(m_Thin);
    const int nSwing = bDoorBelow ? -100 : 100;
    m_Painter.drawLine(nDoorX, nDoorY, nDoorX, nDoorY + nSwing);
    QPainterPath arc;
    arc.moveTo(nDoorX, nDoorY + nSwing);
    arc.arcTo(QRectF(nDoorX - 100, nDoorY - 100, 200, 200), bDoorBelow ? 90 : 270, bDoorBelow ? -90 : 90);
    m_Painter.drawPath(arc);
  }

  void DrawCorridorWalls() {
    m_Painter.setPen(m_Wall);
    for (const QRect &c : m_Corridors) {
      if (c.width() > c.height()) {
        m_Painter.drawLine(c.left(), c.top(), c.right(), c.top());
        m_Painter.drawLine(c.left(), c.bottom(), c.right(), c.bottom());
      } else {
        m_Painter.drawLine(c.left(), c.top(), c.left(), c.bottom());
        m_Painter.drawLine(c.right(), c.top(), c.right(), c.bottom());
      }
    }
  }

  // The building's outline and the windows along it.
  void DrawOuterWalls() {
    m_Painter.setPen(QPen(Qt::black, 30));
    m_Painter.drawRect(QRect(200, 200, 7600, 5600));
    m_Painter.setPen(QPen(QColor(58, 123, 213), 5));
    m_Painter.setBrush(Qt::white);
    for (int x = 400; x < 7600; x += 700) {
      m_Painter.drawRect(x, 188, 400, 24);
      m_Painter.drawRect(x, 5788, 400, 24);
    }
    for (int y = 400; y < 5600; y += 700) {
      m_Painter.drawRect(188, y, 24, 400);
      m_Painter.drawRect(7788, y, 24, 400);
    }
  }

  void DrawLabels() {
    m_Font.setPixelSize(90);
    m_Painter.setFont(m_Font);
    m_Painter.setPen(QColor(110, 110, 110));
    m_Painter.drawText(QRect(200, 2000, 3700, 300), Qt::AlignCenter, "CORRIDOR A");
    m_Painter.drawText(QRect(4200, 3700, 3600, 300), Qt::AlignCenter, "CORRIDOR B");
    m_Painter.setPen(Qt::black);
    m_Painter.drawText(QPoint(220, 150), "Benchmark site: office building, level 2");
  }

  QPainter m_Painter;
  std::mt19937 m_Rng;
  int m_nRoom = 0;
  QFont m_Font{"DejaVu Sans"};
  const std::vector<QRect> m_Corridors = {QRect(200, 2000, 7600, 300), QRect(200, 3700, 7600, 300),
                                          QRect(3900, 200, 300, 5600)};
  const QColor m_Palette[5] = {QColor(232, 240, 251), QColor(227, 244, 241), QColor(253, 238, 221),
                               QColor(244, 244, 244), QColor(240, 232, 246)};
  const QPen m_Wall{Qt::black, 14, Qt::SolidLine, Qt::SquareCap};
  const QPen m_Thin{QColor(90, 90, 90), 4};
};

QImage DrawFloorPlan() {
  QImage image(PLAN_WIDTH, PLAN_HEIGHT, QImage::Format_RGB32);
  image.fill(Qt::white);
  CFloorPlanPainter(image).Draw();
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

struct _options {
  int nRepeat = 5;
  std::string strKeep;
};

// Reads --repeat and --keep; prints the usage and returns false on anything else.
bool ParseOptions(int argc, char **argv, _options &options) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      options.nRepeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc) {
      options.strKeep = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--repeat N] [--keep DIR]\n", argv[0]);
      return false;
    }
  }
  return true;
}

// Saves the plan as PNG and as a projection file, and returns the 24-bit bitmap the projection
// holds; false (with a message) when the PNG cannot be written.
bool WritePlanFiles(const QImage &plan, const std::string &png, const std::string &gpf, std::vector<uint8_t> &bitmap) {
  if (!plan.save(QString::fromStdString(png))) {
    std::fprintf(stderr, "cannot write %s\n", png.c_str());
    return false;
  }
  const QImage rgb = plan.convertToFormat(QImage::Format_RGB888);
  bitmap = MakeBitmapFile24(PLAN_WIDTH, PLAN_HEIGHT, rgb.constBits(), rgb.bytesPerLine());
  const _transform transform{0, 2477632.48, -3710575.14, 0, -28678991.5, 178618281.8};
  WriteProjectionFile(gpf, PROJECTION_GEO, transform, bitmap.data(), bitmap.size());
  std::printf("bitmap %zu bytes, projection %ju bytes (section %.1f%% of the bitmap), PNG %ju bytes\n", bitmap.size(),
              static_cast<uintmax_t>(fs::file_size(gpf)),
              100.0 * static_cast<double>(fs::file_size(gpf)) / bitmap.size(),
              static_cast<uintmax_t>(fs::file_size(png)));
  return true;
}

// One untimed round of each so both start from the page cache; false when Qt cannot read the PNG.
bool WarmUp(CSiteProjection &projection, const std::string &gpf, const std::string &png, const QSize &size) {
  projection.Load(gpf);
  QImage loaded;
  loaded.load(QString::fromStdString(png));
  if (loaded.size() != size) {
    std::fprintf(stderr, "Qt could not read the PNG back\n");
    return false;
  }
  return true;
}

struct _loadtimes {
  double dProjection = 0; // (a), median
  double dPng = 0;        // (b), median
};

_loadtimes TimeLoads(CSiteProjection &projection, const std::string &gpf, const std::string &png, int nRepeat) {
  std::vector<double> loads;
  std::vector<double> pngs;
  for (int i = 0; i < nRepeat; ++i) {
    loads.push_back(Seconds([&] { projection.Load(gpf); }));
    pngs.push_back(Seconds([&] {
      QImage image;
      image.load(QString::fromStdString(png));
    }));
  }
  return {Median(loads), Median(pngs)};
}

bool FileHolds(const std::string &strPath, const std::vector<uint8_t> &bytes) {
  std::ifstream file(strPath, std::ios::binary);
  return std::equal(bytes.begin(), bytes.end(), std::istreambuf_iterator<char>(file),
                    [](uint8_t x, char y) { return x == static_cast<uint8_t>(y); });
}

void PrintResults(const _loadtimes &times, double c, int nRepeat, bool bSame) {
  const double a = times.dProjection;
  const double b = times.dPng;
  std::printf("(a) CSiteProjection::Load           %8.3f s  (median of %d)\n", a, nRepeat);
  std::printf("(b) QImage::load of the PNG          %8.3f s  (median of %d)\n", b, nRepeat);
  std::printf("(c) naive decode of the stream       %8.3f s  (one run)\n", c);
  std::printf("a/b = %.3f  (target <= 1.0: %s)\n", a / b, a / b <= 1.0 ? "met" : "MISSED");
  std::printf("c/a = %.1f  (target >= 10: %s)\n", c / a, c / a >= 10 ? "met" : "MISSED");
  std::printf("naive and table-driven decodes %s\n", bSame ? "are identical" : "DIFFER");
}

} // namespace

int main(int argc, char **argv) {
  _options options;
  if (!ParseOptions(argc, argv, options)) {
    return 2;
  }
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QGuiApplication application(argc, argv);
  QImageReader::setAllocationLimit(1024); // the plan takes 192 MB as a QImage

  const fs::path dir = options.strKeep.empty()
                           ? fs::temp_directory_path() / ("tarvex-bench-" + std::to_string(::getpid()))
                           : fs::path(options.strKeep);
  fs::create_directories(dir);
  const std::string png = (dir / "plan.png").string();
  const std::string gpf = (dir / "plan.gpf").string();

  std::printf("generating a %d x %d floor plan ...\n", PLAN_WIDTH, PLAN_HEIGHT);
  const QImage plan = DrawFloorPlan();
  std::vector<uint8_t> bitmap;
  CSiteProjection projection;
  if (!WritePlanFiles(plan, png, gpf, bitmap) || !WarmUp(projection, gpf, png, plan.size())) {
    return 1;
  }

  const _loadtimes times = TimeLoads(projection, gpf, png, options.nRepeat);
  if (!FileHolds(projection.m_strBitmapPath, bitmap)) {
    std::fprintf(stderr, "the decoded bitmap differs from the plan\n");
    return 1;
  }

  std::printf("naive decode (one-byte reads, one bit per step) ...\n");
  const std::string naive = (dir / "plan.naive.bmp").string();
  const double c = Seconds([&] { NaiveDecode(gpf + "c", naive); });
  const bool bSame = SameFiles(naive, projection.m_strBitmapPath);
  PrintResults(times, c, options.nRepeat, bSame);

  if (options.strKeep.empty()) {
    fs::remove_all(dir);
  }
  return bSame ? 0 : 1;
}

// Snapshots and printing: the files are decoded and compared with the view as it is drawn; the
// names offered, cancelling, failed writes, and printing to PDF through a scripted print dialog.
#include "tests/app/MapFixture.h"

#include "app/SnapshotFile.h"
#include "tests/support/ScriptedPrompts.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

#include <cstring>

using namespace map_fixture;

namespace {

uint32_t UInt32At(const QByteArray &bytes, int nOffset) {
  uint32_t n = 0;
  for (int i = 3; i >= 0; --i) {
    n = (n << 8) | static_cast<uint8_t>(bytes[nOffset + i]);
  }
  return n;
}

uint16_t UInt16At(const QByteArray &bytes, int nOffset) {
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[nOffset]) | static_cast<uint8_t>(bytes[nOffset + 1]) << 8);
}

QByteArray ReadAll(const QString &strPath) {
  QFile file(strPath);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A view with a plan, a survey of two segments and the measuring line: everything the view draws.
std::unique_ptr<CTarvexCollectorView> BusyView(const QTemporaryDir &dir) {
  auto pView = MakeView(321, 203); // odd width: rows of 963 bytes padded to 964
  if (pView) {
    LoadPlan(*pView, CoordinatePlan(900, 700));
    if (!OpenSurvey(*pView, dir, {{QPoint(40, 50), QPoint(200, 60)}, {QPoint(250, 150), QPoint(100, 180)}})) {
      return nullptr;
    }
    ViewDialog<CSegmentDataDialog>(*pView).m_nSegment = 2;
    // Measuring: a press at (10, 190) held and moved to (300, 20).
    pView->OnMeasureDistance();
    QTest::mousePress(pView->viewport(), Qt::LeftButton, {}, QPoint(10, 190));
    const QPoint pt(300, 20);
    QMouseEvent move(QEvent::MouseMove, QPointF(pt), QPointF(pView->viewport()->mapToGlobal(pt)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pView->viewport(), &move);
  }
  return pView;
}

// The largest difference of a channel between two pictures of one size.
int LargestDifference(const QImage &a, const QImage &b) {
  int nLargest = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const QRgb pa = a.pixel(x, y);
      const QRgb pb = b.pixel(x, y);
      nLargest = std::max({nLargest, std::abs(qRed(pa) - qRed(pb)), std::abs(qGreen(pa) - qGreen(pb)),
                           std::abs(qBlue(pa) - qBlue(pb))});
    }
  }
  return nLargest;
}

} // namespace

class CMapSnapshotTest : public QObject {
  Q_OBJECT

private slots:
  // The picture saved is the one the view paints.
  void renderedViewIsThePaintedOne() {
    QTemporaryDir dir;
    auto pView = BusyView(dir);
    QVERIFY(pView);
    const QImage rendered = pView->RenderView().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(rendered.size(), QSize(321, 203));
    QCOMPARE(rendered, Shown(*pView));
  }

  // A .bmp name writes the 24-bit BMP byte by byte as laid out: the file header, the information
  // header, and bottom-up rows of blue, green, red padded to 4 bytes.
  void bmpLayout() {
    QTemporaryDir dir;
    auto pView = BusyView(dir);
    QVERIFY(pView);
    CScriptedPrompts prompts;
    const QString strPath = dir.filePath("view.bmp");
    prompts.AnswerFile(strPath);
    pView->OnSnapshot();
    QVERIFY2(prompts.Problems().isEmpty(), qPrintable(prompts.Problems().join('\n')));
    QVERIFY(prompts.MessageTexts().isEmpty());
    const QByteArray bytes = ReadAll(strPath);
    const int nRow = 964;
    const int nImage = nRow * 203;
    QCOMPARE(bytes.size(), 14 + 40 + nImage);
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(UInt32At(bytes, 2), uint32_t(14 + 40 + nImage));
    QCOMPARE(UInt32At(bytes, 6), 0U);
    QCOMPARE(UInt32At(bytes, 10), 54U);
    QCOMPARE(UInt32At(bytes, 14), 40U);
    QCOMPARE(UInt32At(bytes, 18), 321U);
    QCOMPARE(UInt32At(bytes, 22), 203U);
    QCOMPARE(UInt16At(bytes, 26), uint16_t(1));
    QCOMPARE(UInt16At(bytes, 28), uint16_t(24));
    QCOMPARE(UInt32At(bytes, 30), 0U);
    QCOMPARE(UInt32At(bytes, 34), uint32_t(nImage));
    const QImage shown = Shown(*pView);
    for (int y = 0; y < 203; ++y) {
      const int nRowStart = 54 + (202 - y) * nRow;
      for (int x = 0; x < 321; ++x) {
        const QRgb pixel = shown.pixel(x, y);
        const char *p = bytes.constData() + nRowStart + 3 * x;
        QVERIFY(static_cast<uint8_t>(p[0]) == qBlue(pixel) && static_cast<uint8_t>(p[1]) == qGreen(pixel) &&
                static_cast<uint8_t>(p[2]) == qRed(pixel));
      }
      QCOMPARE(bytes[nRowStart + 963], '\0');
    }
    // And any reader takes it for the same picture.
    QCOMPARE(QImage(strPath).convertToFormat(QImage::Format_RGB32), shown);
  }

  // .png and .jpg write those formats: PNG exactly the view, JPEG close to it.
  void otherFormats_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("magic");
    QTest::addColumn<int>("tolerance");
    QTest::newRow("png") << "view.png" << QByteArray("\x89PNG", 4) << 0;
    // JPEG smears the markers' sharp colour edges: no bound on a single pixel.
    QTest::newRow("jpg") << "view.jpg" << QByteArray("\xFF\xD8\xFF", 3) << 255;
    QTest::newRow("JPEG") << "VIEW.JPEG" << QByteArray("\xFF\xD8\xFF", 3) << 255;
  }
  void otherFormats() {
    QFETCH(QString, name);
    QFETCH(QByteArray, magic);
    QFETCH(int, tolerance);
    QTemporaryDir dir;
    auto pView = BusyView(dir);
    QVERIFY(pView);
    CScriptedPrompts prompts;
    prompts.AnswerFile(dir.filePath(name));
    pView->OnSnapshot();
    QVERIFY(prompts.MessageTexts().isEmpty());
    QVERIFY(ReadAll(dir.filePath(name)).startsWith(magic));
    const QImage decoded = QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32);
    const QImage shown = Shown(*pView);
    QCOMPARE(decoded.size(), shown.size());
    QVERIFY(LargestDifference(decoded, shown) <= tolerance);
    // A JPEG is close on the whole: its mean error is small.
    qint64 nTotal = 0;
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) {
        nTotal += std::abs(qGray(decoded.pixel(x, y)) - qGray(shown.pixel(x, y)));
      }
    }
    QVERIFY2(nTotal <= qint64(shown.width()) * shown.height() * 2, qPrintable(QString::number(nTotal)));
  }

  // The first snapshot offers TC00001.bmp; a cancelled one still counts. The dialog offers the
  // three formats with bmp added to a name without an extension.
  void namesCountEvenWhenCancelled() {
    QTemporaryDir dir;
    auto pView = BusyView(dir);
    QVERIFY(pView);
    CScriptedPrompts prompts;
    prompts.AnswerFile({});
    prompts.AnswerFile(dir.filePath("TC00002.bmp"));
    prompts.AnswerFile({});
    pView->OnSnapshot();
    pView->OnSnapshot();
    pView->OnSnapshot();
    QVERIFY(prompts.Problems().isEmpty());
    QCOMPARE(prompts.Shown().size(), 3);
    QCOMPARE(prompts.Shown()[0].file.strFileName, QString("TC00001.bmp"));
    QCOMPARE(prompts.Shown()[1].file.strFileName, QString("TC00002.bmp"));
    QCOMPARE(prompts.Shown()[2].file.strFileName, QString("TC00003.bmp"));
    const _fileprompt &file = prompts.Shown()[0].file;
    QCOMPARE(file.nKind, _fileprompt::save);
    QCOMPARE(file.filters, (QStringList{"Bitmap File (*.bmp)", "JPEG File (*.jpg)", "PNG File (*.png)"}));
    QCOMPARE(file.strDefaultSuffix, QString("bmp"));
    QVERIFY(QFile::exists(dir.filePath("TC00002.bmp")));
    QCOMPARE(QDir(dir.path()).entryList({"*.bmp"}), QStringList{"TC00002.bmp"});
  }

  // A file that cannot be written: the operator is told which and why; nothing is left behind,
  // and a file already there is kept as it was.
  void failedWriteIsReported() {
    QTemporaryDir dir;
    auto pView = BusyView(dir);
    QVERIFY(pView);
    CScriptedPrompts prompts;
    const QString strMissing = dir.filePath("no such folder/view.bmp");
    prompts.AnswerFile(strMissing);
    prompts.AnswerMessage(PROMPT_ANSWER_OK);
    pView->OnSnapshot();
    QVERIFY(prompts.Problems().isEmpty());
    QCOMPARE(prompts.MessageTexts().size(), 1);
    const QString strText = prompts.MessageTexts().front();
    QVERIFY2(strText.startsWith(QString("The snapshot could not be saved to \"%1\": ").arg(strMissing)),
             qPrintable(strText));
    QVERIFY(strText.size() > QString("The snapshot could not be saved to \"%1\": .").arg(strMissing).size());
    QVERIFY(!QFile::exists(strMissing));

    // A folder that refuses writing (unless the tests run as a user whom nothing refuses).
    const QString strLocked = dir.filePath("locked");
    QVERIFY(QDir(dir.path()).mkdir("locked"));
    QFile::setPermissions(strLocked, QFile::ReadOwner | QFile::ExeOwner);
    if (QFile probe(strLocked + "/probe"); probe.open(QIODevice::WriteOnly)) {
      probe.remove();
    } else {
      prompts.Clear();
      prompts.AnswerFile(strLocked + "/view.png");
      prompts.AnswerMessage(PROMPT_ANSWER_OK);
      pView->OnSnapshot();
      QCOMPARE(prompts.MessageTexts().size(), 1);
      QVERIFY(prompts.MessageTexts().front().contains(strLocked + "/view.png"));
    }
    QFile::setPermissions(strLocked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  // A client area with nothing in it: nothing to save, and the operator is told so.
  void emptyViewSavesNothing() {
    QTemporaryDir dir;
    auto pView = BusyView(dir);
    QVERIFY(pView);
    pView->viewport()->resize(0, 0);
    CScriptedPrompts prompts;
    prompts.AnswerMessage(PROMPT_ANSWER_OK, "The view has no area to take a snapshot of, so nothing was saved.");
    pView->OnSnapshot();
    QVERIFY(prompts.Problems().isEmpty());
    QCOMPARE(prompts.Shown().size(), 1);
    // Nothing was asked for: the next snapshot is still offered the first name.
    pView->viewport()->resize(321, 203);
    prompts.AnswerFile({});
    pView->OnSnapshot();
    QCOMPARE(prompts.Shown().size(), 2);
    QCOMPARE(prompts.Shown()[1].file.strFileName, QString("TC00001.bmp"));
  }

  // Format by extension; an unknown one gets the BMP the snapshot is offered as.
  void formatByExtension() {
    QCOMPARE(SnapshotFormatOf("a/b.BMP"), SNAPSHOT_BMP);
    QCOMPARE(SnapshotFormatOf("b.jpg"), SNAPSHOT_JPEG);
    QCOMPARE(SnapshotFormatOf("b.Jpeg"), SNAPSHOT_JPEG);
    QCOMPARE(SnapshotFormatOf("b.png"), SNAPSHOT_PNG);
    QCOMPARE(SnapshotFormatOf("b.tiff"), SNAPSHOT_BMP);
    QCOMPARE(SnapshotFormatOf("b"), SNAPSHOT_BMP);
  }

  // Printed through the print dialog to a PDF file, with no printer: a PDF holding the view as a
  // picture and the title line naming the files and the date.
  void printToPdf() {
    QTemporaryDir dir;
    auto pView = BusyView(dir);
    QVERIFY(pView);
    pView->Session().Projection().m_strPath = dir.filePath("office.gpf").toStdString();
    const QString strTitle = pView->PrintTitle(QDate::currentDate());
    QCOMPARE(
        strTitle,
        QString("Projection: office.gpf    Survey: map.tvd    %1").arg(QDate::currentDate().toString(Qt::ISODate)));
    CScriptedPrompts prompts;
    const QString strPdf = dir.filePath("view.pdf");
    prompts.AnswerModal([&strPdf](QDialog &dialog) {
      auto *pPrintDialog = qobject_cast<QPrintDialog *>(&dialog);
      if (pPrintDialog == nullptr) {
        return int(QDialog::Rejected);
      }
      pPrintDialog->printer()->setOutputFormat(QPrinter::PdfFormat);
      pPrintDialog->printer()->setOutputFileName(strPdf);
      return int(QDialog::Accepted);
    });
    pView->OnFilePrint();
    QVERIFY(prompts.Problems().isEmpty());
    QCOMPARE(prompts.Shown().size(), 1);
    const QByteArray pdf = ReadAll(strPdf);
    QVERIFY(pdf.startsWith("%PDF-"));
    QVERIFY(pdf.trimmed().endsWith("%%EOF"));
    QVERIFY(pdf.contains("/Subtype /Image"));
    QVERIFY2(pdf.size() > 20000, qPrintable(QString::number(pdf.size()))); // the picture is in it
    // The document's title is the title line, as UTF-16 big-endian.
    QByteArray title("\xFE\xFF", 2);
    for (const QChar c : strTitle) {
      title.append(static_cast<char>(c.unicode() >> 8)).append(static_cast<char>(c.unicode() & 0xFF));
    }
    QVERIFY(pdf.contains(title));

    // Cancelled: nothing printed.
    QFile::remove(strPdf);
    prompts.AnswerModal(QDialog::Rejected);
    pView->OnFilePrint();
    QVERIFY(!QFile::exists(strPdf));
  }

  // The preview shows the page the print would make.
  void printPreviewShowsOnePage() {
    QTemporaryDir dir;
    auto pView = BusyView(dir);
    QVERIFY(pView);
    CScriptedPrompts prompts;
    int nPages = -1;
    prompts.AnswerModal([&nPages](QDialog &dialog) {
      if (qobject_cast<QPrintPreviewDialog *>(&dialog) == nullptr) {
        return int(QDialog::Rejected);
      }
      dialog.show();
      QCoreApplication::processEvents();
      if (auto *pPreview = dialog.findChild<QPrintPreviewWidget *>()) {
        nPages = pPreview->pageCount();
      }
      dialog.hide();
      return int(QDialog::Rejected);
    });
    pView->OnFilePrintPreview();
    QVERIFY(prompts.Problems().isEmpty());
    QCOMPARE(nPages, 1);
  }
};

QTEST_MAIN(CMapSnapshotTest)
#include "MapSnapshotTest.moc"

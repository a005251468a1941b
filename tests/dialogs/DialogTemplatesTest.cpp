// Every template: its caption, its numbered controls and their texts exactly, an accessible name
// for every control, and pictures drawn sharp at the screen's pixel ratio.
#include "dialogs/ConnectionDialog.h"
#include "dialogs/ConnectionTerminationDialog.h"
#include "dialogs/CoverageSettingsDialog.h"
#include "dialogs/DistanceMeasurementDialog.h"
#include "dialogs/HelpDialog.h"
#include "dialogs/IntroDialog.h"
#include "dialogs/PictureLabel.h"
#include "dialogs/SegmentDataDialog.h"
#include "dialogs/WarningDialog.h"
#include "platform/D2xxRegistry.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

struct _template {
  const char *pszName;
  std::function<std::unique_ptr<CDialogBase>()> fnMake;
  QString strCaption;
  QList<int> ids;
  // Texts shown: a numbered control's text, or (number 0) a text some label or group box shows.
  QList<QPair<int, QString>> texts;
};

template <class T> std::function<std::unique_ptr<CDialogBase>()> Make() {
  return [] { return std::make_unique<T>(); };
}

// The segment dialog's template, the largest: its numbers, button and label texts.
_template SegmentDataTemplate() {
  return {"139",
          Make<CSegmentDataDialog>(),
          "Segment Data",
          {1046, 1022, 1050, 1051, 1025, 1026, 1031, 1041, 1033, 1059, 1060,
           1037, 145,  146,  147,  1047, 1048, 1034, 1061, 1062, 1065, 1066},
          {{1046, "New Segment"},
           {1050, "<<"},
           {1051, ">>"},
           {1025, " Start Point"},
           {1026, " Stop Point"},
           {1041, "Meters"},
           {1060, "meters/second"},
           {1037, "BEGIN !"},
           {1066, "Save a copy as…"},
           {146, "Collapse>>"},
           {147, "<< Less"},
           {1061, "meters"},
           {0, "#"},
           {0, "Segment Co-ordinates"},
           {0, "Segment Length"},
           {0, "Time taken to cover current segment"},
           {0, "seconds"},
           {0, "Average Speed"},
           {0, "Channel 1:- "},
           {0, "Channel 2:-"},
           {0, "MHz"},
           {0, "Total Distance covered:"},
           {0, "Total Survey Time: "}}};
}

const QList<_template> &Templates() {
  static const QList<_template> templates = {
      {"130",
       Make<CConnectionDialog>(),
       "Tarvex Connection",
       {1002, 1000, 1},
       {{1000, "Look For USB Devices"}, {1, "Connect !"}, {0, "Device To Connect:-"}}},
      {"131",
       Make<CIntroDialog>(),
       "",
       {1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1063, 1064, 1},
       {{1013, "Not Available"},
        {1, "OK"},
        {0, "Tarvex Serial Number:-"},
        {0, "Receiver 1"},
        {0, "Receiver 2"},
        {0, "Installed ?"},
        {0, "Minimum Freq:-"},
        {0, "Maximum Freq:-"},
        {0, "Receiver Step:-"},
        {0, "Projection File:"},
        {0, "Collection File:"}}},
      {"133",
       Make<CWarningDialog>(),
       "IMPORTANT: Please read !",
       {1039, 1040, 1},
       {{1039, "1 Channel (Only 1 Receiver is needed)."},
        {1040, "2 Channels (Both Receivers are needed)."},
        {1, "OK"}}},
      SegmentDataTemplate(),
      {"141", Make<CHelpDialog>(), "Help Dialog", {1048, 1050, 1049}, {{1050, "<< Previous"}, {1049, "Next   >>"}}},
      {"148", Make<CDistanceMeasurementDialog>(), "Distance", {1042, 1041}, {{1041, "Meters"}}},
      {"150",
       Make<CConnectionTerminationDialog>(),
       "Terminate Connection ?",
       {1, 2},
       {{1, "Terminate Connection"},
        {2, "Cancel"},
        {0, "Connection with the Tarvex Receiver \n has been established. \nDo you wish to terminate\n the connection "
            "?"}}},
      {"201",
       Make<CCoverageSettingsDialog>(),
       "Coverage Settings",
       {1170, 1171, 1172, 1173, 1174, 1175, 1176, 1177, 1178, 1179, 1180, 1, 2},
       {{1174, "Arithmetic: the level numbers averaged"},
        {1179, "8 colour bands from -110 to -30; the walked area at or above -75 counts as covered."},
        {1, "OK"},
        {2, "Cancel"},
        {0, "Levels on the plan"},
        {0, "Colours and figures"}}},
  };
  return templates;
}

// The names that the boxes without text take from the label beside them.
const QMap<int, QString> &BoxNames(const QString &strTemplate) {
  static const QMap<QString, QMap<int, QString>> names = {
      {"131", {{1063, "Projection File:"}, {1064, "Collection File:"}}},
      {"139",
       {{1022, "Segment Number"},
        {1031, "Segment Length"},
        {1033, "Time taken to cover current segment"},
        {1059, "Average Speed"},
        {1047, "Channel 1:- "},
        {1048, "Channel 2:-"},
        {1034, "Total Distance covered:"},
        {1062, "Total Survey Time: "}}},
      {"148", {{1042, "Distance"}}},
      {"201",
       {{1170, "Cell size:"},
        {1171, "Radius:"},
        {1172, "Bin length:"},
        {1173, "Fade before the radius:"},
        {1175, "Scale from level:"},
        {1176, "Scale to level:"},
        {1177, "Band width:"},
        {1178, "Threshold level:"}}},
  };
  static const QMap<int, QString> none;
  const auto it = names.find(strTemplate);
  return it != names.end() ? *it : none;
}

QString ShownText(QWidget *pWidget) {
  if (auto *pLabel = qobject_cast<QLabel *>(pWidget)) {
    return pLabel->text();
  }
  if (auto *pGroup = qobject_cast<QGroupBox *>(pWidget)) {
    return pGroup->title();
  }
  return {};
}

// A spin box is one control: its line edit is a part of it.
bool IsControl(QWidget *pWidget) {
  if (qobject_cast<QLineEdit *>(pWidget) != nullptr) {
    return qobject_cast<QAbstractSpinBox *>(pWidget->parentWidget()) == nullptr;
  }
  return qobject_cast<QAbstractButton *>(pWidget) || qobject_cast<QLabel *>(pWidget) ||
         qobject_cast<QPlainTextEdit *>(pWidget) || qobject_cast<QComboBox *>(pWidget) ||
         qobject_cast<QGroupBox *>(pWidget) || qobject_cast<QAbstractSpinBox *>(pWidget);
}

} // namespace

class CDialogTemplatesTest : public QObject {
  Q_OBJECT

private slots:
  // The connection dialog shows its message once it has searched; no device layer answers here.
  void initTestCase() { D2xxDisableAllBackends(); }

  void captionsIdsAndTexts() {
    for (const _template &tmpl : Templates()) {
      const auto pDialog = tmpl.fnMake();
      QCOMPARE(pDialog->windowTitle(), tmpl.strCaption);
      for (const int nId : tmpl.ids) {
        QVERIFY2(pDialog->GetDlgItem(nId) != nullptr,
                 qPrintable(QStringLiteral("%1: no control %2").arg(tmpl.pszName).arg(nId)));
      }
      QStringList shown;
      for (QWidget *pWidget : pDialog->findChildren<QWidget *>()) {
        shown.append(ShownText(pWidget));
      }
      for (const auto &[nId, strText] : tmpl.texts) {
        if (nId != 0) {
          QCOMPARE(pDialog->GetDlgItemText(nId), strText);
        } else {
          QVERIFY2(shown.contains(strText), qPrintable(QStringLiteral("%1: no \"%2\"").arg(tmpl.pszName, strText)));
        }
      }
    }
  }

  void everyControlHasAnAccessibleName() {
    for (const _template &tmpl : Templates()) {
      const auto pDialog = tmpl.fnMake();
      pDialog->show();
      const QMap<int, QString> &boxNames = BoxNames(QString::fromLatin1(tmpl.pszName));
      for (QWidget *pWidget : pDialog->findChildren<QWidget *>()) {
        if (!IsControl(pWidget)) {
          continue;
        }
        QAccessibleInterface *pAccessible = QAccessible::queryAccessibleInterface(pWidget);
        QVERIFY(pAccessible != nullptr);
        const QString strName = pAccessible->text(QAccessible::Name);
        const QString strWhere = QStringLiteral("%1: %2 %3")
                                     .arg(tmpl.pszName, pWidget->objectName())
                                     .arg(CDialogBase::GetDlgCtrlID(pWidget));
        QVERIFY2(!strName.trimmed().isEmpty(), qPrintable(strWhere + " has no name"));
        // A label that shows a text is read by that text.
        if (!ShownText(pWidget).isEmpty()) {
          QVERIFY2(pWidget->accessibleName().isEmpty(), qPrintable(strWhere + " names itself over its text"));
        }
        if (qobject_cast<CPictureLabel *>(pWidget) != nullptr) {
          QVERIFY2(pAccessible->role() == QAccessible::Graphic, qPrintable(strWhere + " is no graphic"));
        }
        const int nId = CDialogBase::GetDlgCtrlID(pWidget);
        if (boxNames.contains(nId)) {
          QCOMPARE(strName, boxNames.value(nId));
        }
      }
    }
  }

  void picturesAreDrawnForThePixelRatio() {
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("picture.svg"));
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="10">)"
               R"(<rect width="10" height="10" fill="#ff0000"/><rect x="10" width="10" height="10" fill="#0000ff"/>)"
               R"(</svg>)");
    file.close();
    const QPixmap pixmap = CPictureLabel::Render(strPath, {20, 10}, 2.0);
    QCOMPARE(pixmap.size(), QSize(40, 20));
    QCOMPARE(pixmap.devicePixelRatio(), 2.0);
    const QImage image = pixmap.toImage();
    QCOMPARE(image.pixelColor(19, 10), QColor(Qt::red));
    QCOMPARE(image.pixelColor(20, 10), QColor(Qt::blue));
    // A picture that is not there leaves the place empty at its size.
    const QImage missing = CPictureLabel::Render(dir.filePath(QStringLiteral("none.svg")), {20, 10}, 2.0).toImage();
    QCOMPARE(missing.size(), QSize(40, 20));
    QCOMPARE(missing.pixelColor(5, 5).alpha(), 0);
  }
};

QTEST_MAIN(CDialogTemplatesTest)
#include "DialogTemplatesTest.moc"

// The distance dialog's units and the segment dialog's displays and More/Less collapse.
#include "dialogs/DistanceMeasurementDialog.h"
#include "dialogs/SegmentDataDialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QtTest>

namespace {

// Picks entry nIndex of a units box as the operator does, also when it is already selected.
void Pick(CDialogBase &dialog, int nIndex) {
  auto *pUnits = dialog.GetDlgItemAs<QComboBox>(IDC_UNITS);
  QVERIFY(pUnits != nullptr);
  pUnits->setCurrentIndex(nIndex);
  emit pUnits->activated(nIndex);
}

} // namespace

class CMeasuringDialogsTest : public QObject {
  Q_OBJECT

private slots:
  void distanceUnits_data() {
    QTest::addColumn<QList<int>>("picks"); // -1: ShowDistance(dMeasured) instead of a pick
    QTest::addColumn<double>("measured");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("meters");
    QTest::addColumn<double>("feet");
    QTest::newRow("metres") << QList<int>{-1} << 10.0 << "10.00" << 10.0 << 0.0;
    QTest::newRow("to feet") << QList<int>{-1, 1} << 10.0 << "32.80" << 10.0 << 32.8;
    // 10 x 3.28 x 0.3048 = 9.99744
    QTest::newRow("to feet and back") << QList<int>{-1, 1, 0} << 10.0 << "10.00" << 9.99744 << 32.8;
    // Re-picking the unit shown converts from the other unit's value, never held yet.
    QTest::newRow("metres picked again") << QList<int>{-1, 0} << 10.0 << "0.00" << 0.0 << 0.0;
    // Measured in feet: only the feet value changes; back in metres it is converted.
    QTest::newRow("measured in feet") << QList<int>{1, -1} << 5.0 << "16.40" << 0.0 << 16.4;
    QTest::newRow("measured in feet, back") << QList<int>{1, -1, 0} << 5.0 << "5.00" << 4.99872 << 16.4;
    QTest::newRow("no unit") << QList<int>{-2, -1} << 7.0 << "" << 0.0 << 0.0;
  }

  void distanceUnits() {
    QFETCH(QList<int>, picks);
    QFETCH(double, measured);
    QFETCH(QString, shown);
    QFETCH(double, meters);
    QFETCH(double, feet);
    CDistanceMeasurementDialog dialog;
    QCOMPARE(dialog.GetCurSel(IDC_UNITS), 0);
    QCOMPARE(dialog.m_cbUnits->itemText(1), QStringLiteral(" Feet"));
    for (const int nPick : picks) {
      if (nPick == -1) {
        dialog.ShowDistance(measured);
      } else if (nPick == -2) {
        dialog.SetCurSel(IDC_UNITS, -1);
      } else {
        Pick(dialog, nPick);
      }
    }
    QCOMPARE(dialog.GetDlgItemText(IDC_DISTANCE), shown);
    QVERIFY(qAbs(dialog.m_dMeters - meters) < 1e-9);
    QVERIFY(qAbs(dialog.m_dFeet - feet) < 1e-9);
  }

  void distanceSelectedByProgramConvertsNothing() {
    CDistanceMeasurementDialog dialog;
    dialog.ShowDistance(10.0);
    dialog.SetCurSel(IDC_UNITS, 1);
    QCOMPARE(dialog.GetDlgItemText(IDC_DISTANCE), QStringLiteral("10.00"));
    QCOMPARE(dialog.m_dFeet, 0.0);
  }

  void segmentStartsAsTheTemplateSays() {
    CSegmentDataDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Segment Data"));
    QVERIFY(!dialog.IsDlgItemEnabled(IDC_START_POINT) && !dialog.IsDlgItemEnabled(IDC_STOP_POINT));
    QCOMPARE(dialog.GetCurSel(IDC_UNITS), 0);
    QCOMPARE(dialog.GetDlgItemText(IDC_BEGIN_STOP), QStringLiteral("BEGIN !"));
    QCOMPARE(dialog.GetDlgItemText(IDC_MORE_LESS), QStringLiteral("<< Less"));
    QVERIFY(dialog.GetDlgItem(IDC_COLLAPSE_MARK)->isHidden() && dialog.GetDlgItem(IDC_LESS_TEXT)->isHidden());
    QVERIFY(dialog.m_pView == nullptr && dialog.m_nPointMode == 0 && dialog.m_nSegment == 0 && !dialog.m_bWalking);
    // A group of radio buttons can be left with none checked again.
    dialog.EnableDlgItem(IDC_START_POINT);
    QTest::mouseClick(dialog.GetDlgItemAs<QAbstractButton>(IDC_START_POINT), Qt::LeftButton);
    QVERIFY(dialog.IsDlgButtonChecked(IDC_START_POINT));
    dialog.CheckDlgButton(IDC_START_POINT, false);
    QVERIFY(!dialog.IsDlgButtonChecked(IDC_START_POINT) && !dialog.IsDlgButtonChecked(IDC_STOP_POINT));
  }

  void channelFrequencies_data() {
    QTest::addColumn<QList<uint>>("codes");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("channel1");
    QTest::addColumn<QString>("channel2");
    QTest::newRow("two") << QList<uint>{8500, 9000} << 2 << "425.0000"
                         << "450.0000";
    QTest::newRow("one") << QList<uint>{8160, 9000} << 1 << "408.0000"
                         << "Not Set";
    QTest::newRow("none") << QList<uint>{8500, 9000} << 0 << "Not Set"
                          << "Not Set";
    QTest::newRow("three") << QList<uint>{8500, 9000} << 3 << "Not Set"
                           << "Not Set";
    // Codes are unsigned: the largest is 214748364.75 MHz, not a negative number.
    QTest::newRow("largest code") << QList<uint>{0xFFFFFFFFU, 1} << 2 << "214748364.7500"
                                  << "0.0500";
  }

  void channelFrequencies() {
    QFETCH(QList<uint>, codes);
    QFETCH(int, count);
    QFETCH(QString, channel1);
    QFETCH(QString, channel2);
    CSegmentDataDialog dialog;
    const uint32_t frequencies[2] = {codes[0], codes[1]};
    dialog.ShowChannelFrequencies(frequencies, count);
    QCOMPARE(dialog.GetDlgItemText(IDC_CHANNEL1_FREQUENCY), channel1);
    QCOMPARE(dialog.GetDlgItemText(IDC_CHANNEL2_FREQUENCY), channel2);
  }

  void totalIsInMetresWhateverTheUnit() {
    CSegmentDataDialog dialog;
    dialog.SetCurSel(IDC_UNITS, 1);
    dialog.AddToTotalDistance(12.345);
    dialog.AddToTotalDistance(0.5);
    QCOMPARE(dialog.m_dTotal, 12.845);
    QCOMPARE(dialog.GetDlgItemText(IDC_TOTAL_DISTANCE), QStringLiteral("12.85"));
    // ShowDistance follows the unit.
    dialog.ShowDistance(IDC_SEGMENT_LENGTH, 10.0);
    QCOMPARE(dialog.GetDlgItemText(IDC_SEGMENT_LENGTH), QStringLiteral("32.80"));
    dialog.SetCurSel(IDC_UNITS, 0);
    dialog.ShowDistance(IDC_SEGMENT_LENGTH, 10.0);
    QCOMPARE(dialog.GetDlgItemText(IDC_SEGMENT_LENGTH), QStringLiteral("10.00"));
  }

  void moreLessCollapsesToTheMarkAndRestores() {
    CSegmentDataDialog dialog;
    dialog.show();
    dialog.move(40, 30);
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QRect full = dialog.geometry();
    QWidget *pTotal = dialog.GetDlgItem(IDC_TOTAL_DISTANCE);
    QVERIFY(pTotal->isVisibleTo(&dialog));

    QTest::mouseClick(dialog.GetDlgItemAs<QAbstractButton>(IDC_MORE_LESS), Qt::LeftButton);
    QVERIFY(dialog.IsCollapsed());
    QCOMPARE(dialog.GetDlgItemText(IDC_MORE_LESS), QStringLiteral("More >>"));
    const QRect mark = dialog.GetDlgItem(IDC_COLLAPSE_MARK)->geometry();
    QCOMPARE(dialog.height(), mark.bottom() + 1);
    QVERIFY(dialog.height() < full.height());
    QCOMPARE(dialog.geometry().topLeft(), full.topLeft());
    QCOMPARE(dialog.width(), full.width());
    QVERIFY(!pTotal->isVisibleTo(&dialog));
    QVERIFY(!dialog.GetDlgItem(IDC_CHANNEL1_FREQUENCY)->isVisibleTo(&dialog));
    QVERIFY(dialog.GetDlgItem(IDC_BEGIN_STOP)->isVisibleTo(&dialog));

    QTest::mouseClick(dialog.GetDlgItemAs<QAbstractButton>(IDC_MORE_LESS), Qt::LeftButton);
    QVERIFY(!dialog.IsCollapsed());
    QCOMPARE(dialog.geometry(), full);
    QCOMPARE(dialog.m_rcFullWindow, full);
    QCOMPARE(dialog.GetDlgItemText(IDC_MORE_LESS), QStringLiteral("<< Less"));
    QVERIFY(pTotal->isVisibleTo(&dialog));
  }
};

QTEST_MAIN(CMeasuringDialogsTest)
#include "MeasuringDialogsTest.moc"

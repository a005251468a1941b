// View > Coverage: the coverage of a channel over the plan, under the markers, with its legend;
// the level under the pointer in its pane; the coverage settings dialog.
#include "app/TarvexCollectorView.h"

#include "app/CommandIds.h"
#include "app/MainFrame.h"
#include "dialogs/CoverageSettingsDialog.h"
#include "link/ReceiverConversions.h"

#include <QAction>
#include <QLabel>

namespace {

const char *const ITEM_CHANNEL = "Channel &%1";
const char *const ITEM_CHANNEL_MHZ = "Channel &%1 (%2 MHz)";

} // namespace

void CTarvexCollectorView::OnCoverageOff() {
  m_Coverage.Show(0);
  UpdateCoverageCommands();
}

void CTarvexCollectorView::OnCoverageChannel1() {
  m_Coverage.Show(1);
  UpdateCoverageCommands();
}

void CTarvexCollectorView::OnCoverageChannel2() {
  m_Coverage.Show(2);
  UpdateCoverageCommands();
}

// The dialog checks the settings against the plan loaded now, so that cells too small for a
// large plan are refused before they are computed.
void CTarvexCollectorView::OnCoverageSettings() {
  CCoverageSettingsDialog dialog(
      m_Coverage.Settings(), [this](const _coveragesettings &settings) { return m_Coverage.PlanProblem(settings); },
      this);
  if (dialog.DoModal() == QDialog::Accepted) {
    m_Coverage.UseSettings(dialog.Settings());
  }
}

void CTarvexCollectorView::UpdateCoverageCommands() {
  const CMainFrame *pFrame = Frame();
  if (pFrame == nullptr) {
    return;
  }
  // The level pane stands in the status bar only while a coverage is shown, in the room of the
  // projection's type: the bar has no room to spare in a window of 1280 pixels, and the type is
  // the loaded projection's for as long as it is loaded (its name is in the window's title).
  if (QLabel *pPane = pFrame->Pane(ID_INDICATOR_COVERAGE); pPane != nullptr) {
    pPane->setVisible(m_Coverage.Shown() != 0);
  }
  if (QLabel *pPane = pFrame->Pane(ID_INDICATOR_PROJECTION); pPane != nullptr) {
    pPane->setVisible(m_Coverage.Shown() == 0);
  }
  const int ids[] = {ID_COVERAGE_OFF, ID_COVERAGE_CHANNEL1, ID_COVERAGE_CHANNEL2};
  for (uint16_t n = 0; n <= 2; ++n) {
    QAction *pAction = pFrame->Action(ids[n]);
    if (pAction == nullptr) {
      continue;
    }
    pAction->setChecked(m_Coverage.Shown() == n);
    if (n == 0) {
      continue;
    }
    const uint32_t nCode = m_Coverage.Core().FrequencyOf(n);
    pAction->setText(nCode == 0 ? QString::fromUtf8(ITEM_CHANNEL).arg(n)
                                : QString::fromUtf8(ITEM_CHANNEL_MHZ).arg(n).arg(FrequencyCodeToMHz(nCode), 0, 'f', 4));
  }
}

const QImage &CTarvexCollectorView::CoveredPlanPicture(qreal dRatio) {
  const QImage &plan = PlanPicture(dRatio);
  if (!m_Run.m_bProjectionLoaded || m_PlanBitmap.isNull()) {
    return plan;
  }
  // Where the plan picture shows the plan, as it draws it.
  const _pixelrect source = m_SitePlan.VisibleSource();
  const _pixelrect target = m_SitePlan.VisibleDestination();
  return m_Coverage.Picture(plan, QRect(QPoint(source.left, source.top), QPoint(source.right - 1, source.bottom - 1)),
                            QRectF(QPointF(target.left, target.top), QPointF(target.right, target.bottom)));
}

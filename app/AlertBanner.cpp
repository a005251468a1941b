#include "app/AlertBanner.h"

#include <QAccessible>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>

namespace {

// Dark text on a warning yellow with a red rule below: readable in sunlight on a tablet, and
// unlike anything the plan shows.
const char *const BANNER_STYLE = "CAlertBanner { background: #ffe14d; border-bottom: 3px solid #c62828; }"
                                 "QLabel { color: #1a1a1a; }";
constexpr int BANNER_MARGIN = 8;

} // namespace

CAlertBanner::CAlertBanner(QWidget *pParent) : QFrame(pParent) {
  setObjectName(QStringLiteral("alertBanner"));
  setAccessibleName(QString::fromUtf8(ACCESSIBLE_NAME));
  setFocusPolicy(Qt::NoFocus);
  setAutoFillBackground(true);
  setAttribute(Qt::WA_StyledBackground, true);
  setStyleSheet(QString::fromUtf8(BANNER_STYLE));

  auto *pLayout = new QHBoxLayout(this);
  pLayout->setContentsMargins(BANNER_MARGIN, BANNER_MARGIN, BANNER_MARGIN, BANNER_MARGIN);
  auto *pIcon = new QLabel(this);
  const int nIconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  pIcon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(nIconSize, nIconSize));
  pIcon->setAlignment(Qt::AlignTop);
  pLayout->addWidget(pIcon);
  m_pText = new QLabel(this);
  m_pText->setObjectName(QStringLiteral("alertText"));
  m_pText->setWordWrap(true);
  m_pText->setTextFormat(Qt::PlainText);
  QFont font = m_pText->font();
  font.setBold(true);
  m_pText->setFont(font);
  pLayout->addWidget(m_pText, 1);
  hide();
}

void CAlertBanner::SetArea(QWidget *pArea) {
  if (m_pArea != nullptr) {
    m_pArea->removeEventFilter(this);
  }
  m_pArea = pArea;
  if (m_pArea != nullptr) {
    m_pArea->installEventFilter(this);
  }
  Place();
}

void CAlertBanner::ShowAlert(const QString &strText) {
  const bool bNew = isHidden() || m_pText->text() != strText;
  m_pText->setText(strText);
  setAccessibleDescription(strText);
  Place();
  show();
  raise();
  if (bNew) {
    QAccessibleEvent event(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
  }
}

void CAlertBanner::HideAlert() { hide(); }

QString CAlertBanner::Text() const { return isHidden() ? QString() : m_pText->text(); }

bool CAlertBanner::eventFilter(QObject *pWatched, QEvent *pEvent) {
  if (pWatched == m_pArea && (pEvent->type() == QEvent::Resize || pEvent->type() == QEvent::Move)) {
    Place();
  }
  return QFrame::eventFilter(pWatched, pEvent);
}

// Across the whole width of the area, as tall as its wrapped text needs.
void CAlertBanner::Place() {
  const QRect rcArea = m_pArea != nullptr ? m_pArea->geometry() : parentWidget()->rect();
  const int nHeight = heightForWidth(rcArea.width());
  setGeometry(rcArea.x(), rcArea.y(), rcArea.width(), nHeight > 0 ? nHeight : sizeHint().height());
}

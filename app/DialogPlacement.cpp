#include "app/DialogPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

// Room between a window and the plan's edge, or the window above it.
constexpr int PLACEMENT_MARGIN = 8;
const char *const PLACEMENT_KEY = "windows/%1/pos";

// Every window followed, so that each can keep clear of those of its side shown before it.
std::vector<CDialogPlacement *> &Followers() {
  static std::vector<CDialogPlacement *> followers;
  return followers;
}

} // namespace

CDialogPlacement::CDialogPlacement(QWidget *pWindow, QWidget *pAnchor, Side side, int nOrder)
    : QObject(pWindow), m_pWindow(pWindow), m_pAnchor(pAnchor), m_side(side), m_nOrder(nOrder) {
  Followers().push_back(this);
  pWindow->installEventFilter(this);
}

CDialogPlacement::~CDialogPlacement() { std::erase(Followers(), this); }

CDialogPlacement *CDialogPlacement::Follow(QWidget *pWindow, QWidget *pAnchor, Side side, int nOrder) {
  return new CDialogPlacement(pWindow, pAnchor, side, nOrder);
}

QPoint CDialogPlacement::DefaultPlace(const QRect &rcAnchor, const QRect &rcFrame, const QRect &rcScreen,
                                      const QSize &frame, Side side, const QList<QRect> &taken) {
  // Outside the main window when the screen has room beside it; otherwise over the plan's edge.
  const bool bOutside = side == right ? rcFrame.right() + frame.width() <= rcScreen.right()
                                      : rcFrame.left() - frame.width() >= rcScreen.left();
  int x = 0;
  int y = 0;
  if (bOutside) {
    x = side == right ? rcFrame.right() + 1 : rcFrame.left() - frame.width();
    y = rcFrame.top();
  } else {
    x = side == right ? rcAnchor.right() + 1 - frame.width() - PLACEMENT_MARGIN : rcAnchor.left() + PLACEMENT_MARGIN;
    y = rcAnchor.top() + PLACEMENT_MARGIN;
  }
  for (const QRect &rc : taken) {
    y = std::max(y, rc.bottom() + 1 + PLACEMENT_MARGIN);
  }
  // Never off the screen, however small it is.
  x = std::clamp(x, rcScreen.left(), std::max(rcScreen.left(), rcScreen.right() + 1 - frame.width()));
  y = std::clamp(y, rcScreen.top(), std::max(rcScreen.top(), rcScreen.bottom() + 1 - frame.height()));
  return {x, y};
}

QString CDialogPlacement::Key() const { return QString::fromLatin1(PLACEMENT_KEY).arg(m_pWindow->objectName()); }

bool CDialogPlacement::eventFilter(QObject *pWatched, QEvent *pEvent) {
  if (pWatched == m_pWindow) {
    if (pEvent->type() == QEvent::Show && !m_bPlaced) {
      Place();
    } else if (pEvent->type() == QEvent::Move && m_bPlaced && !m_bPlacing && m_pWindow->isVisible()) {
      QSettings().setValue(Key(), m_pWindow->pos()); // the surveyor put it there
    }
  }
  return QObject::eventFilter(pWatched, pEvent);
}

void CDialogPlacement::Place() {
  m_bPlaced = true;
  m_bPlacing = true;
  const QPoint ptSaved = QSettings().value(Key()).toPoint();
  if (QSettings().contains(Key()) && QGuiApplication::screenAt(ptSaved + QPoint(PLACEMENT_MARGIN, PLACEMENT_MARGIN))) {
    m_pWindow->move(ptSaved);
  } else if (m_pAnchor != nullptr) {
    QList<QRect> taken;
    for (const CDialogPlacement *pOther : Followers()) {
      if (pOther != this && pOther->m_side == m_side && pOther->m_nOrder < m_nOrder && pOther->m_pWindow->isVisible()) {
        taken.append(pOther->m_pWindow->frameGeometry());
      }
    }
    const QRect rcAnchor(m_pAnchor->mapToGlobal(QPoint(0, 0)), m_pAnchor->size());
    const QScreen *pScreen = m_pAnchor->screen();
    const QRect rcScreen = pScreen != nullptr ? pScreen->availableGeometry() : rcAnchor;
    m_pWindow->adjustSize();
    m_pWindow->move(DefaultPlace(rcAnchor, m_pAnchor->window()->frameGeometry(), rcScreen,
                                 m_pWindow->frameGeometry().size(), m_side, taken));
  }
  m_bPlacing = false;
}

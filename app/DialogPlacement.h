#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

// Where a modeless window of the field window stands: beside the plan, never over its middle, and
// where the surveyor last put it.
//
// The first time a followed window is shown it goes where the surveyor last moved it (kept in
// the settings under "windows/NAME/pos"), when that is still on a screen; otherwise at its side
// of the plan (the view, the anchor): outside the main window when the screen has room there,
// else inside along the plan's edge, below the windows of that side shown before it. Every move
// the surveyor makes while it is shown is remembered; the program's own placing is not.
class CDialogPlacement : public QObject {
  Q_OBJECT

public:
  enum Side { right, left };

  // Follows pWindow (its object name names it in the settings), placed beside pAnchor's side;
  // nOrder orders the windows of one side from the top. The follower is a child of pWindow.
  static CDialogPlacement *Follow(QWidget *pWindow, QWidget *pAnchor, Side side, int nOrder);
  ~CDialogPlacement() override;
  CDialogPlacement(const CDialogPlacement &) = delete;
  CDialogPlacement &operator=(const CDialogPlacement &) = delete;

  // The place of a window of frame size frame beside rcAnchor (global), on rcScreen (its
  // available area), below the windows taken (their frames) at that side: the top-left corner of
  // its frame. Pure geometry.
  static QPoint DefaultPlace(const QRect &rcAnchor, const QRect &rcFrame, const QRect &rcScreen, const QSize &frame,
                             Side side, const QList<QRect> &taken);

protected:
  bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
  CDialogPlacement(QWidget *pWindow, QWidget *pAnchor, Side side, int nOrder);
  void Place();
  QString Key() const;

  QWidget *m_pWindow;
  QPointer<QWidget> m_pAnchor;
  Side m_side;
  int m_nOrder;
  bool m_bPlaced = false;  // placed since the program started
  bool m_bPlacing = false; // the program moves it now: not the surveyor's place
};

#pragma once

#include <QFrame>

class QLabel;

// A band across the top of the plan that tells the operator something at once, without a modal
// box: it takes no focus and blocks nothing, so STOP in the segment dialog stays one click away.
// It lies over the area given by SetArea (the view's viewport) and follows it as it is resized;
// it is a child of the view itself, not of the viewport, so that scrolling the plan never moves
// it. Screen readers are told when it appears (an alert event) and find its text by name.
class CAlertBanner : public QFrame {
  Q_OBJECT

public:
  // How screen readers and desktop automation name the banner.
  static constexpr const char *ACCESSIBLE_NAME = "Receiver Alert";

  explicit CAlertBanner(QWidget *pParent);

  // The widget whose geometry (in the parent's coordinates) the banner spans, at its top.
  void SetArea(QWidget *pArea);

  // Shows strText, raised over the plan; a new text replaces the one shown.
  void ShowAlert(const QString &strText);
  void HideAlert();
  QString Text() const;

protected:
  bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
  void Place();

  QLabel *m_pText = nullptr;
  QWidget *m_pArea = nullptr;
};

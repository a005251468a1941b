#pragma once

#include <QLabel>
#include <QPixmap>
#include <QSize>
#include <QString>

// A picture control: shows one SVG picture of the program's resources at a fixed size in
// logical pixels, drawn afresh for the screen's pixel ratio so that it stays sharp at every
// scale. A picture that cannot be read leaves the control empty at its size. Which picture is
// shown can be asked (PictureId), so that tests and screen readers know it.
class CPictureLabel : public QLabel {
  Q_OBJECT

public:
  explicit CPictureLabel(QWidget *pParent = nullptr);

  // Shows picture nId from strPath (a resource path such as ":/pictures/help/164.svg") at
  // size, which the control takes as its fixed size unless a larger area was set.
  void SetPicture(int nId, const QString &strPath, QSize size);
  // Makes the control at least this big; a smaller picture is centred in it.
  void SetArea(QSize area);

  int PictureId() const { return m_nPictureId; }
  QString PicturePath() const { return m_strPath; }
  QSize PictureSize() const { return m_size; }

  // The picture at strPath drawn at size logical pixels for a screen of pixel ratio dRatio: a
  // pixmap of size x dRatio device pixels carrying that ratio; transparent when the picture
  // cannot be read.
  static QPixmap Render(const QString &strPath, QSize size, qreal dRatio);

protected:
  void paintEvent(QPaintEvent *pEvent) override;

private:
  void RenderForScreen();

  int m_nPictureId = 0;
  QString m_strPath;
  QSize m_size;
  QSize m_area;
};

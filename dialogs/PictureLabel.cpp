#include "dialogs/PictureLabel.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

CPictureLabel::CPictureLabel(QWidget *pParent) : QLabel(pParent) { setAlignment(Qt::AlignCenter); }

void CPictureLabel::SetPicture(int nId, const QString &strPath, QSize size) {
  m_nPictureId = nId;
  m_strPath = strPath;
  m_size = size;
  setFixedSize(m_size.expandedTo(m_area));
  RenderForScreen();
}

void CPictureLabel::SetArea(QSize area) {
  m_area = area;
  setFixedSize(m_size.expandedTo(m_area));
}

QPixmap CPictureLabel::Render(const QString &strPath, QSize size, qreal dRatio) {
  QPixmap pixmap(size * dRatio);
  pixmap.fill(Qt::transparent);
  if (QFile::exists(strPath)) {
    QSvgRenderer renderer(strPath);
    if (renderer.isValid()) {
      QPainter painter(&pixmap);
      renderer.render(&painter);
    }
  }
  pixmap.setDevicePixelRatio(dRatio);
  return pixmap;
}

void CPictureLabel::paintEvent(QPaintEvent *pEvent) {
  // Moved to a screen of another pixel ratio: draw the picture again for it.
  if (!m_strPath.isEmpty() && !qFuzzyCompare(pixmap().devicePixelRatio(), devicePixelRatioF())) {
    RenderForScreen();
  }
  QLabel::paintEvent(pEvent);
}

void CPictureLabel::RenderForScreen() {
  if (m_strPath.isEmpty() || m_size.isEmpty()) {
    clear();
    return;
  }
  setPixmap(Render(m_strPath, m_size, devicePixelRatioF()));
}

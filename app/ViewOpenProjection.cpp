// Open Projection: the projection file chosen, its floor plan read and shown one to one from its
// top-left corner, and the channel choice (or the request to save a survey) that follows.
#include "app/TarvexCollectorView.h"

#include "app/AppIdentity.h"
#include "app/MainFrame.h"
#include "dialogs/Prompts.h"
#include "dialogs/WarningDialog.h"
#include "projection/ProjectionHeader.h"
#include "projection/TransformCheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QScrollBar>
#include <QStandardPaths>

#include <algorithm>
#include <exception>

namespace {

const char *const FILTER_LINEAR = "Linear Projection Files (*.lpf)";
const char *const FILTER_GEO = "Geo-coded Projection Files (*.gpf)";
// Both kinds at once, after the two: selected when the dialog opens, so that any projection shows.
const char *const FILTER_PROJECTIONS = "Projection Files (*.gpf *.lpf)";
// The platform's own caption of a file dialog for opening.
const char *const CAPTION_OPEN = "Open";
const char *const TEXT_SAVE_COLLECTION = "Please save the Collection File";
const char *const CAPTION_IMPORTANT = "IMPORTANT";
const char *const TEXT_NOT_LOADED = "The projection %1 could not be loaded.\n\n%2";
const char *const TEXT_PLAN_NOT_MADE = "The floor plan of the projection %1 could not be read from %2: %3.";
const char *const TEXT_PLAN_IN_CACHE = "The folder of %1 cannot be written to: its floor plan is kept in %2.";
const char *const TEXT_NO_COORDINATES =
    "%1: %2. Coordinates and distances on its plan would be meaningless, and a walk would store them. Make the "
    "projection again (File > New Projection from Image) or choose another.";
// The side files of projections in folders that cannot be written to, under the user's cache.
const char *const SIDE_FILE_CACHE = "projections";
// The largest decoded floor plan Qt is allowed to read, in megabytes: an 8000 x 6000 plan takes
// 192 MB at four bytes a pixel, over Qt's default limit.
constexpr int PLAN_ALLOCATION_LIMIT_MB = 2048;

// The wait cursor from here to the end of the scope, on every path.
class CWaitCursor {
public:
  CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
  CWaitCursor(const CWaitCursor &) = delete;
  CWaitCursor &operator=(const CWaitCursor &) = delete;
};

QString Native(const QString &strPath) { return QDir::toNativeSeparators(strPath); }

// The floor plan in the form the painting draws fastest, or a null image with why in strWhy.
QImage ReadPlanBitmap(const QString &strPath, QString &strWhy) {
  QImageReader::setAllocationLimit(PLAN_ALLOCATION_LIMIT_MB);
  QImageReader reader(strPath);
  QImage plan;
  if (!reader.read(&plan)) {
    strWhy = reader.errorString();
    return {};
  }
  return plan.convertToFormat(QImage::Format_RGB32);
}

} // namespace

void CTarvexCollectorView::OnOpenProjection() {
  if (RefuseWhileWalking()) {
    return;
  }
  _fileprompt prompt;
  prompt.nKind = _fileprompt::open;
  prompt.strCaption = QString::fromUtf8(CAPTION_OPEN);
  prompt.filters = {QString::fromUtf8(FILTER_LINEAR), QString::fromUtf8(FILTER_GEO),
                    QString::fromUtf8(FILTER_PROJECTIONS)};
  prompt.strFilter = QString::fromUtf8(FILTER_PROJECTIONS);
  const QString strPath = PromptFile(this, prompt);
  if (strPath.isEmpty()) {
    viewport()->update();
    return;
  }
  OpenProjectionFile(strPath);
}

bool CTarvexCollectorView::OpenProjectionFile(const QString &strPath) {
  if (!m_PlanBitmap.isNull()) {
    m_PlanBitmap = QImage();
    viewport()->repaint();
  }
  QString strFailure;
  {
    const CWaitCursor wait;
    strFailure = LoadPlan(strPath);
  }
  if (!strFailure.isEmpty()) {
    ForgetPlan();
    PromptMessage(this, strFailure, QString::fromUtf8(APP_TITLE), PROMPT_OK, PROMPT_ICON_WARNING);
    viewport()->update();
    return false;
  }
  if (CMainFrame *pFrame = Frame()) {
    pFrame->AddRecentFile(strPath);
  }
  if (m_Run.m_bCollectionOpen) {
    ChooseChannels();
  } else {
    PromptMessage(this, QString::fromUtf8(TEXT_SAVE_COLLECTION), QString::fromUtf8(CAPTION_IMPORTANT));
  }
  viewport()->update();
  return true;
}

// Loads the projection and makes its plan; empty when done, otherwise the operator's message.
// The window onto the plan changes only once the new plan is read, so that a failure never leaves
// an empty window for the painting and the pointing to divide by.
QString CTarvexCollectorView::LoadPlan(const QString &strPath) {
  const std::string strFile = strPath.toStdString();
  try {
    // A transform that gives no coordinates is refused before anything is loaded or written.
    CSiteProjection header;
    LoadProjectionTransform(strFile, header);
    const _transform transform{header.m_dA, header.m_dB, header.m_dC, header.m_dD, header.m_dE, header.m_dF};
    if (const std::string problem = TransformProblem(header.m_nKind, transform); !problem.empty()) {
      return QString::fromUtf8(TEXT_NOT_LOADED)
          .arg(Native(strPath),
               QString::fromUtf8(TEXT_NO_COORDINATES).arg(Native(strPath), QString::fromStdString(problem)));
    }
    m_Projection.SetSideFileFolder({});
    try {
      m_Projection.Load(strFile);
    } catch (const CFileException &failure) {
      // The side files (or the temporary files they are written through, named after them) cannot
      // be written beside it: they go to the user's cache instead.
      const auto isSideFile = [&](char cSuffix) {
        return failure.m_strFileName.rfind(m_Projection.SideFilePath(strFile, cSuffix), 0) == 0;
      };
      const bool bSideFile = isSideFile('c') || isSideFile('b');
      if (!bSideFile || failure.m_cause != CFileException::accessDenied) {
        throw;
      }
      m_Projection.SetSideFileFolder(SideFileFolder(strPath).toStdString());
      m_Projection.Load(strFile);
      ShowStatus(QString::fromUtf8(TEXT_PLAN_IN_CACHE)
                     .arg(Native(strPath), Native(QString::fromStdString(m_Projection.GetSideFileFolder()))));
    }
  } catch (const CFileException &failure) {
    return QString::fromUtf8(TEXT_NOT_LOADED).arg(Native(strPath), QString::fromStdString(failure.GetErrorMessage()));
  } catch (const std::exception &failure) {
    return QString::fromUtf8(TEXT_NOT_LOADED).arg(Native(strPath), QString::fromUtf8(failure.what()));
  }

  QString strWhy;
  const QString strBitmap = QString::fromStdString(m_Projection.m_strBitmapPath);
  QImage plan = ReadPlanBitmap(strBitmap, strWhy);
  if (plan.isNull()) {
    return QString::fromUtf8(TEXT_PLAN_NOT_MADE).arg(Native(strPath), Native(strBitmap), strWhy);
  }
  m_IntroDialog.SetDlgItemText(IDC_PROJECTION_FILE, Native(strPath));
  ShowPlan(std::move(plan));
  return {};
}

void CTarvexCollectorView::ShowPlan(QImage plan) {
  m_SitePlan.m_rcExtent = {};
  m_SitePlan.m_rcView = {};
  m_SitePlan.m_ptCentre = {};
  m_PlanBitmap = std::move(plan);
  m_nBitmapWidth = m_PlanBitmap.width();
  m_nBitmapHeight = m_PlanBitmap.height();
  m_nWindowWidth = viewport()->width();
  m_nWindowHeight = viewport()->height();
  m_SitePlan.SetPlan(m_nBitmapWidth, m_nBitmapHeight, _pixelrect{0, 0, m_nWindowWidth, m_nWindowHeight});
  // A plan smaller than the client area has nothing to scroll.
  m_nHScrollMax = std::max(0, m_nBitmapWidth - m_nWindowWidth);
  m_nVScrollMax = std::max(0, m_nBitmapHeight - m_nWindowHeight);
  m_Run.m_bProjectionLoaded = true;
  m_Coverage.UsePlan(m_PlanBitmap.size());
  UpdateScrollBars(); // and the map's commands, Measure Distance now that there is a plan
  UpdateCommandStates();
}

// A folder of its own for each projection file, so that two plans of the same name do not
// share side files.
QString CTarvexCollectorView::SideFileFolder(const QString &strPath) const {
  const QByteArray key =
      QCryptographicHash::hash(QFileInfo(strPath).absoluteFilePath().toUtf8(), QCryptographicHash::Sha256)
          .toHex()
          .left(16);
  const QString strFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QLatin1Char('/') +
                            QLatin1String(SIDE_FILE_CACHE) + QLatin1Char('/') + QString::fromLatin1(key);
  QDir().mkpath(strFolder);
  return strFolder;
}

// After a failed load: no plan, so nothing draws it or points on it, and Show Segment waits for
// the next one.
void CTarvexCollectorView::ForgetPlan() {
  m_Run.m_bProjectionLoaded = false;
  m_PlanBitmap = QImage();
  m_Coverage.UsePlan({});
  m_nHScrollMax = 0;
  m_nVScrollMax = 0;
  horizontalScrollBar()->setRange(0, 0);
  verticalScrollBar()->setRange(0, 0);
  m_IntroDialog.SetDlgItemText(IDC_PROJECTION_FILE, {});
  UpdateCommandStates();
}

// The channel choice of both file commands: the count goes into the record-count field of the
// survey's header in the making, until the next STOP writes the real count there.
bool CTarvexCollectorView::ChooseChannels() {
  CWarningDialog dialog(this);
  if (dialog.DoModal() != QDialog::Accepted) {
    return false;
  }
  if (CSiteData *pSurvey = m_Session.SiteData(); pSurvey != nullptr) {
    pSurvey->m_segment.nRecordCount = static_cast<uint16_t>(dialog.m_nChannels);
  }
  return true;
}

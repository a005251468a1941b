// The calibration dialog: its controls, and what the clicks on the plan set. The fit, the texts it
// shows and Save As are in CalibrationDialogFit.cpp.
#include "dialogs/CalibrationDialog.h"

#include "ui_CalibrationDialog.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

namespace {

const char *const HEADER_PIXEL = "Pixel";
const char *const HEADER_COORDINATES = "Latitude, longitude";
const char *const HEADER_RESIDUAL = "Residual";
const char *const TEXT_DRAW_LINE = "Click the two ends of the line on the plan, or drag from one to the other.";
const char *const TEXT_SET_ORIGIN = "Click the point of the plan where X and Y are 0.";
const char *const TEXT_ADD_POINT = "Click the point on the plan; then type its latitude and longitude in the table.";
const char *const PIXEL_FORMAT = "%1, %2";
constexpr int COLUMN_PIXEL = 0;
constexpr int COLUMN_COORDINATES = 1;
constexpr int COLUMN_RESIDUAL = 2;
// Room for the pixel, "48.1376000, 11.5752000" and the residual on one line.
constexpr int TABLE_WIDTH_DLU = 250;

} // namespace

CCalibrationDialog::CCalibrationDialog(const QImage &plan, const QString &strSource, QWidget *pParent)
    : CDialogBase(pParent), m_pUi(std::make_unique<Ui::CalibrationDialog>()), m_plan(plan), m_strSource(strSource) {
  m_pUi->setupUi(this);
  m_pUi->view->SetPlan(plan);
  SetUpTable();
  ConnectControls();
  OnKindChanged();
}

CCalibrationDialog::~CCalibrationDialog() = default;

CCalibrationView *CCalibrationDialog::View() const { return m_pUi->view; }

void CCalibrationDialog::SetUpTable() {
  QTableWidget *pTable = m_pUi->pointTable;
  pTable->setColumnCount(3);
  pTable->setHorizontalHeaderLabels(
      {QString::fromUtf8(HEADER_PIXEL), QString::fromUtf8(HEADER_COORDINATES), QString::fromUtf8(HEADER_RESIDUAL)});
  pTable->horizontalHeader()->setSectionResizeMode(COLUMN_PIXEL, QHeaderView::ResizeToContents);
  pTable->horizontalHeader()->setSectionResizeMode(COLUMN_COORDINATES, QHeaderView::Stretch);
  pTable->horizontalHeader()->setSectionResizeMode(COLUMN_RESIDUAL, QHeaderView::ResizeToContents);
  pTable->verticalHeader()->setVisible(true);
  pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  pTable->setSelectionMode(QAbstractItemView::SingleSelection);
  pTable->setMinimumWidth(DialogUnits(TABLE_WIDTH_DLU, 0).width());
}

void CCalibrationDialog::ConnectControls() {
  CCalibrationView *pView = m_pUi->view;
  connect(m_pUi->zoomIn, &QPushButton::clicked, pView, &CCalibrationView::ZoomIn);
  connect(m_pUi->zoomOut, &QPushButton::clicked, pView, &CCalibrationView::ZoomOut);
  connect(m_pUi->fit, &QPushButton::clicked, pView, &CCalibrationView::Fit);
  connect(m_pUi->linear, &QRadioButton::toggled, this, &CCalibrationDialog::OnKindChanged);
  connect(m_pUi->drawLine, &QPushButton::clicked, this, [this] { ChooseTool(toolLine); });
  connect(m_pUi->drawCheck, &QPushButton::clicked, this, [this] { ChooseTool(toolCheck); });
  connect(m_pUi->setOrigin, &QPushButton::clicked, this, [this] { ChooseTool(toolOrigin); });
  connect(m_pUi->addPoint, &QPushButton::clicked, this, [this] { ChooseTool(toolPoint); });
  connect(m_pUi->removePoint, &QPushButton::clicked, this, &CCalibrationDialog::OnRemovePoint);
  connect(m_pUi->length, &QLineEdit::textChanged, this, &CCalibrationDialog::Recompute);
  connect(m_pUi->checkLength, &QLineEdit::textChanged, this, &CCalibrationDialog::Recompute);
  connect(m_pUi->units, &QComboBox::currentIndexChanged, this, &CCalibrationDialog::Recompute);
  connect(m_pUi->pointTable, &QTableWidget::itemChanged, this, [this] {
    if (!m_bFilling) {
      Recompute();
    }
  });
  connect(pView, &CCalibrationView::PlanPressed, this, &CCalibrationDialog::OnPlanPressed);
  connect(pView, &CCalibrationView::PlanReleased, this, &CCalibrationDialog::OnPlanReleased);
  connect(pView, &CCalibrationView::PlanMoved, this, &CCalibrationDialog::OnPlanMoved);
  connect(m_pUi->saveAs, &QPushButton::clicked, this, &CCalibrationDialog::OnSaveAs);
  connect(m_pUi->cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// The whole plan in view the first time the dialog is shown, when the view has its size.
void CCalibrationDialog::showEvent(QShowEvent *pEvent) {
  CDialogBase::showEvent(pEvent);
  if (!m_bFitted) {
    m_bFitted = true;
    m_pUi->view->Fit();
  }
}

// Each kind shows its own controls; the marks of the other stay, and count again when it comes back.
void CCalibrationDialog::OnKindChanged() {
  const bool bLinear = m_pUi->linear->isChecked();
  m_pUi->lines->setVisible(bLinear);
  m_pUi->points->setVisible(!bLinear);
  ChooseTool(toolNone);
}

void CCalibrationDialog::ChooseTool(Tool nTool) {
  m_nTool = nTool;
  m_marks.pending.reset();
  const char *pPrompt = nullptr;
  switch (nTool) {
  case toolLine:
  case toolCheck:
    pPrompt = TEXT_DRAW_LINE;
    break;
  case toolOrigin:
    pPrompt = TEXT_SET_ORIGIN;
    break;
  case toolPoint:
    pPrompt = TEXT_ADD_POINT;
    break;
  case toolNone:
    break;
  }
  Recompute();
  if (pPrompt != nullptr) {
    ShowMessage(QString::fromUtf8(pPrompt), false);
  }
}

// A line's first end comes with the press; its second with the next press, or with the release
// of a drag.
void CCalibrationDialog::OnPlanPressed(const QPoint &ptPlan) {
  if (m_nTool != toolLine && m_nTool != toolCheck) {
    return;
  }
  if (m_marks.pending) {
    FinishLine(ptPlan);
    return;
  }
  m_marks.pending = ptPlan;
  m_marks.ptPointer = ptPlan;
  m_pUi->view->SetMarks(m_marks);
}

void CCalibrationDialog::OnPlanReleased(const QPoint &ptPlan, bool bDragged) {
  switch (m_nTool) {
  case toolLine:
  case toolCheck:
    if (m_marks.pending && bDragged) {
      FinishLine(ptPlan);
    }
    break;
  case toolOrigin:
    m_marks.origin = ptPlan;
    ChooseTool(toolNone);
    break;
  case toolPoint:
    AddPoint(ptPlan);
    break;
  case toolNone:
    break;
  }
}

void CCalibrationDialog::OnPlanMoved(const QPoint &ptPlan) {
  if (m_marks.pending) {
    m_marks.ptPointer = ptPlan;
    m_pUi->view->SetMarks(m_marks);
  }
}

void CCalibrationDialog::FinishLine(const QPoint &ptEnd) {
  const QLine line(*m_marks.pending, ptEnd);
  (m_nTool == toolLine ? m_marks.line : m_marks.check) = line;
  QLineEdit *pLength = m_nTool == toolLine ? m_pUi->length : m_pUi->checkLength;
  ChooseTool(toolNone);
  pLength->setFocus();
  pLength->selectAll();
}

// A new row for the point, its coordinates' cell open for typing.
void CCalibrationDialog::AddPoint(const QPoint &ptPlan) {
  m_marks.points.push_back(ptPlan);
  QTableWidget *pTable = m_pUi->pointTable;
  m_bFilling = true;
  const int nRow = pTable->rowCount();
  pTable->insertRow(nRow);
  auto *pPixel = new QTableWidgetItem(QString::fromUtf8(PIXEL_FORMAT).arg(ptPlan.x()).arg(ptPlan.y()));
  pPixel->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  pTable->setItem(nRow, COLUMN_PIXEL, pPixel);
  pTable->setItem(nRow, COLUMN_COORDINATES, new QTableWidgetItem());
  auto *pResidual = new QTableWidgetItem();
  pResidual->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  pResidual->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  pTable->setItem(nRow, COLUMN_RESIDUAL, pResidual);
  m_bFilling = false;
  ChooseTool(toolNone);
  pTable->setCurrentCell(nRow, COLUMN_COORDINATES);
  pTable->editItem(pTable->item(nRow, COLUMN_COORDINATES));
}

// The point of the selected row, or the last one.
void CCalibrationDialog::OnRemovePoint() {
  QTableWidget *pTable = m_pUi->pointTable;
  if (pTable->rowCount() == 0) {
    return;
  }
  const int nRow = pTable->currentRow() >= 0 ? pTable->currentRow() : pTable->rowCount() - 1;
  pTable->removeRow(nRow);
  m_marks.points.erase(m_marks.points.begin() + nRow);
  ChooseTool(toolNone);
}

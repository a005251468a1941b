#pragma once

#include "coverage/CoverageSettings.h"
#include "dialogs/DialogBase.h"

#include <functional>
#include <memory>
#include <string>

namespace Ui {
class CoverageSettingsDialog;
}

// "Coverage Settings" (template 201): how the coverage on the plan is computed (cell size, radius,
// bin length, the fade before the radius, the mean) and coloured (the scale's limits and band
// width, the threshold of the figures). Below them what the scale and the threshold make of the
// settings, or why they cannot be used: OK is enabled only for settings that can. Defaults puts
// back the program's own settings.
class CCoverageSettingsDialog : public CDialogBase {
  Q_OBJECT

public:
  // Why settings cannot be used beyond what CoverageSettingsProblem finds (the plan too large for
  // cells so small), or "".
  using ProblemFunction = std::function<std::string(const _coveragesettings &)>;

  explicit CCoverageSettingsDialog(const _coveragesettings &settings = {}, ProblemFunction pfnProblem = {},
                                   QWidget *pParent = nullptr);
  ~CCoverageSettingsDialog() override;

  // The settings the dialog shows.
  _coveragesettings Settings() const;
  void ShowSettings(const _coveragesettings &settings);

private slots:
  void OnChange();
  void OnDefaults();

private:
  ProblemFunction m_pfnProblem;
  std::unique_ptr<Ui::CoverageSettingsDialog> m_pUi;
};
